#include "owned.h"
#include "reminders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SYSTEMTIME at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME t{};
    t.wYear = WORD(y), t.wMonth = WORD(mo), t.wDay = WORD(d), t.wHour = WORD(h), t.wMinute = WORD(mi);
    t.wSecond = WORD(s), t.wMilliseconds = WORD(ms);
    return t;
}

std::wstring show(const SYSTEMTIME& t) {
    wchar_t buf[64];
    swprintf(buf, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond, t.wMilliseconds);
    return buf;
}

Reminder* make(int freq, SYSTEMTIME due, const SYSTEMTIME* later = nullptr) {
    wchar_t name[] = L"Backup", text[] = L"Back up your files";
    return createReminder(name, TRUE, text, DWORD(freq), &due, TRUE, later, L"OK", L"", nullptr);
}

TEST(Advance, LandsOnTheFirstOccurrenceAfterThePresent) {
    struct Case {
        int freq;
        SYSTEMTIME due, now, expected;
    } cases[] = {
        // Weekly, three weeks missed: 4, 11, 18 January pass by.
        {FREQ_WEEKLY, at(2010, 12, 28, 10, 0, 42, 7), at(2011, 1, 20, 9), at(2011, 1, 25, 10)},
        // Daily, dealt with in its own minute.
        {FREQ_DAILY, at(2026, 5, 6, 9, 30), at(2026, 5, 6, 9, 30, 59), at(2026, 5, 7, 9, 30)},
        {FREQ_DAILY, at(2010, 12, 31, 8), at(2010, 12, 31, 8, 5), at(2011, 1, 1, 8)},
        // Every 2 days across February, leap year or not (the table has no 29 February).
        {FREQ_2DAYS, at(2011, 2, 27, 8), at(2011, 2, 27, 9), at(2011, 3, 1, 8)},
        {FREQ_2DAYS, at(2012, 2, 27, 8), at(2012, 2, 27, 9), at(2012, 3, 1, 8)},
        {FREQ_5DAYS, at(2026, 12, 30, 8), at(2026, 12, 30, 9), at(2027, 1, 4, 8)},
        // Monthly keeps the clamped day.
        {FREQ_MONTHLY, at(2011, 1, 31, 12), at(2011, 1, 31, 12), at(2011, 2, 28, 12)},
        {FREQ_MONTHLY, at(2011, 2, 28, 12), at(2011, 2, 28, 12), at(2011, 3, 28, 12)},
        {FREQ_MONTHLY, at(2011, 12, 15, 12), at(2011, 12, 15, 13), at(2012, 1, 15, 12)},
        {FREQ_YEARLY, at(2020, 2, 29, 7), at(2021, 3, 1, 7), at(2022, 2, 29, 7)},
        // A daily reminder ten years late catches up in one call.
        {FREQ_DAILY, at(2016, 3, 1, 18), at(2026, 3, 1, 17, 59), at(2026, 3, 1, 18)},
    };
    for (const auto& c : cases) {
        Owned r(make(c.freq, c.due));
        incrementReminderAt(r, FALSE, c.now);
        EXPECT_EQ(show(c.expected), show(*r->nextDue)) << "freq " << c.freq << " due " << show(c.due).c_str();
        EXPECT_TRUE(r->active);
        EXPECT_EQ(nullptr, r->remindLater);
    }
}

TEST(Advance, OnceOnlyBecomesInactiveAndKeepsItsDate) {
    SYSTEMTIME later = at(2026, 1, 2, 11);
    Owned r(make(FREQ_ONCE, at(2026, 1, 2, 10, 0, 33, 444), &later));
    incrementReminderAt(r, FALSE, at(2026, 1, 2, 11, 1));
    EXPECT_FALSE(r->active);
    EXPECT_EQ(show(at(2026, 1, 2, 10)), show(*r->nextDue));
    EXPECT_EQ(nullptr, r->remindLater);
}

TEST(Advance, PostponedReminderWithAFutureDateKeepsIt) {
    SYSTEMTIME later = at(2026, 3, 2, 10);
    Owned r(make(FREQ_WEEKLY, at(2026, 3, 9, 8), &later));
    SYSTEMTIME now = at(2026, 3, 2, 10, 15);
    EXPECT_TRUE(isRemDue(r, &now));
    incrementReminderAt(r, FALSE, now);
    EXPECT_EQ(nullptr, r->remindLater);
    EXPECT_EQ(show(at(2026, 3, 9, 8)), show(*r->nextDue));
    EXPECT_FALSE(isRemDue(r, &now));
}

TEST(Postpone, OneHourFromNowAcrossDayMonthAndYear) {
    struct Case {
        SYSTEMTIME now, expected;
    } cases[] = {
        {at(2010, 12, 31, 23, 30, 12, 5), at(2011, 1, 1, 0, 30, 12, 5)},
        {at(2011, 2, 28, 23, 10), at(2011, 3, 1, 0, 10)},
        {at(2012, 2, 28, 23, 10), at(2012, 3, 1, 0, 10)}, // leap year: the table has no 29th
        {at(2026, 6, 30, 22, 59), at(2026, 6, 30, 23, 59)},
        {at(2026, 4, 30, 23, 0), at(2026, 5, 1, 0, 0)},
    };
    for (const auto& c : cases) {
        Owned r(make(FREQ_DAILY, at(2026, 1, 1, 9)));
        SYSTEMTIME due = *r->nextDue;
        incrementReminderAt(r, TRUE, c.now);
        ASSERT_NE(nullptr, r->remindLater);
        EXPECT_EQ(show(c.expected), show(*r->remindLater));
        EXPECT_EQ(show(due), show(*r->nextDue)); // only the postponement changes
        // Postponing again replaces the earlier postponement.
        incrementReminderAt(r, TRUE, at(2027, 1, 1, 1));
        EXPECT_EQ(show(at(2027, 1, 1, 2)), show(*r->remindLater));
    }
}

TEST(DueTest, MinutePrecisionAndPostponementTakesOver) {
    Owned r(make(FREQ_DAILY, at(2026, 5, 6, 9, 30)));
    struct Case {
        SYSTEMTIME now;
        bool due;
    } cases[] = {
        {at(2026, 5, 6, 9, 29, 59, 999), false}, {at(2026, 5, 6, 9, 30), true},
        {at(2026, 5, 6, 9, 30, 59), true},       {at(2026, 5, 7, 0, 0), true},
        {at(2025, 12, 31, 23, 59), false},       {at(2027, 1, 1, 0, 0), true},
        {at(2026, 4, 30, 23, 59), false},        {at(2026, 5, 6, 10, 0), true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.due, bool(isRemDue(r, &c.now))) << show(c.now).c_str();

    SYSTEMTIME later = at(2026, 5, 6, 11, 0);
    r->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof later));
    *r->remindLater = later;
    SYSTEMTIME before = at(2026, 5, 6, 10, 59), after = at(2026, 5, 6, 11, 0);
    EXPECT_FALSE(isRemDue(r, &before)); // nextDue has passed, but the postponement decides
    EXPECT_TRUE(isRemDue(r, &after));
    EXPECT_FALSE(isRemDue(nullptr, &after));
}

// Whatever a damaged record holds, the arithmetic stays inside the month table and ends.
TEST(Advance, HostileFieldsStayInRangeAndTerminate) {
    SYSTEMTIME now = at(2026, 12, 10, 12);
    for (int freq : {-1, 0, 1, 5, 6, 7, 8, 9, 1000}) {
        for (SYSTEMTIME due : {at(2026, 0, 5, 9), at(2026, 13, 5, 9), at(2026, 200, 40, 9), at(2026, 2, 0, 9),
                               at(2026, 4, 65535, 9), at(0, 1, 1), at(2026, 12, 10, 99, 99)}) {
            Owned r(make(freq, due));
            incrementReminderAt(r, FALSE, now);
            incrementReminderAt(r, TRUE, at(2026, 0, 99, 23, 0));
            if (freq >= 0 && freq <= 7 && isRemDue(r, &now) == FALSE) {
                EXPECT_GE(r->nextDue->wMonth, 1) << freq << " " << show(due).c_str();
                EXPECT_LE(r->nextDue->wMonth, 12) << freq << " " << show(due).c_str();
            }
            EXPECT_LE(r->remindLater->wMonth, 12);
        }
    }
}

TEST(Record, CreateCutsOverlongTextsInTheCallersBuffer) {
    wchar_t name[] = L"abcdefghijklmnopqrstuvwxyz"; // 26 characters
    std::wstring longText(201, L't');
    SYSTEMTIME due = at(2026, 1, 1, 9);
    Owned r(createReminder(name, TRUE, longText.data(), 0, &due, TRUE, nullptr, L"Yes", L":temp", L"Work"));
    ASSERT_NE(nullptr, r.r);
    EXPECT_STREQ(L"abcdefghijklmnopqrstuvwxy", r->name);
    EXPECT_STREQ(L"abcdefghijklmnopqrstuvwxy", name);
    EXPECT_EQ(200u, wcslen(r->reminderText));
    EXPECT_EQ(nullptr, r->remindLater);
    EXPECT_EQ(nullptr, r->id);
    EXPECT_STREQ(L"Work", r->group);
    EXPECT_NE(&due, r->nextDue);

    SetLastError(0);
    EXPECT_EQ(nullptr, createReminder(nullptr, TRUE, name, 0, &due, TRUE, nullptr, L"", L"", nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(Record, DefaultDueTimeIsOneHourAhead) {
    struct Case {
        SYSTEMTIME now, expected;
    } cases[] = {
        {at(2011, 2, 28, 23, 40), at(2011, 3, 1, 0, 40)},
        {at(2012, 2, 28, 23, 40), at(2012, 3, 1, 0, 40)},
        {at(2010, 12, 31, 23, 40), at(2011, 1, 1, 0, 40)},
    };
    for (auto c : cases) {
        addOneHour(c.now);
        EXPECT_EQ(show(c.expected), show(c.now));
    }
    wchar_t name[] = L"n";
    SYSTEMTIME before;
    GetLocalTime(&before);
    Owned r(createReminder(name, TRUE, name, 0, nullptr, TRUE, nullptr, L"", L"", nullptr));
    addOneHour(before);
    EXPECT_EQ(before.wHour, r->nextDue->wHour);
}

TEST(Record, CloneCopiesEverythingSeparately) {
    SYSTEMTIME later = at(2026, 2, 2, 2);
    Owned a(make(FREQ_MONTHLY, at(2026, 1, 1, 9), &later));
    Owned b(cloneReminder(a));
    ASSERT_NE(nullptr, b.r);
    EXPECT_NE(a->remindLater, b->remindLater);
    EXPECT_EQ(0, memcmp(a->remindLater, b->remindLater, sizeof later));
    EXPECT_NE(a->name, b->name);
    EXPECT_STREQ(a->name, b->name);
    EXPECT_EQ(FREQ_MONTHLY, b->frequency);
}

TEST(Lists, AppendFindRemoveAndFree) {
    Reminder* first = make(0, at(2026, 1, 1));
    wchar_t lower[] = L"backup";
    SYSTEMTIME due = at(2026, 1, 1);
    Reminder* second = createReminder(lower, TRUE, lower, 0, &due, TRUE, nullptr, L"", L"", nullptr);
    ReminderList* list = addReminder(nullptr, first);
    SetLastError(99);
    EXPECT_EQ(list, addReminder(list, second));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ(first, findReminder(list, L"BACKUP"));
    EXPECT_EQ(nullptr, findReminder(list, L"missing"));
    list = removeReminder(list, L"BackUp"); // only the first match goes
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(second, list->reminder);
    EXPECT_EQ(nullptr, list->next);
    EXPECT_EQ(list, removeReminder(list, L"missing"));
    freeReminderList(list);
    EXPECT_STREQ(L"backup", second->name); // the reminders outlive the list
    freeReminder(second);
}

} // namespace
