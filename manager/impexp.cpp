// Reminder files (.tlm): a double-clicked file is imported without opening the editor.
#include "manager.h"

#include <cwchar>

void importReminders(const wchar_t* path) {
    size_t length = path ? wcslen(path) : 0;
    if (length < 4 || _wcsicmp(path + length - 4, L".tlm") != 0) {
        reportPlain(IDS_NOT_REMINDER_FILE);
        return;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reportError(IDS_NO_OPEN_FILE, GetLastError());
        return;
    }
    CloseHandle(file);
}
