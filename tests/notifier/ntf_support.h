// Helpers of the notifier tests: the build's folders, a scratch reminder store, the real Tolva.exe
// as a child process, its windows, and screenshots of the tests' display.
#pragma once

#include <windows.h>
#include <functional>
#include <memory>
#include <string>

#include "modal.h"
#include "reminders.h"

// The build's bin folder (real Tolva.exe, update.dll, lang\) and the folder for screenshots.
std::wstring binFolder();
std::wstring artifactsFolder();
// This test program's own folder: fake update.dll, probe.exe, a copy of reminders.dll.
std::wstring testFolder();

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD hour, WORD minute);
SYSTEMTIME nowPlusMinutes(int minutes); // local time, seconds and milliseconds zeroed
long long minutesBetween(const SYSTEMTIME& a, const SYSTEMTIME& b); // b - a

// A user as after first-run set-up: settings, Custom\Default and the built-in group "System".
void prepareStore(DWORD autoUpdate = 0);

struct StoredReminder {
    const wchar_t* name;
    bool custom = true;
    SYSTEMTIME due{};
    int frequency = FREQ_DAILY;
    bool active = true;
    const wchar_t* cmd = L"";
    const wchar_t* yesText = L"Go";
    const SYSTEMTIME* later = nullptr;
    const wchar_t* text = L"Reminder text";
};
void storeReminder(const StoredReminder& fields);

struct ReminderDeleter {
    void operator()(Reminder* r) const { freeReminder(r); }
};
using ReminderPtr = std::unique_ptr<Reminder, ReminderDeleter>;
// The stored reminder (custom: group "Default"; built-in: group "System", looked up by id).
ReminderPtr loadReminder(const wchar_t* name, bool custom = true);

// Text of a UTF-8 file, or empty.
std::wstring readUtf8(const std::wstring& path);


// Finds a dialog of `pid`, reads it, runs `before`, presses `press` and waits until it has gone.
ModalWindow answerWindowOf(DWORD pid, int press, DWORD timeoutMs = 15000,
                           const std::function<void(HWND)>& before = {});

// A program started as a child process, ended when the holder goes if it is still running.
struct Program {
    PROCESS_INFORMATION pi{};
    Program(const std::wstring& exe, const std::wstring& args, const wchar_t* folder = nullptr);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    DWORD pid() const { return pi.dwProcessId; }
    bool waitExit(DWORD timeoutMs, DWORD* code = nullptr) const;
};

// The real notifier from the build's bin folder.
struct Notifier {
    Program process;
    explicit Notifier(const wchar_t* args = L"");
    DWORD pid() const { return process.pid(); }
    bool waitExit(DWORD timeoutMs, DWORD* code = nullptr) const { return process.waitExit(timeoutMs, code); }
    HWND hiddenWindow(DWORD timeoutMs = 10000) const; // "WindowsApp" titled "Tolva"
    // Tray menu Exit; true when the process then ended by itself.
    bool exitFromMenu();
};
