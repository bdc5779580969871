// Due test and due-date arithmetic on local wall-clock time, with the suite's fixed month table.
#include "reminders.h"

#include <cstdlib>

// Never indexes outside the table: a month that is not 1-12 has no days, so the carry below
// moves such a date onto a real month instead of reading past the table.
int monthLength(int month) { return month >= 1 && month <= 12 ? DAYS[month] : 0; }

// Carries day and month overflow into month and year; one carry suffices for steps of at most a week.
static void carry(int& year, int& month, int& day, bool subtract) {
    int length = monthLength(month);
    if (day > length) {
        day = subtract ? day - length : 1;
        ++month;
    }
    if (month > 12) {
        month = 1;
        ++year;
    }
}

void addOneHour(SYSTEMTIME& t) {
    int year = t.wYear, month = t.wMonth, day = t.wDay, hour = t.wHour + 1;
    if (hour >= 24) {
        hour = 0;
        ++day;
    }
    carry(year, month, day, false);
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
}

static bool dueAt(const SYSTEMTIME& tested, const SYSTEMTIME& now) {
    const WORD a[] = {tested.wYear, tested.wMonth, tested.wDay, tested.wHour, tested.wMinute};
    const WORD b[] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute};
    for (int i = 0; i < 5; ++i)
        if (a[i] != b[i]) return a[i] < b[i];
    return true;
}

int isRemDue(const Reminder* rem, const SYSTEMTIME* time) {
    if (!rem || !time) return FALSE;
    const SYSTEMTIME* tested = rem->remindLater ? rem->remindLater : rem->nextDue;
    return tested && dueAt(*tested, *time);
}

void advanceOnce(Reminder* rem, bool& stop) {
    static const int STEP_DAYS[] = {1, 2, 3, 4, 5, 7};
    SYSTEMTIME& t = *rem->nextDue;
    int year = t.wYear, month = t.wMonth, day = t.wDay;
    stop = false;
    switch (rem->frequency) {
    case FREQ_DAILY:
        ++day;
        carry(year, month, day, false);
        break;
    case FREQ_2DAYS:
    case FREQ_3DAYS:
    case FREQ_4DAYS:
    case FREQ_5DAYS:
    case FREQ_WEEKLY:
        day += STEP_DAYS[rem->frequency];
        carry(year, month, day, true);
        break;
    case FREQ_MONTHLY:
        if (++month > 12) {
            month = 1;
            ++year;
        }
        if (day > monthLength(month)) day = monthLength(month);
        break;
    case FREQ_YEARLY:
        ++year;
        break;
    case FREQ_ONCE:
        rem->active = FALSE;
        stop = true;
        return;
    default:
        stop = true;
        return;
    }
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
}

void incrementReminder(Reminder* rem, BOOL later) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    incrementReminderAt(rem, later, now);
}

void incrementReminderAt(Reminder* rem, BOOL later, SYSTEMTIME now) {
    if (!rem || !rem->nextDue) return;
    if (later) {
        addOneHour(now);
        if (!rem->remindLater) {
            rem->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
            if (!rem->remindLater) {
                SetLastError(ERR_NOMEM);
                return;
            }
        }
        *rem->remindLater = now;
        return;
    }
    rem->nextDue->wSecond = 0;
    rem->nextDue->wMilliseconds = 0;
    free(rem->remindLater);
    rem->remindLater = nullptr;
    // Step only while the date is due: a reminder whose next date still lies ahead (it was
    // postponed, then given a later date) keeps that date instead of losing an occurrence.
    // The year can't wrap: a date that is due is no later than the clock's year.
    while (dueAt(*rem->nextDue, now)) {
        bool stop;
        advanceOnce(rem, stop);
        if (stop) break;
    }
}
