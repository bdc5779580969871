// Helpers of the setup program's tests: the build's folders, Wine's reg.exe as an independent
// reader of the registry, programs run to their end, the notifier's window, Start-menu shortcuts.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// The build's installation image (bin\) and the setup program made from it.
std::wstring buildBin();
std::wstring setupProgram();
// build/artifacts, for screenshots a person looks at.
std::wstring artifactsFolder();

// One value as `reg query` prints it; `name` null asks for the key's default value.
struct RegValue {
    bool found = false;
    std::wstring type; // "REG_SZ", "REG_DWORD", ...
    std::wstring data; // as printed: text, 0x-number, hex bytes
};
RegValue regQuery(const std::wstring& key, const wchar_t* name);
bool regKeyExists(const std::wstring& key);
// All that `reg query /s` prints of a key and its subkeys (empty when the key is missing).
std::wstring regDump(const std::wstring& key);

// Runs `exe args` and waits for its end; with `andChildren` also for the processes it started,
// as an uninstaller hands its work to a copy of itself and ends at once. The exit code is that
// of the last process waited for; -1 when it could not start or did not end in time.
DWORD runToEnd(const std::wstring& exe, const std::wstring& args, bool andChildren, DWORD timeoutMs = 120000);

// The processes that `pid` started (and that still run or have just ended).
std::vector<DWORD> processChildren(DWORD pid);

// A started program, ended by force when the holder goes while it still runs.
struct Process {
    PROCESS_INFORMATION pi{};
    Process(const std::wstring& exe, const std::wstring& args);
    explicit Process(DWORD pid); // an already running one
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool started() const { return pi.hProcess != nullptr; }
    bool waitExit(DWORD timeoutMs, DWORD* code = nullptr) const;
    std::wstring imagePath() const;
};

// The running notifier's hidden window (class "WindowsApp", title "Tolva"), other than one of
// process `notPid`; null when none shows within the time.
HWND notifierWindow(DWORD* pid, DWORD timeoutMs, DWORD notPid = 0);

// The first visible top-level dialog (class "#32770") of process `pid` other than `skip`.
HWND dialogOf(DWORD pid, DWORD timeoutMs, HWND skip = nullptr);

// The all-users Start-menu programs folder, and the target of a shortcut file (empty: unreadable).
std::wstring commonPrograms();
std::wstring shortcutTarget(const std::wstring& lnk);

// Names of the files in a folder that match a pattern such as L"*.lng".
std::vector<std::wstring> filesIn(const std::wstring& folder, const wchar_t* pattern);
bool exists(const std::wstring& path);
