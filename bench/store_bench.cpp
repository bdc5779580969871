// Times the store against the bare registry work it can't avoid, measured side by side in one run.
#include "reminders.h"

#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

static double now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

static const int GROUPS = 20, PER_GROUP = 50, ROUNDS = 5;

static void populate() {
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegCloseKey(key);
    for (int g = 0; g < GROUPS; ++g) {
        std::wstring group = L"Group " + std::to_wstring(g);
        createGroup(TRUE, group.c_str());
        for (int r = 0; r < PER_GROUP; ++r) {
            std::wstring name = L"Reminder " + std::to_wstring(r), text = L"Text of " + name;
            SYSTEMTIME due{2026, 12, 4, 10, 9, 30, 0, 0};
            Reminder* rem = createReminder(name.data(), TRUE, text.data(), FREQ_WEEKLY, &due, TRUE, nullptr,
                                           L"&Launch", L"C:\\Windows\\notepad.exe", group.c_str());
            saveReminder(rem);
            freeReminder(rem);
        }
    }
}

// What any reader of the tree must do: enumerate every reminder key and read each of its values.
static bool decrypt = false;
static int bareEnumeration() {
    int values = 0;
    for (int g = 0; g < GROUPS; ++g) {
        std::wstring path = REMINDERS_KEY L"\\Custom\\Group " + std::to_wstring(g);
        HKEY group;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &group)) continue;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = 256;
            if (RegEnumKeyExW(group, i, name, &len, nullptr, nullptr, nullptr, nullptr)) break;
            HKEY rem;
            if (RegOpenKeyExW(group, name, 0, KEY_QUERY_VALUE, &rem)) continue;
            BYTE data[4096];
            for (const wchar_t* v : {L"ReminderText", L"Frequency", L"Due", L"RemindLater", L"Active", L"YesText",
                                     L"Cmd"}) {
                DWORD size = sizeof data;
                if (!RegQueryValueExW(rem, v, nullptr, nullptr, data, &size)) ++values;
                if (decrypt && !wcscmp(v, L"Cmd")) {
                    DATA_BLOB in{size, data}, out{};
                    if (CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) LocalFree(out.pbData);
                }
            }
            RegCloseKey(rem);
        }
        RegCloseKey(group);
    }
    return values;
}

static int storeRead() {
    int count = 0;
    StringList* groups = getGroups(TRUE);
    for (StringList* g = groups; g; g = g->next) {
        ReminderList* list = getReminders(TRUE, g->string);
        for (ReminderList* n = list; n; n = n->next) {
            ++count;
            freeReminder(n->reminder);
        }
        freeReminderList(list);
    }
    freeStringList(groups);
    return count;
}

int main() {
    populate();
    double bare = 1e9, store = 1e9;
    int values = 0, reminders = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        double t0 = now();
        values = bareEnumeration();
        double t1 = now();
        reminders = storeRead();
        double t2 = now();
        bare = std::min(bare, t1 - t0);
        store = std::min(store, t2 - t1);
    }
    decrypt = true;
    double withDecrypt = 1e9;
    for (int round = 0; round < ROUNDS; ++round) {
        double t0 = now();
        bareEnumeration();
        withDecrypt = std::min(withDecrypt, now() - t0);
    }
    decrypt = false;
    printf("getReminders over %d reminders in %d groups: %.1f ms; bare enumeration (%d values): %.1f ms; "
           "ratio %.2f\n",
           reminders, GROUPS, store * 1e3, values, bare * 1e3, store / bare);
    printf("  against the bare enumeration plus unprotecting each command (%.1f ms): ratio %.2f\n",
           withDecrypt * 1e3, store / withDecrypt);

    // A daily reminder ten years late catches up one day per pass.
    double catchUp = 1e9;
    for (int round = 0; round < ROUNDS; ++round) {
        SYSTEMTIME local;
        GetLocalTime(&local);
        SYSTEMTIME due = local;
        due.wYear = WORD(due.wYear - 10);
        wchar_t name[] = L"Late", text[] = L"Late";
        Reminder* rem = createReminder(name, TRUE, text, FREQ_DAILY, &due, TRUE, nullptr, L"", L"", nullptr);
        double t0 = now();
        incrementReminder(rem, FALSE);
        catchUp = std::min(catchUp, now() - t0);
        freeReminder(rem);
    }
    printf("incrementReminder catching up ten years of a daily reminder: %.3f ms; ratio to the bare "
           "enumeration above %.3f\n",
           catchUp * 1e3, catchUp / bare);
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    return 0;
}
