// The updater: its log, and the running programs that hold files an update must replace.
// Declared here so the tests can drive each piece without an update run.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "common.h"

// Resource and control ids (shared with updater.rc, which reads only the #defines).
#include "resource.h"

// The update log in the installation folder: UTF-16LE, no byte-order mark, flushed at every write.
extern FILE* logfile;
int openLog(int header);
void logit(const wchar_t* text);
void logiti(const wchar_t* format, long long value);
void logitii(const wchar_t* format, long long first, long long second);
void closeLog();
void deleteLog();
// The file the log goes to; empty when the installation folder is unknown.
std::wstring logPath();

// Programs, by the full path of their main module (compared ignoring case), that hold a file an
// update must replace. An entry whose program has ended is emptied in place.
extern StringList* procs;
// A handle (query, read, terminate) of a process whose main module is `path`, or null.
HANDLE getProcHandle(const wchar_t* path);
// The main-module paths of the processes that have `path` loaded, and their number.
wchar_t** findLoadedModule(const wchar_t* path, int* count);
int checkProcesses();
void killAll();
INT_PTR CALLBACK ProcessDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
