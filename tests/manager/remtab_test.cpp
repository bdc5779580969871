// The Reminders page driven by messages in the test's own thread; the store and reg.exe tell
// what was written.
#include <gtest/gtest.h>

#include "fixture.h"
#include "mgr_support.h"
#include "reminderpage.h"

namespace {

const DWORD ME = GetCurrentThreadId();

class RemindersPage : public ::testing::Test {
  protected:
    void SetUp() override { prepareStore(); }
    HWND tree(HWND page) const { return GetDlgItem(page, IDC_R_TREE); }
};

SYSTEMTIME daysAhead(int days, WORD hour, WORD minute, WORD second = 0) {
    SYSTEMTIME t = nowPlusMinutes(days * 24 * 60);
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = 0;
    return t;
}

bool sameMinute(const SYSTEMTIME& a, const SYSTEMTIME& b) { return minutesBetween(a, b) == 0; }

// Every reminder item of the tree must point at a live record carrying the item's name.
void expectTreeConsistent(HWND tree) {
    for (HTREEITEM g = TreeView_GetRoot(tree); g; g = TreeView_GetNextSibling(tree, g)) {
        EXPECT_EQ(nullptr, itemRecord(tree, g));
        for (HTREEITEM c = TreeView_GetChild(tree, g); c; c = TreeView_GetNextSibling(tree, c)) {
            Reminder* rem = itemRecord(tree, c);
            ASSERT_NE(nullptr, rem);
            EXPECT_EQ(itemText(tree, c), rem->name);
        }
    }
}

} // namespace

TEST_F(RemindersPage, NewGroupNewRemindersEditAndSave) {
    MainWindow win;
    win.showTab(TAB_CUSTOM);
    HWND page = win.page(TAB_CUSTOM);
    {
        ModalScript answers(ME, {typeAndOk(IDC_GROUP_EDIT, L"Work")});
        click(page, IDC_R_NEWGROUP);
        ASSERT_EQ(1u, answers.result().size());
        EXPECT_EQ(lang(IDS_NEW_GROUP), answers.result()[0].caption);
        EXPECT_EQ(lang(IDS_GROUP_LABEL), answers.result()[0].text);
    }
    ASSERT_TRUE(findItem(tree(page), L"Work"));
    StringList* groups = getGroups(TRUE);
    bool stored = false;
    for (StringList* g = groups; g; g = g->next) stored |= wcscmp(g->string, L"Work") == 0;
    freeStringList(groups);
    EXPECT_TRUE(stored);

    SYSTEMTIME before = nowPlusMinutes(60);
    {
        ModalScript answers(ME, {typeAndOk(IDC_RENAME_EDIT, L"Backup"), chooseAndOk(IDC_SELGROUP_LIST, L"Work")});
        click(page, IDC_R_NEWREM);
        ASSERT_EQ(2u, answers.result().size());
        EXPECT_EQ(lang(IDS_SELGROUP_TITLE), answers.result()[1].caption);
    }
    {
        ModalScript answers(ME, {typeAndOk(IDC_RENAME_EDIT, L"Call the bank"),
                                 chooseAndOk(IDC_SELGROUP_LIST, lang(IDS_DEFAULT_GROUP))});
        click(page, IDC_R_NEWREM);
        answers.result();
    }
    auto backup = storedCustom(L"Work", L"Backup");
    ASSERT_TRUE(backup);
    EXPECT_EQ(lang(IDS_NEW_TEXT), backup->reminderText);
    EXPECT_EQ(FREQ_DAILY, backup->frequency);
    EXPECT_TRUE(backup->active);
    EXPECT_LE(std::abs(minutesBetween(before, *backup->nextDue)), 1);
    ASSERT_TRUE(storedCustom(L"Default", L"Call the bank"));
    EXPECT_EQ((std::vector<std::wstring>{L"Call the bank"}), childNames(tree(page), lang(IDS_DEFAULT_GROUP).c_str()));
    // The new reminder is current, with its text selected for typing over.
    EXPECT_EQ(L"Call the bank", itemTextOf(page, IDC_R_NAME));
    EXPECT_EQ(GetDlgItem(page, IDC_R_TEXT), GetFocus());
    EXPECT_FALSE(isCUnsaved());

    SYSTEMTIME due = daysAhead(3, 10, 37, 45);
    typeText(page, IDC_R_TEXT, L"Ask about the & fees");
    chooseIndex(page, IDC_R_FREQ, FREQ_WEEKLY);
    chooseIndex(page, IDC_R_ACTIVE, 0);
    setPicker(page, IDC_R_DATE, due);
    setPicker(page, IDC_R_TIME, due);
    EXPECT_EQ(0, pickerTime(page, IDC_R_TIME).wSecond);
    EXPECT_TRUE(isCUnsaved());
    EXPECT_EQ(lang(IDS_NEW_TEXT), storedCustom(L"Default", L"Call the bank")->reminderText);

    click(page, IDC_R_SAVE);
    EXPECT_FALSE(isCUnsaved());
    auto call = storedCustom(L"Default", L"Call the bank");
    ASSERT_TRUE(call);
    EXPECT_STREQ(L"Ask about the & fees", call->reminderText);
    EXPECT_EQ(FREQ_WEEKLY, call->frequency);
    EXPECT_FALSE(call->active);
    EXPECT_EQ(due.wDay, call->nextDue->wDay);
    EXPECT_EQ(10, call->nextDue->wHour);
    EXPECT_EQ(37, call->nextDue->wMinute);
    EXPECT_EQ(0, call->nextDue->wSecond);
    EXPECT_EQ(lang(IDS_NEW_TEXT), storedCustom(L"Work", L"Backup")->reminderText);

    std::wstring out = runCapture(L"reg query \"HKCU\\" REMINDERS_KEY L"\\Custom\\Default\\Call the bank\"");
    EXPECT_NE(std::wstring::npos, out.find(L"Ask about the & fees")) << out;
    EXPECT_NE(std::wstring::npos, out.find(L"REG_BINARY")) << out;

    // A group item shows no reminder: the panel empties and locks, and nothing counts as an edit.
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Work"));
    EXPECT_EQ(L"", itemTextOf(page, IDC_R_NAME));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_R_FREQ)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_R_RENAME)));
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Work", L"Backup"));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_R_FREQ)));
    EXPECT_FALSE(isCUnsaved());
}

TEST_F(RemindersPage, NamesAreCheckedBeforeTheStoreSeesThem) {
    makeGroup(L"Work");
    storeCustom(L"Default", L"Alpha", daysAhead(1, 9, 0));
    storeCustom(L"Work", L"Beta", daysAhead(1, 9, 0));
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Alpha"));
    // Typed before the rename and not yet saved: it must survive the rename.
    typeText(page, IDC_R_TEXT, L"typed before the rename");

    ModalScript answers(ME, {typeAndOk(IDC_RENAME_EDIT, L"ALPHA"), {IDOK}, typeAndOk(IDC_RENAME_EDIT, L"beta"), {IDOK},
                             typeAndOk(IDC_RENAME_EDIT, L"a\\b"), {IDOK}, typeAndOk(IDC_RENAME_EDIT, L" lead"), {IDOK},
                             typeAndOk(IDC_RENAME_EDIT, L"Gamma")});
    click(page, IDC_R_RENAME);
    const auto& w = answers.result();
    ASSERT_EQ(9u, w.size());
    EXPECT_EQ(lang(IDS_RENAME_TITLE), w[0].caption);
    EXPECT_EQ(lang(IDS_NAME_TAKEN), w[1].text);   // case-only: the reminder itself holds the name
    EXPECT_EQ(lang(IDS_NAME_TAKEN), w[3].text);   // in another group
    EXPECT_EQ(lang(IDS_NAME_BACKSLASH), w[5].text);
    EXPECT_EQ(lang(IDS_NAME_LEADING_SPACE), w[7].text);

    EXPECT_EQ((std::vector<std::wstring>{L"Gamma"}), storedNames(TRUE, L"Default"));
    EXPECT_EQ((std::vector<std::wstring>{L"Gamma"}), childNames(GetDlgItem(page, IDC_R_TREE), L"Default"));
    EXPECT_EQ(L"Gamma", itemTextOf(page, IDC_R_NAME));
    EXPECT_EQ(L"typed before the rename", itemTextOf(page, IDC_R_TEXT));
    EXPECT_TRUE(isCUnsaved());
    click(page, IDC_R_SAVE);
    EXPECT_STREQ(L"typed before the rename", storedCustom(L"Default", L"Gamma")->reminderText);
    EXPECT_EQ((std::vector<std::wstring>{L"Gamma"}), storedNames(TRUE, L"Default"));

    // Group names: a backslash keeps the dialog open; "Default" in any case is refused.
    {
        ModalScript groups(ME, {typeAndOk(IDC_GROUP_EDIT, L"Home\\Office"), {IDOK}, typeAndOk(IDC_GROUP_EDIT, L"dEFAULT"),
                                {IDOK}});
        click(page, IDC_R_NEWGROUP);
        ASSERT_EQ(4u, groups.result().size());
        EXPECT_EQ(lang(IDS_NAME_BACKSLASH), groups.result()[1].text);
        EXPECT_EQ(0u, groups.result()[3].text.find(lang(IDS_NO_NEW_GROUP))) << groups.result()[3].text;
    }
    StringList* list = getGroups(TRUE);
    int count = 0;
    for (StringList* g = list; g; g = g->next) ++count;
    freeStringList(list);
    EXPECT_EQ(2, count);
}

TEST_F(RemindersPage, ChangeGroupAndDeleteWorkOnTheRecordNotItsName) {
    makeGroup(L"Work");
    storeCustom(L"Default", L"Alpha", daysAhead(1, 9, 0));
    // An import can put one name into two groups; the page must keep the two apart.
    storeCustom(L"Default", L"Twin", daysAhead(1, 9, 0), L"the default one");
    storeCustom(L"Work", L"Twin", daysAhead(1, 9, 0), L"the work one");
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    HWND t = tree(page);

    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Alpha"));
    {
        ModalScript same(ME, {chooseAndOk(IDC_SELGROUP_LIST, L"Default"), {IDOK}});
        click(page, IDC_R_CHGROUP);
        ASSERT_EQ(2u, same.result().size());
        EXPECT_EQ(lang(IDS_SAME_GROUP), same.result()[1].text);
    }
    typeText(page, IDC_R_TEXT, L"moved with its edit");
    {
        ModalScript move(ME, {chooseAndOk(IDC_SELGROUP_LIST, L"Work")});
        click(page, IDC_R_CHGROUP);
        move.result();
    }
    EXPECT_FALSE(storedCustom(L"Default", L"Alpha"));
    auto moved = storedCustom(L"Work", L"Alpha");
    ASSERT_TRUE(moved);
    EXPECT_STREQ(L"moved with its edit", moved->reminderText);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Twin"}), childNames(t, L"Work"));
    EXPECT_EQ(L"", itemTextOf(page, IDC_R_NAME)); // the moved reminder is not selected
    expectTreeConsistent(t);

    // Moving onto a same-named reminder is refused by the store and changes nothing.
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Twin"));
    {
        ModalScript clash(ME, {chooseAndOk(IDC_SELGROUP_LIST, L"Work"), {IDOK}});
        click(page, IDC_R_CHGROUP);
        ASSERT_EQ(2u, clash.result().size());
        EXPECT_EQ(0u, clash.result()[1].text.find(lang(IDS_NO_MOVE)));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Twin"}), childNames(t, L"Default"));
    EXPECT_STREQ(L"the work one", storedCustom(L"Work", L"Twin")->reminderText);

    // The page reads the later group first, so "the first Twin by name" is the other one.
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Twin"));
    {
        ModalScript yes(ME, {{IDYES}});
        click(page, IDC_R_DELREM);
        ASSERT_EQ(1u, yes.result().size());
        EXPECT_EQ(lang(IDS_DELETE_QUESTION), yes.result()[0].text);
    }
    EXPECT_TRUE(storedNames(TRUE, L"Default").empty());
    EXPECT_TRUE(childNames(t, L"Default").empty());
    expectTreeConsistent(t);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Work", L"Twin"));
    EXPECT_EQ(L"the work one", itemTextOf(page, IDC_R_TEXT));
}

TEST_F(RemindersPage, DeletingOneReminderKeepsTheEditsOfOthers) {
    storeCustom(L"Default", L"A", daysAhead(1, 9, 0));
    storeCustom(L"Default", L"B", daysAhead(1, 9, 0));
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    {
        ModalAnswer none(ME, IDOK);
        click(page, IDC_R_DELREM);
        EXPECT_EQ(lang(IDS_SELECT_REMINDER), none.result().text);
    }
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"A"));
    typeText(page, IDC_R_TEXT, L"A edited");
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"B"));
    {
        ModalAnswer no(ME, IDNO);
        click(page, IDC_R_DELREM);
        no.result();
    }
    EXPECT_EQ(2u, storedNames(TRUE, L"Default").size());
    {
        ModalAnswer yes(ME, IDYES);
        click(page, IDC_R_DELREM);
        yes.result();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"A"}), storedNames(TRUE, L"Default"));
    EXPECT_TRUE(isCUnsaved());
    click(page, IDC_R_SAVE);
    EXPECT_STREQ(L"A edited", storedCustom(L"Default", L"A")->reminderText);
    EXPECT_FALSE(isCUnsaved());
}

TEST_F(RemindersPage, DeleteGroupRefusalsAndAPartialFailure) {
    makeGroup(L"Work");
    makeGroup(L"Odd");
    storeCustom(L"Work", L"Beta", daysAhead(1, 9, 0));
    storeCustom(L"Odd", L"Gamma", daysAhead(1, 9, 0));
    // A key the store can't read: it stays, and so must its group.
    HKEY broken;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Odd\\Broken", 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &broken, nullptr));
    RegCloseKey(broken);
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    HWND t = tree(page);
    struct Case {
        const wchar_t* group;
        const wchar_t* name;
        int text;
    } refusals[] = {{L"Work", L"Beta", IDS_GROUP_NOT_REMINDER}, {L"Default", nullptr, IDS_DEFAULT_UNDELETABLE}};
    for (const Case& c : refusals) {
        ASSERT_TRUE(selectItem(page, IDC_R_TREE, c.group, c.name));
        ModalAnswer box(ME, IDOK);
        click(page, IDC_R_DELGROUP);
        EXPECT_EQ(lang(c.text), box.result().text);
    }
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Work"));
    {
        ModalAnswer no(ME, IDNO);
        click(page, IDC_R_DELGROUP);
        EXPECT_EQ(lang(IDS_DELETE_GROUP_QUESTION), no.result().text);
    }
    EXPECT_TRUE(findItem(t, L"Work"));
    {
        ModalAnswer yes(ME, IDYES);
        click(page, IDC_R_DELGROUP);
        yes.result();
    }
    EXPECT_FALSE(findItem(t, L"Work"));
    EXPECT_TRUE(storedNames(TRUE, L"Work").empty());
    HKEY gone;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Work", 0, KEY_READ, &gone));

    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Odd"));
    {
        ModalScript answers(ME, {{IDYES}, {IDOK}});
        click(page, IDC_R_DELGROUP);
        ASSERT_EQ(2u, answers.result().size());
        EXPECT_EQ(0u, answers.result()[1].text.find(lang(IDS_NO_DELETE_GROUP)));
    }
    // Gamma went from the store, so it went from the page; the group is still there.
    EXPECT_TRUE(storedNames(TRUE, L"Odd").empty());
    EXPECT_TRUE(findItem(t, L"Odd"));
    EXPECT_TRUE(childNames(t, L"Odd").empty());
    expectTreeConsistent(t);
}

TEST_F(RemindersPage, UndoAsksThenRereadsTheStore) {
    storeCustom(L"Default", L"A", daysAhead(1, 9, 0), L"stored");
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"A"));
    typeText(page, IDC_R_TEXT, L"changed");
    {
        ModalAnswer no(ME, IDNO);
        click(page, IDC_R_UNDO);
        EXPECT_EQ(lang(IDS_UNDO_QUESTION), no.result().text);
    }
    EXPECT_TRUE(isCUnsaved());
    {
        ModalAnswer yes(ME, IDYES);
        click(page, IDC_R_UNDO);
        yes.result();
    }
    EXPECT_FALSE(isCUnsaved());
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"A"));
    EXPECT_EQ(L"stored", itemTextOf(page, IDC_R_TEXT));
}

TEST_F(RemindersPage, SavingDoesNotUndoWhatTheNotifierDid) {
    SYSTEMTIME due = daysAhead(-2, 9, 0);
    storeCustom(L"Default", L"Daily", due);
    storeCustom(L"Default", L"Other", daysAhead(1, 9, 0));
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Daily")); // looked at, not edited

    // Done in the popup, behind the manager's back.
    ReminderPtr daily = storedCustom(L"Default", L"Daily");
    incrementReminder(daily.get(), FALSE);
    ASSERT_TRUE(saveReminder(daily.get()));
    SYSTEMTIME advanced = *daily->nextDue;
    ASSERT_GT(minutesBetween(due, advanced), 0);

    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Other"));
    typeText(page, IDC_R_TEXT, L"edited");
    click(page, IDC_R_SAVE);
    EXPECT_TRUE(sameMinute(advanced, *storedCustom(L"Default", L"Daily")->nextDue));
    EXPECT_STREQ(L"edited", storedCustom(L"Default", L"Other")->reminderText);
    // The same through the closing question.
    typeText(page, IDC_R_TEXT, L"edited again");
    ModalAnswer yes(ME, IDYES);
    EXPECT_TRUE(win.close());
    EXPECT_EQ(lang(IDS_UNSAVED_QUESTION), yes.result().text);
    EXPECT_TRUE(sameMinute(advanced, *storedCustom(L"Default", L"Daily")->nextDue));
    EXPECT_STREQ(L"edited again", storedCustom(L"Default", L"Other")->reminderText);
}

TEST_F(RemindersPage, AFailedSaveIsReportedAndKeepsTheEdit) {
    makeGroup(L"Work");
    storeCustom(L"Work", L"Beta", daysAhead(1, 9, 0));
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Work", L"Beta"));
    typeText(page, IDC_R_TEXT, L"not to be lost");
    // Another program removes the group meanwhile.
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Work");
    RegDeleteKeyW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Work");
    {
        ModalAnswer box(ME, IDOK);
        click(page, IDC_R_SAVE);
        EXPECT_EQ(0u, box.result().text.find(lang(IDS_NOT_SAVED)));
        EXPECT_NE(std::wstring::npos, box.result().text.find(L"2")) << box.result().text;
    }
    EXPECT_TRUE(isCUnsaved());
    // Closing with Yes fails the same way: the window stays, with the edit.
    {
        ModalScript answers(ME, {{IDYES}, {IDOK}});
        EXPECT_FALSE(win.close());
        EXPECT_EQ(2u, answers.result().size());
    }
    EXPECT_EQ(L"not to be lost", itemTextOf(page, IDC_R_TEXT));
}

TEST_F(RemindersPage, AnOverdueReminderShowsItsOwnDate) {
    SYSTEMTIME late{2020, 1, 0, 5, 8, 15, 0, 0};
    storeCustom(L"Default", L"Late", late, L"late");
    storeCustom(L"Default", L"Soon", daysAhead(2, 9, 0));
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Soon"));
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"Late"));
    SYSTEMTIME shown = pickerTime(page, IDC_R_DATE);
    EXPECT_EQ(2020, shown.wYear);
    EXPECT_EQ(5, shown.wDay);
    typeText(page, IDC_R_TEXT, L"still late");
    click(page, IDC_R_SAVE);
    auto stored = storedCustom(L"Default", L"Late");
    EXPECT_EQ(2020, stored->nextDue->wYear);
    EXPECT_EQ(1, stored->nextDue->wMonth);
    EXPECT_EQ(5, stored->nextDue->wDay);
    EXPECT_EQ(8, stored->nextDue->wHour);
}

TEST_F(RemindersPage, TreeKeysAndLanguageRefresh) {
    storeCustom(L"Default", L"A", daysAhead(1, 9, 0), L"a", FREQ_3DAYS);
    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    HWND t = tree(page);
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Default", L"A"));
    SendMessageW(page, WM_COMMAND, CMD_RELABEL, 0);
    EXPECT_EQ(FREQ_3DAYS, selectedIndex(page, IDC_R_FREQ));
    EXPECT_EQ(1, selectedIndex(page, IDC_R_ACTIVE));
    EXPECT_EQ(lang(IDS_RENAME), itemTextOf(page, IDC_R_RENAME));
    {
        ModalScript f2(ME, {{IDCANCEL}});
        SendMessageW(t, WM_KEYDOWN, VK_F2, 0);
        ASSERT_EQ(1u, f2.result().size());
        EXPECT_EQ(lang(IDS_RENAME_TITLE), f2.result()[0].caption);
    }
    {
        ModalScript del(ME, {{IDYES}});
        SendMessageW(t, WM_KEYDOWN, VK_DELETE, 0);
        ASSERT_EQ(1u, del.result().size());
        EXPECT_EQ(lang(IDS_DELETE_QUESTION), del.result()[0].text);
    }
    EXPECT_TRUE(storedNames(TRUE, L"Default").empty());
}

// The store's group "Default" is shown and typed under the language's name for it, and keeps that
// name across a language change. A second language made from English shows it.
TEST_F(RemindersPage, TheDefaultGroupGoesByTheLanguagesName) {
    installWithSecondLanguage({{L"a40=Default", L"a40=Standard"}});
    setUserDword(L"Language", static_cast<DWORD>(getLangCode(0)));
    storeCustom(L"Default", L"A", daysAhead(1, 9, 0));

    MainWindow win;
    HWND page = win.page(TAB_CUSTOM);
    HWND t = tree(page);
    EXPECT_TRUE(findItem(t, L"Standard", L"A"));
    EXPECT_FALSE(findItem(t, L"Default"));
    {
        ModalScript answers(ME, {typeAndOk(IDC_RENAME_EDIT, L"B"), chooseAndOk(IDC_SELGROUP_LIST, L"Standard")});
        click(page, IDC_R_NEWREM);
        answers.result();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), storedNames(TRUE, L"Default"));
    {
        ModalScript answers(ME, {typeAndOk(IDC_GROUP_EDIT, L"STANDARD"), {IDOK}});
        click(page, IDC_R_NEWGROUP);
        ASSERT_EQ(2u, answers.result().size());
        EXPECT_EQ(0u, answers.result()[1].text.find(lang(IDS_NO_NEW_GROUP)));
    }
    ASSERT_TRUE(selectItem(page, IDC_R_TREE, L"Standard", L"A"));
    {
        ModalScript same(ME, {chooseAndOk(IDC_SELGROUP_LIST, L"Standard"), {IDOK}});
        click(page, IDC_R_CHGROUP);
        ASSERT_EQ(2u, same.result().size());
        EXPECT_EQ(lang(IDS_SAME_GROUP), same.result()[1].text);
    }
    setUserDword(L"Language", static_cast<DWORD>(getLangCode(1)));
    loadStrings();
    EXPECT_TRUE(findItem(t, L"Default", L"A"));
    EXPECT_FALSE(findItem(t, L"Standard"));
    EXPECT_EQ(L"A", itemTextOf(page, IDC_R_NAME)); // the refresh keeps the reminder on show
    installAt(binFolder());
}
