// Shared by the benchmarks: a reminder tree of a chosen size, and the bare registry work any reader
// of that tree must do, as the yardstick the store is measured against.
#pragma once

#include "reminders.h"

#include <wincrypt.h>

#include <string>

// Replaces the whole reminder tree with `groups` custom groups of `perGroup` reminders each, due at `due`.
inline void populateCustomReminders(int groups, int perGroup, const SYSTEMTIME& due) {
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    for (const wchar_t* cls : {REMINDERS_KEY L"\\Custom", REMINDERS_KEY L"\\Built-in"}) {
        HKEY key;
        if (!RegCreateKeyExW(HKEY_CURRENT_USER, cls, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
            RegCloseKey(key);
    }
    for (int g = 0; g < groups; ++g) {
        std::wstring group = L"Group " + std::to_wstring(g);
        createGroup(TRUE, group.c_str());
        for (int r = 0; r < perGroup; ++r) {
            std::wstring name = L"Reminder " + std::to_wstring(r), text = L"Text of " + name;
            Reminder* rem = createReminder(name.data(), TRUE, text.data(), FREQ_WEEKLY, &due, TRUE, nullptr,
                                           L"&Launch", L"C:\\Windows\\notepad.exe", group.c_str());
            saveReminder(rem);
            freeReminder(rem);
        }
    }
}

// Reads every custom reminder (with `builtinToo`, every built-in one as well) through the store, as
// the notifier, the manager and an export do; returns how many.
inline int storeRead(bool builtinToo = false) {
    int count = 0;
    for (BOOL custom : {TRUE, FALSE}) {
        if (!custom && !builtinToo) break;
        StringList* groups = getGroups(custom);
        for (StringList* g = groups; g; g = g->next) {
            ReminderList* list = getReminders(custom, g->string);
            for (ReminderList* n = list; n; n = n->next) {
                ++count;
                freeReminder(n->reminder);
            }
            freeReminderList(list);
        }
        freeStringList(groups);
    }
    return count;
}

// Points the machine-wide InstallDir at the benchmark's own folder (the build's bin), where the
// programs find their language files; false when the key can't be written.
inline bool installInOwnFolder() {
    wchar_t self[MAX_PATH];
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder.erase(folder.find_last_of(L'\\'));
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return false;
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   DWORD((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return true;
}

// Enumerates every custom reminder key and reads each of its values; with `decrypt`, also
// unprotects each command, the one step a reader can't skip. Returns the number of values read.
inline int bareWalk(bool decrypt) {
    int values = 0;
    HKEY custom;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom", 0, KEY_READ, &custom)) return 0;
    wchar_t group[256], name[256];
    BYTE data[4096];
    for (DWORD g = 0;; ++g) {
        DWORD n = 256;
        if (RegEnumKeyExW(custom, g, group, &n, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY gk;
        if (RegOpenKeyExW(custom, group, 0, KEY_READ, &gk)) continue;
        for (DWORD r = 0;; ++r) {
            n = 256;
            if (RegEnumKeyExW(gk, r, name, &n, nullptr, nullptr, nullptr, nullptr)) break;
            HKEY rk;
            if (RegOpenKeyExW(gk, name, 0, KEY_QUERY_VALUE, &rk)) continue;
            for (const wchar_t* v : {L"ReminderText", L"Frequency", L"Due", L"RemindLater", L"Active", L"YesText",
                                     L"Cmd"}) {
                DWORD size = sizeof data;
                if (RegQueryValueExW(rk, v, nullptr, nullptr, data, &size)) continue;
                ++values;
                if (decrypt && v[0] == L'C') {
                    DATA_BLOB in{size, data}, out{};
                    if (CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) LocalFree(out.pbData);
                }
            }
            RegCloseKey(rk);
        }
        RegCloseKey(gk);
    }
    RegCloseKey(custom);
    return values;
}
