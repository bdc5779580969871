// Helpers shared by the tests: the installation folder, the suite's registry keys, files and child processes.
#pragma once

#include <windows.h>
#include <string>

// Folder of the running test program; the build puts the suite's programs and lang\ there too.
std::wstring exeFolder();

// Machine-wide settings: InstallDir pointing at `folder` (the build's bin folder by default).
void installAt(const std::wstring& folder = exeFolder());
void removeMachineSettings();
// Per-user settings and the whole reminder tree, as before a first run.
void removeUserSettings();
void setUserDword(const wchar_t* name, DWORD value);

// A new empty folder under %TEMP%.
std::wstring makeTempFolder(const wchar_t* tag);
void writeFile(const std::wstring& path, const std::string& bytes);
// The bytes of a file (empty when it can't be read); others may hold it open for writing.
std::string readFileBytes(const std::wstring& path);
// UTF-16LE bytes of a text, without a byte-order mark.
std::string utf16(const std::wstring& text);

// Runs a command line, waits, returns its standard output (decoded from the OEM code page).
std::wstring runCapture(const std::wstring& commandLine, DWORD* exitCode = nullptr);

// The whole screen as a 24-bit BMP file, for a person to look at.
bool saveScreenshot(const std::wstring& path);

// The first visible top-level window of class `cls` of process `pid` other than `skip`, once it
// shows; null after `timeoutMs`.
HWND findWindowOf(DWORD pid, const wchar_t* cls, DWORD timeoutMs, HWND skip = nullptr);

// The caption of item `tab` of a tab control.
std::wstring tabTitle(HWND tabs, int tab);
