// Times the store against the bare registry work it can't avoid, measured side by side in one run.
#include "bench_store.h"

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

int main() {
    SYSTEMTIME due{2026, 12, 4, 10, 9, 30, 0, 0};
    populateCustomReminders(GROUPS, PER_GROUP, due);
    double bare = 1e9, store = 1e9;
    int values = 0, reminders = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        double t0 = now();
        values = bareWalk(false);
        double t1 = now();
        reminders = storeRead();
        double t2 = now();
        bare = std::min(bare, t1 - t0);
        store = std::min(store, t2 - t1);
    }
    double withDecrypt = 1e9;
    for (int round = 0; round < ROUNDS; ++round) {
        double t0 = now();
        bareWalk(true);
        withDecrypt = std::min(withDecrypt, now() - t0);
    }
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
