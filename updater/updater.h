// The updater: its log, and the running programs that hold files an update must replace.
// Declared here so the tests can drive each piece without an update run.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "common.h"
#include "update.h"
#include "updcore.h"

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
// A handle (query, read, terminate, wait) of a process whose main module is `path`, or null.
HANDLE getProcHandle(const wchar_t* path);
// The main-module paths of the processes that have `path` loaded, and their number.
wchar_t** findLoadedModule(const wchar_t* path, int* count);
int checkProcesses();
void killAll();
INT_PTR CALLBACK ProcessDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// The update library and what a download phase binds from it.
extern HMODULE udDll;
extern HINTERNET con;
extern wchar_t** mirrors;
extern DOWNLOADFILE downloadFilex;
extern MD5 md5x;
extern std::wstring tempStore; // the expanded %TEMP%\TolvaUpdate
extern int restartTolva;

// Reads the definition file whole and checks it as the library did: shape, paths and signature.
// Anything but a definition signed with the release key is refused (logged), whoever wrote it.
bool readDefinition(const wchar_t* path, Definition& def);
int createFolder(const wchar_t* path);
int doesMD5Match(const wchar_t* file, const char* digest);
// The file opened so that nobody can change, replace or rename it, once it has matched `digest`
// under that hold; null (and nothing held) otherwise. What is then copied or started is what was checked.
HANDLE holdVerified(const wchar_t* path, const char* digest);
// Downloads entry `path` into `folder` from mirror 0, then mirror 1. With a digest, a file that
// does not match it counts as a failed download from that mirror and is not kept.
int executeDownload(const wchar_t* path, const wchar_t* folder, const char* digest);
// Every "+f" file whose installed copy differs goes into the temporary store, checked against its
// digest; fills `procs` with the programs that hold one and stops the notifier among them.
int downloadUpdateFiles(const Definition& def);
// The installed place of an entry path ("/lang/x.lng" -> "<folder>\lang\x.lng").
std::wstring entryPath(const std::wstring& folder, const std::string& path);

// Applying an update is all or nothing. Before a file or folder is replaced or removed, the old one
// is moved aside into BACKUP_FOLDER inside the installation, and every step is written first to
// the journal there; a failure, or the next run after one that was killed, puts everything back.
#define BACKUP_FOLDER L"\\~update-backup"
int performUpdate(const Definition& def, const wchar_t* installDir);
// Puts back what an unfinished update changed, as its journal says; 1 when there was nothing to
// undo or all of it was undone.
int undoUnfinishedUpdate(const wchar_t* installDir);
// Forgets the old copies of a finished update.
void dropBackup(const wchar_t* installDir);
void delTempStore();

// The update run (updater.cpp).
int updateProgram(int silent);
int installUpdater(const wchar_t* ownPath, const wchar_t* installDir);
// The whole program: its command line (without the program name) in, its exit code out.
int runUpdater(const wchar_t* commandLine);
// The MD5 of the update.dll built with this updater (32 lower-case hexadecimal digits).
extern const char UPDATE_DLL_MD5[];
