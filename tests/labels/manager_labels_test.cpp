// The manager's window, its five pages and its small dialogs, filled by the manager's own
// procedures in each language the build made.
#include <gtest/gtest.h>

#include "fixture.h"
#include "labelcheck.h"
#include "mgr_support.h"

namespace {

const wchar_t* templateName(int id) {
    switch (id) {
    case IDD_MAIN: return L"manager IDD_MAIN (main window)";
    case IDD_XREMTAB: return L"manager IDD_XREMTAB (Built-in Reminders page)";
    case IDD_REMTAB: return L"manager IDD_REMTAB (My Reminders page)";
    case IDD_UPDATETAB: return L"manager IDD_UPDATETAB (Updates page)";
    case IDD_SETTINGSTAB: return L"manager IDD_SETTINGSTAB (Settings page)";
    case IDD_ABOUTTAB: return L"manager IDD_ABOUTTAB (About page)";
    case IDD_RENAME: return L"manager IDD_RENAME";
    case IDD_EDITCMD: return L"manager IDD_EDITCMD";
    case IDD_NEWGROUP: return L"manager IDD_NEWGROUP";
    case IDD_SELGROUP: return L"manager IDD_SELGROUP";
    case IDD_IMPTYPE: return L"manager IDD_IMPTYPE";
    }
    return L"manager dialog";
}

struct ManagerLabels : LanguageTest {
    void SetUp() override {
        LanguageTest::SetUp();
        if (!ready()) return;
        prepareStore();
        chooseLanguage(GetParam());
    }
};

TEST_P(ManagerLabels, EveryTextFitsAndNoKeyIsUsedTwice) {
    Findings found{LANGUAGE_FILES[GetParam()]};
    HMODULE self = GetModuleHandleW(nullptr);
    {
        MainWindow win;
        ASSERT_TRUE(win.dlg);
        // The news line is written by a thread of the page: here it explains why there is no news.
        HWND news = GetDlgItem(win.page(TAB_UPDATE), IDC_U_NEWS1);
        EXPECT_TRUE(pumpUntil([&] { return GetWindowTextLengthW(news) > 0; }, 10000));
        found.checkDialog(self, IDD_MAIN, templateName(IDD_MAIN), win.dlg);
        for (int tab = 0; tab < NUM_TABS; ++tab) {
            ASSERT_TRUE(win.page(tab)) << tab;
            found.checkDialog(self, tab_ids[tab], templateName(tab_ids[tab]), win.page(tab), {win.dlg});
        }
    }
    struct Small {
        int id;
        DLGPROC proc;
    } const SMALL[] = {{IDD_RENAME, RenameProc},     {IDD_EDITCMD, EditCmdProc}, {IDD_NEWGROUP, NewGroupProc},
                       {IDD_SELGROUP, SelGroupProc}, {IDD_IMPTYPE, ImpTypeProc}};
    for (const Small& d : SMALL) {
        HWND dlg = CreateDialogParamW(hInst, MAKEINTRESOURCEW(d.id), nullptr, d.proc, 0);
        ASSERT_TRUE(dlg) << d.id;
        found.checkDialog(self, d.id, templateName(d.id), dlg);
        DestroyWindow(dlg);
    }
    EXPECT_TRUE(found.misfits.empty()) << joined(found.misfits);
    EXPECT_TRUE(found.clashes.empty()) << joined(found.clashes);
    EXPECT_EQ(uncheckedTemplates(found, {self}), std::vector<std::wstring>{});
}

INSTANTIATE_TEST_SUITE_P(Languages, ManagerLabels, ::testing::Range(0, NUM_LANGUAGES), languageTestName);

} // namespace
