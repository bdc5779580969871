// The check cycle driven with chosen times, and the reminder popup itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Tolva.h"

#include <commctrl.h>
#include "fixture.h"
#include "modal.h"
#include "ntf_support.h"

namespace {

struct NotifierEnvironment : ::testing::Environment {
    void SetUp() override {
        init(0x100);
        hInst = GetModuleHandleW(nullptr);
        SetEnvironmentVariableW(L"TOLVA_PROBE_LOG", (testFolder() + L"\\probe.log").c_str());
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new NotifierEnvironment);

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : std::wstring();
}

std::wstring hhmm(const SYSTEMTIME& t) {
    wchar_t buf[16];
    swprintf(buf, 16, L"%02u:%02u", t.wHour, t.wMinute);
    return buf;
}

struct Shown {
    std::wstring name;
    std::wstring when;
};
std::vector<Shown> shown;
const SYSTEMTIME* checking = nullptr;
int nextAnswer = IDC_DONE;

int recordAndAnswer(HWND, Reminder* rem) {
    shown.push_back({rem->name, hhmm(*checking)});
    return nextAnswer;
}

void runChecks(const SYSTEMTIME& from, int minutes) {
    for (int m = 0; m < minutes; ++m) {
        SYSTEMTIME t = from;
        t.wHour = static_cast<WORD>(from.wHour + (from.wMinute + m) / 60);
        t.wMinute = static_cast<WORD>((from.wMinute + m) % 60);
        t.wSecond = 0;
        checking = &t;
        checkRemindersWith(&t, recordAndAnswer);
    }
}

// The simulated day lies in the past: the store moves an answered reminder past the real present,
// so nothing answered on that day can come up again on it.
SYSTEMTIME fiveDaysAgoAt(WORD hour, WORD minute) {
    SYSTEMTIME d = nowPlusMinutes(-5 * 24 * 60);
    return at(d.wYear, d.wMonth, d.wDay, hour, minute);
}

} // namespace

// A simulated morning, minute by minute: each due reminder comes up once, at its own minute, own
// reminders before built-in ones; inactive ones never; a postponement replaces the due time.
TEST(CheckCycle, ShowsEachDueReminderOnceAtItsMinute) {
    prepareStore();
    SYSTEMTIME postponedTo = fiveDaysAgoAt(10, 15);
    const StoredReminder REMINDERS[] = {
        {.name = L"Defrag", .custom = false, .due = fiveDaysAgoAt(8, 0), .frequency = FREQ_WEEKLY},
        {.name = L"Morning", .due = fiveDaysAgoAt(8, 0)},
        {.name = L"Noon", .due = fiveDaysAgoAt(12, 30)},
        {.name = L"Sleeping", .due = fiveDaysAgoAt(9, 0), .active = false},
        {.name = L"Postponed", .due = fiveDaysAgoAt(7, 0), .later = &postponedTo},
        {.name = L"Once", .due = fiveDaysAgoAt(11, 45), .frequency = FREQ_ONCE},
    };
    for (const auto& r : REMINDERS) storeReminder(r);

    shown.clear();
    nextAnswer = IDC_DONE;
    runChecks(fiveDaysAgoAt(6, 0), 7 * 60);

    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"Morning", L"08:00"}, {L"Defrag", L"08:00"}, {L"Postponed", L"10:15"},
        {L"Once", L"11:45"},    {L"Noon", L"12:30"},
    };
    std::wstring seen;
    for (size_t i = 0; i < shown.size() && i < 12; ++i) seen += shown[i].name + L"@" + shown[i].when + L" ";
    ASSERT_EQ(shown.size(), expected.size()) << std::string(seen.begin(), seen.end());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown[i].name, expected[i].first) << i;
        EXPECT_EQ(shown[i].when, expected[i].second) << i;
    }
    // Done moved each one to its first occurrence after the present, keeping its time of day; the
    // once-only one went inactive where it was, the inactive one was left alone.
    SYSTEMTIME base = fiveDaysAgoAt(0, 0), now = nowPlusMinutes(0);
    struct After {
        const wchar_t* name;
        bool custom;
        long long period; // minutes; 0: did not move
        long long minuteOfDay;
        bool active;
    } const AFTER[] = {
        {L"Morning", true, 24 * 60, 8 * 60, true},   {L"Defrag", false, 7 * 24 * 60, 8 * 60, true},
        {L"Postponed", true, 24 * 60, 7 * 60, true}, {L"Once", true, 0, 11 * 60 + 45, false},
        {L"Sleeping", true, 0, 9 * 60, false},
    };
    for (const auto& a : AFTER) {
        ReminderPtr r = loadReminder(a.name, a.custom);
        ASSERT_TRUE(r) << a.name;
        long long fromBase = minutesBetween(base, *r->nextDue), ahead = minutesBetween(now, *r->nextDue);
        EXPECT_EQ(fromBase % (24 * 60), a.minuteOfDay) << a.name;
        if (a.period) {
            EXPECT_GT(ahead, 0) << a.name;
            EXPECT_LE(ahead, a.period) << a.name;
        } else {
            EXPECT_EQ(fromBase, a.minuteOfDay) << a.name;
        }
        EXPECT_EQ(r->active != FALSE, a.active) << a.name;
        EXPECT_EQ(r->remindLater, nullptr) << a.name;
    }
}

// What each way of closing the popup does to a reminder that is overdue right now.
TEST(CheckCycle, AnswerDecidesBetweenAdvanceLaunchAndPostpone) {
    std::wstring probe = testFolder() + L"\\probe.exe";
    std::wstring command = L"\"" + probe + L"\" launched-from-popup";
    struct Case {
        const char* what;
        int answer;
        const wchar_t* cmd;
        int postponedMinutes; // 0: not postponed
        bool launched;
        bool untouched = false; // never seen, so shown again at the next check
    } const CASES[] = {
        {"Done", IDC_DONE, command.c_str(), 0, false},
        {"Launch", IDC_LAUNCH, command.c_str(), 0, true},
        {"Launch without command", IDC_LAUNCH, L"", 0, false},
        {"Remind Later", IDC_LATER, command.c_str(), 60, false},
        {"Later: 5 minutes", IDC_LATER_5MIN, command.c_str(), 5, false},
        {"Later: 15 minutes", IDC_LATER_15MIN, command.c_str(), 15, false},
        {"Later: 30 minutes", IDC_LATER_30MIN, command.c_str(), 30, false},
        {"Later: 1 hour", IDC_LATER_1HOUR, command.c_str(), 60, false},
        {"Later: 4 hours", IDC_LATER_4HOURS, command.c_str(), 4 * 60, false},
        {"Later: tomorrow", IDC_LATER_TOMORROW, command.c_str(), 24 * 60, false},
        {"Escape", IDCANCEL, command.c_str(), 0, false},
        {"dialog failed", -1, command.c_str(), 0, false, true},
        {"no owner window", 0, command.c_str(), 0, false, true},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        prepareStore();
        std::wstring log = testFolder() + L"\\probe.log";
        DeleteFileW(log.c_str());
        SYSTEMTIME due = nowPlusMinutes(-5);
        storeReminder({.name = L"Overdue", .due = due, .cmd = c.cmd});

        shown.clear();
        nextAnswer = c.answer;
        SYSTEMTIME now = nowPlusMinutes(0);
        checking = &now;
        checkRemindersWith(&now, recordAndAnswer);
        ASSERT_EQ(shown.size(), 1u);

        ReminderPtr r = loadReminder(L"Overdue");
        ASSERT_TRUE(r);
        if (c.postponedMinutes) {
            ASSERT_NE(r->remindLater, nullptr);
            EXPECT_NEAR(static_cast<double>(minutesBetween(now, *r->remindLater)), c.postponedMinutes, 1.0);
            EXPECT_EQ(minutesBetween(due, *r->nextDue), 0);
        } else {
            EXPECT_EQ(r->remindLater, nullptr);
            EXPECT_EQ(minutesBetween(due, *r->nextDue), c.untouched ? 0 : 24 * 60);
        }
        std::wstring line;
        for (int i = 0; i < 100 && c.launched && line.empty(); ++i, Sleep(50)) line = readUtf8(log);
        if (!c.launched) Sleep(300), line = readUtf8(log);
        EXPECT_EQ(line, c.launched ? L"probe.exe|launched-from-popup\n" : L"");

        // Answered, the reminder is not due again in the same minute; never shown, it comes back.
        shown.clear();
        checkRemindersWith(&now, recordAndAnswer);
        EXPECT_EQ(shown.empty(), !c.untouched);
    }
}

// While a popup is open the manager may change the store under it: the answer then touches only
// what it decides (due date, postponement, active) in the record as it is now, and never brings
// back a reminder that was deleted, renamed or moved away.
TEST(CheckCycle, AnswerKeepsWhatTheManagerChangedMeanwhile) {
    struct Case {
        const char* what;
        bool custom;
        std::function<void(Reminder*)> meanwhile;
        const wchar_t* remaining; // key left in the group afterwards; null for none
        bool advanced;            // the remaining record carries the answer
    };
    // What the manager's page does when the user changes a reminder's text and frequency.
    auto editTextAndFrequency = [](Reminder* r) {
        ReminderPtr edited(cloneReminder(r));
        // A copy carries no key name of a built-in reminder; the manager's page keeps it.
        if (r->id) edited->id = wcsdupHeap(r->id);
        free(edited->reminderText);
        edited->reminderText = wcsdupHeap(L"Edited text");
        edited->frequency = FREQ_WEEKLY;
        ASSERT_TRUE(saveReminder(edited.get()));
    };
    const Case CASES[] = {
        {"deleted", true, [](Reminder* r) { ASSERT_TRUE(deleteReminder(r)); }, nullptr, false},
        {"renamed", true, [](Reminder*) { ASSERT_TRUE(renameReminder(TRUE, nullptr, L"Overdue", L"Renamed")); },
         L"Renamed", false},
        {"moved", true,
         [](Reminder* r) {
             ASSERT_TRUE(createGroup(TRUE, L"Elsewhere"));
             ReminderPtr copy(cloneReminder(r));
             ASSERT_TRUE(moveReminder(copy.get(), nullptr, L"Elsewhere"));
         },
         nullptr, false},
        {"edited", true, editTextAndFrequency,
         L"Overdue", true},
        {"built-in edited", false, editTextAndFrequency,
         L"Overdue", true},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        prepareStore();
        SYSTEMTIME due = nowPlusMinutes(-5);
        storeReminder({.name = L"Overdue", .custom = c.custom, .due = due});
        static const Case* current;
        current = &c;
        SYSTEMTIME now = nowPlusMinutes(0);
        int popups = 0;
        static int* counter;
        counter = &popups;
        checkRemindersWith(&now, [](HWND, Reminder* rem) {
            ++*counter;
            current->meanwhile(rem);
            return static_cast<int>(IDC_DONE);
        });
        ASSERT_EQ(popups, 1);

        ReminderPtr left = loadReminder(L"Overdue", c.custom);
        ReminderPtr renamed = loadReminder(L"Renamed", c.custom);
        ReminderList* elsewhere = getReminders(TRUE, L"Elsewhere");
        bool movedThere = elsewhere != nullptr;
        for (ReminderList* n = elsewhere; n; n = n->next) freeReminder(n->reminder);
        freeReminderList(elsewhere);
        const Reminder* remaining = left ? left.get() : renamed.get();
        if (!c.remaining) {
            EXPECT_FALSE(left);
            EXPECT_FALSE(renamed);
            EXPECT_EQ(movedThere, std::string(c.what) == "moved");
            continue;
        }
        ASSERT_TRUE(remaining);
        EXPECT_FALSE(left && renamed) << "the old record came back beside the renamed one";
        EXPECT_EQ(minutesBetween(due, *remaining->nextDue), c.advanced ? 24 * 60 : 0);
        if (c.advanced) {
            EXPECT_STREQ(remaining->reminderText, L"Edited text");
            EXPECT_EQ(remaining->frequency, FREQ_WEEKLY);
        }
    }
}

// The check thread wakes at each whole minute of the clock, and at once when the window hears of
// a clock change or a resume from sleep. The reminder that "fell due while the PC slept" is one
// stored overdue after the last check: the thread cannot have seen it before the change.
TEST(CheckLoop, WakesAtTheWholeMinuteAndAtOnceAfterAClockChange) {
    prepareStore();
    SYSTEMTIME now;
    GetLocalTime(&now);
    // Too close to a whole minute, the first check could already count as the next one.
    if (now.wSecond >= 55) Sleep((61 - now.wSecond) * 1000);
    SYSTEMTIME next = nowPlusMinutes(1);
    storeReminder({.name = L"At the minute", .due = next});
    recheckNow = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD loopThread = 0;
    Handle loop(CreateThread(
        nullptr, 0, [](LPVOID stopEvent) -> DWORD {
            checkLoop(0, static_cast<HANDLE>(stopEvent));
            return 0;
        },
        stop.h, CREATE_SUSPENDED, &loopThread));
    ASSERT_TRUE(loop.h);

    SYSTEMTIME shownAt{};
    {
        ModalAnswer atMinute(loopThread, IDC_DONE, 75000);
        ResumeThread(loop);
        const ModalWindow& w = atMinute.result();
        GetLocalTime(&shownAt);
        EXPECT_EQ(w.text.find(L"At the minute"), 0u);
    }
    EXPECT_EQ(minutesBetween(next, at(shownAt.wYear, shownAt.wMonth, shownAt.wDay, shownAt.wHour, shownAt.wMinute)), 0);
    EXPECT_LE(shownAt.wSecond, 2) << "shown " << shownAt.wSecond << "." << shownAt.wMilliseconds << " s past the minute";

    storeReminder({.name = L"Fell due asleep", .due = nowPlusMinutes(-10)});
    ULONGLONG sent = GetTickCount64();
    {
        ModalAnswer afterChange(loopThread, IDC_DONE, 10000);
        WindowProcedure(nullptr, WM_TIMECHANGE, 0, 0);
        const ModalWindow& w = afterChange.result();
        EXPECT_EQ(w.text.find(L"Fell due asleep"), 0u);
    }
    EXPECT_LT(GetTickCount64() - sent, 2000u);

    // A resume from sleep is heard the same way.
    storeReminder({.name = L"Fell due resumed", .due = nowPlusMinutes(-10)});
    sent = GetTickCount64();
    {
        ModalAnswer afterResume(loopThread, IDC_DONE, 10000);
        EXPECT_EQ(WindowProcedure(nullptr, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0), TRUE);
        const ModalWindow& w = afterResume.result();
        EXPECT_EQ(w.text.find(L"Fell due resumed"), 0u);
    }
    EXPECT_LT(GetTickCount64() - sent, 2000u);

    SetEvent(stop);
    EXPECT_EQ(WaitForSingleObject(loop, 10000), WAIT_OBJECT_0);
    CloseHandle(recheckNow);
    recheckNow = nullptr;
}

// The real popup: texts, labels, bold name, corner placement, rounded shape and picture.
TEST(ReminderPopup, ShowsTheReminderInTheCorner) {
    struct Case {
        const wchar_t* cmd;
        DWORD displayDueDate;
        int press;
    } const CASES[] = {
        {L":temp", 1, IDC_LATER},
        {L"", 0, IDC_DONE},
    };
    for (const auto& c : CASES) {
        prepareStore();
        setUserDword(L"DisplayDueDate", c.displayDueDate);
        std::wstring name = L"Back up photos", body = L"Copy the photo folder to the external disk.";
        SYSTEMTIME due = at(2031, 3, 5, 7, 9);
        Reminder* rem = createReminder(name.data(), TRUE, body.data(), FREQ_WEEKLY, &due, TRUE, nullptr,
                                       L"Clean Now", c.cmd, L"Default");
        ASSERT_TRUE(rem);

        struct Seen {
            LONG weight = 0;
            bool launchEnabled = false, topmost = false, rounded = false;
            RECT window{}, area{};
            SIZE picture{};
        } seen;
        ModalScript script(GetCurrentThreadId(), {{c.press, [&seen](HWND dlg) {
                                                       LOGFONTW lf{};
                                                       auto font = reinterpret_cast<HFONT>(
                                                           SendDlgItemMessageW(dlg, IDC_NAME, WM_GETFONT, 0, 0));
                                                       if (font && GetObjectW(font, sizeof lf, &lf))
                                                           seen.weight = lf.lfWeight;
                                                       seen.launchEnabled = IsWindowEnabled(GetDlgItem(dlg, IDC_LAUNCH));
                                                       seen.topmost = (GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                                                       HRGN rgn = CreateRectRgn(0, 0, 0, 0);
                                                       seen.rounded = GetWindowRgn(dlg, rgn) != ERROR;
                                                       DeleteObject(rgn);
                                                       GetWindowRect(dlg, &seen.window);
                                                       SystemParametersInfoW(SPI_GETWORKAREA, 0, &seen.area, 0);
                                                       auto bmp = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
                                                           dlg, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
                                                       BITMAP bm{};
                                                       if (bmp && GetObjectW(bmp, sizeof bm, &bm))
                                                           seen.picture = {bm.bmWidth, bm.bmHeight};
                                                   }}});
        int result = showReminderPopup(nullptr, rem);
        const auto& windows = script.result();
        freeReminder(rem);

        EXPECT_EQ(result, c.press);
        ASSERT_EQ(windows.size(), 1u);
        const ModalWindow& w = windows[0];
        std::wstring expectedText = name + L"\n" + body;
        if (c.displayDueDate) expectedText += L"\n05/03/2031 07:09";
        EXPECT_EQ(w.text, expectedText);
        ASSERT_TRUE(w.button(IDC_DONE) && w.button(IDC_LAUNCH) && w.button(IDC_LATER));
        EXPECT_EQ(w.button(IDC_DONE)->caption, text(IDS_DONE));
        EXPECT_EQ(w.button(IDC_LATER)->caption, text(IDS_REMIND_LATER));
        EXPECT_EQ(w.button(IDC_LAUNCH)->caption, *c.cmd ? L"Clean Now" : text(IDS_LAUNCH));
        EXPECT_EQ(seen.launchEnabled, *c.cmd != 0);
        EXPECT_EQ(seen.weight, FW_BOLD);
        EXPECT_TRUE(seen.topmost);
        EXPECT_TRUE(seen.rounded);
        EXPECT_EQ(seen.window.right, seen.area.right);
        EXPECT_EQ(seen.window.bottom, seen.area.bottom);
        EXPECT_EQ(seen.picture.cx, seen.window.right - seen.window.left);
        EXPECT_EQ(seen.picture.cy, seen.window.bottom - seen.window.top);
    }
}

TEST(ReminderPopup, DueDateFormatTakesOnlyNumbers) {
    SYSTEMTIME due = at(2024, 3, 5, 7, 9);
    struct Case {
        const wchar_t* format;
        const wchar_t* expected;
    } const CASES[] = {
        {L"%02d/%02d/%d %02d:%02d", L"05/03/2024 07:09"},
        {L"%d.%d.%d, %d:%02d", L"5.3.2024, 7:09"},
        // A damaged language file must not make the formatter read text it was never given.
        {L"%s/%s/%d", L"05/03/2024 07:09"},
        {L"%02d/%02d/%d %02d:%02d and far too much text", L"05/03/2024 07:09 and"},
        {nullptr, L"05/03/2024 07:09"},
    };
    for (const auto& c : CASES) EXPECT_EQ(formatDueDate(c.format, due), c.expected);
}

// Remind Later is a split button: a click on its arrow offers the other postponements, and the one
// chosen is the popup's answer. "&" in the name shows as typed. The screenshot shows the open menu.
TEST(ReminderPopup, RemindLaterOffersOtherPostponements) {
    prepareStore();
    std::wstring name = L"R&D backup & sync", body = L"Sync the lab's share & check the log.";
    SYSTEMTIME due = at(2031, 3, 5, 7, 9);
    Reminder* rem = createReminder(name.data(), TRUE, body.data(), FREQ_WEEKLY, &due, TRUE, nullptr, L"", L"",
                                   L"Default");
    ASSERT_TRUE(rem);
    bool split = false;
    std::vector<std::wstring> items;
    ModalScript script(GetCurrentThreadId(), {{IDC_DONE, [&](HWND dlg) {
                                                   HWND later = GetDlgItem(dlg, IDC_LATER);
                                                   split = (GetWindowLongW(later, GWL_STYLE) & BS_TYPEMASK) == BS_SPLITBUTTON;
                                                   Sleep(600); // past the slide-in
                                                   // A click on the arrow at the button's right end.
                                                   RECT r{};
                                                   GetClientRect(later, &r);
                                                   LPARAM arrow = MAKELPARAM(r.right - 4, r.bottom / 2);
                                                   PostMessageW(later, WM_LBUTTONDOWN, MK_LBUTTON, arrow);
                                                   PostMessageW(later, WM_LBUTTONUP, 0, arrow);
                                                   HWND menu = findWindowOf(GetCurrentProcessId(), L"#32768", 4000);
                                                   if (!menu) return;
                                                   Sleep(300);
                                                   auto hmenu = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
                                                   for (int i = 0; hmenu && i < GetMenuItemCount(hmenu); ++i) {
                                                       wchar_t text[100] = L"";
                                                       GetMenuStringW(hmenu, i, text, 100, MF_BYPOSITION);
                                                       items.push_back(text);
                                                   }
                                                   saveScreenshot(artifactsFolder() + L"\\notifier-popup-later-menu.bmp");
                                                   // The second choice, by keyboard as a user would.
                                                   for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
                                                       PostMessageW(menu, WM_KEYDOWN, key, 0);
                                                       Sleep(50);
                                                   }
                                                   for (int i = 0; i < 200 && IsWindow(dlg); ++i) Sleep(20);
                                               }}}, 30000);
    int answer = showReminderPopup(nullptr, rem);
    freeReminder(rem);
    ASSERT_EQ(script.result().size(), 1u);
    EXPECT_EQ(script.result()[0].text.find(name + L"\n" + body), 0u);
    EXPECT_TRUE(split);
    const std::vector<std::wstring> expected = {text(IDS_LATER_5MIN),  text(IDS_LATER_15MIN),  text(IDS_LATER_30MIN),
                                                text(IDS_LATER_1HOUR), text(IDS_LATER_4HOURS), text(IDS_LATER_TOMORROW)};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(answer, IDC_LATER_15MIN);
}

// The popup in German, as a German user sees it: labels from the shipped file, for a person to
// look at in build/artifacts.
TEST(ReminderPopup, SpeaksTheUsersLanguage) {
    prepareStore();
    setUserDword(L"Language", 0);
    setUserDword(L"DisplayDueDate", 1);
    SYSTEMTIME due = at(2031, 3, 5, 7, 9);
    std::wstring name = text(0xA54), body = text(0xA64);
    // No button text of its own: the button says what the language says, never nothing.
    Reminder* rem = createReminder(name.data(), TRUE, body.data(), FREQ_MONTHLY, &due, TRUE, nullptr, L"",
                                   L":defrag", L"Default");
    ASSERT_TRUE(rem);
    // The user's own text is shown as typed: an "&" is no mnemonic there.
    bool noPrefix = true, centred = true;
    ModalScript script(GetCurrentThreadId(), {{IDC_LATER, [&](HWND dlg) {
                                                   for (int id : {IDC_NAME, IDC_TEXT, IDC_DUE})
                                                       noPrefix &= (GetWindowLongW(GetDlgItem(dlg, id), GWL_STYLE) & SS_NOPREFIX) != 0;
                                                   for (int id : {IDC_NAME, IDC_DUE})
                                                       centred &= (GetWindowLongW(GetDlgItem(dlg, id), GWL_STYLE) & SS_TYPEMASK) == SS_CENTER;
                                                   Sleep(600);
                                                   saveScreenshot(artifactsFolder() + L"\\notifier-de-popup.bmp");
                                               }}});
    showReminderPopup(nullptr, rem);
    freeReminder(rem);
    setUserDword(L"Language", 1);
    ASSERT_EQ(1u, script.result().size());
    const ModalWindow& w = script.result()[0];
    EXPECT_EQ(0u, w.text.find(L"Defragmentierung\n")) << std::string(w.text.begin(), w.text.end());
    EXPECT_TRUE(noPrefix);
    EXPECT_TRUE(centred);
    ASSERT_TRUE(w.button(IDC_LATER));
    EXPECT_EQ(L"&Später erinnern", w.button(IDC_LATER)->caption);
    ASSERT_TRUE(w.button(IDC_LAUNCH));
    EXPECT_EQ(L"&Ausführen", w.button(IDC_LAUNCH)->caption);
}
