// The update log: what the updater did, kept when a run went wrong so it can be looked at later.
#include "updater.h"

#include <string>

#ifndef UPDATER_BUILD
#define UPDATER_BUILD L"0.0.0.0"
#endif

FILE* logfile = nullptr;

std::wstring logPath() {
    HeapText dir(getStringSetting(L"InstallDir"));
    return dir.get() ? std::wstring(dir) + L"\\update.log" : std::wstring();
}

static void write(const wchar_t* text, size_t length) {
    if (!logfile || !text) return;
    fwrite(text, sizeof(wchar_t), length, logfile);
    fflush(logfile);
}

void logit(const wchar_t* text) {
    if (text) write(text, wcslen(text));
}

void logiti(const wchar_t* format, long long value) { logit(fillNumbers(format, {value}).c_str()); }

void logitii(const wchar_t* format, long long first, long long second) {
    logit(fillNumbers(format, {first, second}).c_str());
}

int openLog(int header) {
    closeLog();
    std::wstring path = logPath();
    if (path.empty()) return 0;
    logfile = _wfopen(path.c_str(), L"ab");
    if (!logfile) return 0;
    if (header) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        wchar_t when[64];
        swprintf(when, 64, L"%02u:%02u on %02u/%02u/%u \r\n", t.wHour, t.wMinute, t.wDay, t.wMonth, t.wYear);
        logit(L"\r\n===================\r\n");
        logit(when);
        logit(L"Updater Build Date: " UPDATER_BUILD L"\r\n--------\r\n");
    }
    return 1;
}

void closeLog() {
    if (logfile) fclose(logfile);
    logfile = nullptr;
}

void deleteLog() {
    closeLog();
    std::wstring path = logPath();
    if (!path.empty()) DeleteFileW(path.c_str());
}
