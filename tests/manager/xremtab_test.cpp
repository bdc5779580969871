// The Built-in reminders page and the main window's closing question, in the test's own thread.
#include <gtest/gtest.h>

#include "mgr_support.h"

namespace {

const DWORD ME = GetCurrentThreadId();

class BuiltinPage : public ::testing::Test {
  protected:
    void SetUp() override {
        prepareStore();
        storeReminder({L"Defrag", false, nowPlusMinutes(24 * 60), FREQ_MONTHLY, true, L":defrag", L"&Defragment"});
        storeReminder({L"Scan", false, nowPlusMinutes(24 * 60), FREQ_WEEKLY, true, L"scan.exe", L"&Scan"});
    }
};

} // namespace

TEST_F(BuiltinPage, ScheduleEditsAreSavedAndNamesStayReadOnly) {
    MainWindow win;
    HWND page = win.page(TAB_BUILTIN);
    EXPECT_TRUE(IsWindowVisible(page)); // the first page shown
    ASSERT_TRUE(selectItem(page, IDC_X_TREE, L"System", L"Defrag"));
    EXPECT_EQ(L"Defrag", itemTextOf(page, IDC_X_NAME));
    EXPECT_EQ(L":defrag", itemTextOf(page, IDC_X_CMD));
    EXPECT_EQ(FREQ_MONTHLY, selectedIndex(page, IDC_X_FREQ));
    for (int id : {IDC_X_NAME, IDC_X_TEXT, IDC_X_CMD}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id)));
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(page, IDC_X_TEXT), GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(isXUnsaved());

    chooseIndex(page, IDC_X_FREQ, FREQ_YEARLY);
    chooseIndex(page, IDC_X_ACTIVE, 0);
    SYSTEMTIME due = nowPlusMinutes(5 * 24 * 60);
    due.wHour = 7;
    due.wMinute = 5;
    due.wSecond = 30;
    setPicker(page, IDC_X_DATE, due);
    setPicker(page, IDC_X_TIME, due);
    EXPECT_TRUE(isXUnsaved());
    ASSERT_TRUE(selectItem(page, IDC_X_TREE, L"System"));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_X_FREQ)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_X_EDITCMD)));
    click(page, IDC_X_SAVE);
    EXPECT_FALSE(isXUnsaved());
    auto defrag = loadReminder(L"Defrag", false);
    ASSERT_TRUE(defrag);
    EXPECT_EQ(FREQ_YEARLY, defrag->frequency);
    EXPECT_FALSE(defrag->active);
    EXPECT_EQ(due.wDay, defrag->nextDue->wDay);
    EXPECT_EQ(7, defrag->nextDue->wHour);
    EXPECT_EQ(5, defrag->nextDue->wMinute);
    EXPECT_EQ(0, defrag->nextDue->wSecond);
    EXPECT_EQ(FREQ_WEEKLY, loadReminder(L"Scan", false)->frequency);
}

TEST_F(BuiltinPage, EditCommandSetsTheLaunchTextOnlyForAnEmptyCommand) {
    MainWindow win;
    HWND page = win.page(TAB_BUILTIN);
    struct Case {
        const wchar_t* reminder;
        const wchar_t* command;
        std::wstring yesText;
    } cases[] = {{L"Scan", L"other.exe /quick", L"&Scan"}, {L"Defrag", L"", lang(IDS_LAUNCH)}};
    for (const Case& c : cases) {
        ASSERT_TRUE(selectItem(page, IDC_X_TREE, L"System", c.reminder));
        ModalScript answers(ME, {typeAndOk(IDC_CMD_EDIT, c.command)});
        click(page, IDC_X_EDITCMD);
        ASSERT_EQ(1u, answers.result().size());
        EXPECT_EQ(lang(IDS_CMD_TITLE), answers.result()[0].caption);
        EXPECT_EQ(c.command, itemTextOf(page, IDC_X_CMD));
    }
    EXPECT_TRUE(isXUnsaved());
    click(page, IDC_X_SAVE);
    for (const Case& c : cases) {
        auto stored = loadReminder(c.reminder, false);
        ASSERT_TRUE(stored);
        EXPECT_STREQ(c.command, stored->cmd);
        EXPECT_EQ(c.yesText, stored->yesText);
    }
    // Cancel changes nothing.
    ASSERT_TRUE(selectItem(page, IDC_X_TREE, L"System", L"Scan"));
    ModalScript cancel(ME, {{IDCANCEL}});
    click(page, IDC_X_EDITCMD);
    cancel.result();
    EXPECT_FALSE(isXUnsaved());
    EXPECT_EQ(L"other.exe /quick", itemTextOf(page, IDC_X_CMD));
}

TEST_F(BuiltinPage, RestoreDefaultsRebuildsTheSet) {
    MainWindow win;
    HWND page = win.page(TAB_BUILTIN);
    HWND tree = GetDlgItem(page, IDC_X_TREE);
    ASSERT_TRUE(selectItem(page, IDC_X_TREE, L"System", L"Scan"));
    {
        ModalAnswer no(ME, IDNO);
        click(page, IDC_X_RESTORE);
        EXPECT_EQ(lang(IDS_RESTORE_QUESTION), no.result().text);
    }
    EXPECT_TRUE(findItem(tree, L"System", L"Scan"));
    // Yes, then no security-program search, then keep every offered reminder.
    ModalScript answers(ME, {{IDYES}, {IDNO}, {IDOK}});
    click(page, IDC_X_RESTORE);
    EXPECT_EQ(3u, answers.result().size());
    int groups = 0, reminders = 0;
    for (HTREEITEM g = TreeView_GetRoot(tree); g; g = TreeView_GetNextSibling(tree, g), ++groups)
        for (HTREEITEM c = TreeView_GetChild(tree, g); c; c = TreeView_GetNextSibling(tree, c)) ++reminders;
    EXPECT_EQ(3, groups);
    EXPECT_EQ(8, reminders);
    EXPECT_FALSE(findItem(tree, L"System", L"Scan"));
    EXPECT_EQ(L"", itemTextOf(page, IDC_X_NAME));
    EXPECT_FALSE(isXUnsaved());
}

TEST_F(BuiltinPage, ClosingAsksOnlyWithEditsAndHonoursTheAnswer) {
    storeCustom(L"Default", L"Mine", nowPlusMinutes(24 * 60), L"stored");
    auto editBoth = [](MainWindow& win) {
        HWND custom = win.page(TAB_CUSTOM), builtin = win.page(TAB_BUILTIN);
        ASSERT_TRUE(selectItem(custom, IDC_R_TREE, L"Default", L"Mine"));
        typeText(custom, IDC_R_TEXT, L"edited");
        ASSERT_TRUE(selectItem(builtin, IDC_X_TREE, L"System", L"Scan"));
        chooseIndex(builtin, IDC_X_FREQ, FREQ_ONCE);
    };
    {
        MainWindow win;
        EXPECT_TRUE(win.close()); // nothing edited: no question
    }
    {
        MainWindow win;
        editBoth(win);
        ModalAnswer cancel(ME, IDCANCEL);
        EXPECT_FALSE(win.close());
        EXPECT_EQ(lang(IDS_UNSAVED_CAPTION), cancel.result().caption);
        EXPECT_TRUE(isCUnsaved());
        EXPECT_TRUE(isXUnsaved());
        EXPECT_EQ(L"edited", itemTextOf(win.page(TAB_CUSTOM), IDC_R_TEXT));
        ModalAnswer no(ME, IDNO);
        EXPECT_TRUE(win.close());
        no.result();
    }
    EXPECT_STREQ(L"stored", storedCustom(L"Default", L"Mine")->reminderText);
    EXPECT_EQ(FREQ_WEEKLY, loadReminder(L"Scan", false)->frequency);
    {
        MainWindow win;
        editBoth(win);
        ModalAnswer yes(ME, IDYES);
        EXPECT_TRUE(win.close());
        yes.result();
    }
    EXPECT_STREQ(L"edited", storedCustom(L"Default", L"Mine")->reminderText);
    EXPECT_EQ(FREQ_ONCE, loadReminder(L"Scan", false)->frequency);
}

TEST(MainWindowPages, TabsTitlesAndTheAboutStart) {
    prepareStore();
    {
        MainWindow win;
        ASSERT_TRUE(win.dlg);
        for (int i = 0; i < NUM_TABS; ++i) {
            ASSERT_TRUE(win.page(i)) << i;
            EXPECT_EQ(lang(IDS_TAB_FIRST + i), tabTitle(i));
            EXPECT_EQ(i == TAB_BUILTIN, IsWindowVisible(win.page(i)) != FALSE) << i;
        }
        EXPECT_EQ(lang(IDS_CLOSE), itemTextOf(win.dlg, IDC_CLOSE));
        win.showTab(TAB_SETTINGS);
        EXPECT_TRUE(IsWindowVisible(win.page(TAB_SETTINGS)));
        EXPECT_FALSE(IsWindowVisible(win.page(TAB_BUILTIN)));
        EXPECT_EQ(lang(0x2A4), itemTextOf(win.page(TAB_SETTINGS), IDC_S_RUN));
        EXPECT_EQ(lang(0x2C4), itemTextOf(win.page(TAB_UPDATE), IDC_U_CHECK));
        EXPECT_EQ(lang(0x2B0), itemTextOf(win.page(TAB_ABOUT), IDC_A_TITLE));
    }
    MainWindow onAbout(TRUE);
    EXPECT_EQ(TAB_ABOUT, TabCtrl_GetCurSel(tabber));
    EXPECT_TRUE(IsWindowVisible(onAbout.page(TAB_ABOUT)));
}
