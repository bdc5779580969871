// One check pass of the notifier over 1,000 stored reminders (none due, the common case), beside
// the bare registry work of reading the same values without the store: the ratio is what the
// store's records, decryption and the pass's bookkeeping add.
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <string>

#include "Tolva.h"

namespace {

constexpr int GROUPS = 10, PER_GROUP = 100, ROUNDS = 5;

int neverAnswered(HWND, Reminder*) { return IDC_DONE; }

void fill() {
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Built-in", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegCloseKey(key);
    SYSTEMTIME due{};
    GetLocalTime(&due);
    due.wYear = static_cast<WORD>(due.wYear + 5);
    for (int g = 0; g < GROUPS; ++g) {
        std::wstring group = L"Group " + std::to_wstring(g);
        RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(REMINDERS_KEY L"\\Custom\\") + group).c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr);
        RegCloseKey(key);
        for (int i = 0; i < PER_GROUP; ++i) {
            std::wstring name = L"Reminder " + std::to_wstring(g * PER_GROUP + i), text = L"Bench reminder text";
            Reminder* rem = createReminder(name.data(), TRUE, text.data(), FREQ_WEEKLY, &due, TRUE, nullptr, L"Go",
                                           L"notepad.exe", group.c_str());
            saveReminder(rem);
            freeReminder(rem);
        }
    }
}

// Reads every value of every custom reminder straight from the registry.
void bareWalk() {
    HKEY custom;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom", 0, KEY_READ, &custom)) return;
    wchar_t group[64], name[64];
    BYTE data[2048];
    for (DWORD g = 0;; ++g) {
        DWORD n = 64;
        if (RegEnumKeyExW(custom, g, group, &n, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY gk;
        if (RegOpenKeyExW(custom, group, 0, KEY_READ, &gk)) continue;
        for (DWORD r = 0;; ++r) {
            n = 64;
            if (RegEnumKeyExW(gk, r, name, &n, nullptr, nullptr, nullptr, nullptr)) break;
            HKEY rk;
            if (RegOpenKeyExW(gk, name, 0, KEY_QUERY_VALUE, &rk)) continue;
            for (const wchar_t* v : {L"ReminderText", L"Frequency", L"Due", L"RemindLater", L"Active", L"YesText", L"Cmd"}) {
                DWORD size = sizeof data;
                RegQueryValueExW(rk, v, nullptr, nullptr, data, &size);
            }
            RegCloseKey(rk);
        }
        RegCloseKey(gk);
    }
    RegCloseKey(custom);
}

template <typename F> double bestMs(F f) {
    double best = 1e30;
    for (int i = 0; i < ROUNDS; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

} // namespace

int main() {
    fill();
    SYSTEMTIME now;
    GetLocalTime(&now);
    double pass = bestMs([&] { checkRemindersWith(&now, neverAnswered); });
    double bare = bestMs(bareWalk);
    printf("notifier check pass over %d reminders: %.1f ms; bare registry walk: %.1f ms; ratio %.2f\n",
           GROUPS * PER_GROUP, pass, bare, pass / bare);
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom");
    // Leave the user set up, as found.
    HKEY key;
    if (!RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                         nullptr))
        RegCloseKey(key);
    return 0;
}
