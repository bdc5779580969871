// One check pass of the notifier over 1,000 stored reminders (none due, the common case), beside
// the bare registry work of reading the same values without the store: the ratio is what the
// store's records, decryption and the pass's bookkeeping add.
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <string>

#include "Tolva.h"
#include "bench_store.h"

namespace {

constexpr int GROUPS = 10, PER_GROUP = 100, ROUNDS = 5;

int neverAnswered(HWND, Reminder*) { return IDC_DONE; }

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
    SYSTEMTIME due{};
    GetLocalTime(&due);
    due.wYear = static_cast<WORD>(due.wYear + 5); // none due: the common case
    populateCustomReminders(GROUPS, PER_GROUP, due);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double pass = bestMs([&] { checkRemindersWith(&now, neverAnswered); });
    double bare = bestMs([] { bareWalk(false); });
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
