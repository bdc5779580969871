// Screenshots of every page and small dialog, for a person to look at (build/artifacts).
#include <gtest/gtest.h>

#include "fixture.h"
#include "mgr_support.h"

namespace {

void pump(DWORD ms) {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        Sleep(10);
    }
}

std::wstring shot(const wchar_t* name) { return artifactsFolder() + L"\\manager-" + name + L".bmp"; }

ModalStep photograph(const wchar_t* name, int press = IDCANCEL) {
    return {press, [name](HWND) { saveScreenshot(shot(name)); }};
}

} // namespace

TEST(ManagerScreens, EveryPageAndDialog) {
    prepareStore();
    makeGroup(L"Household");
    storeCustom(L"Household", L"Water the plants", nowPlusMinutes(3 * 24 * 60),
                L"Water the plants on the balcony & in the kitchen.", FREQ_3DAYS);
    storeCustom(L"Default", L"Back up photos", nowPlusMinutes(7 * 24 * 60), L"Copy the photos to the USB disk.",
                FREQ_WEEKLY);
    storeReminder({L"Disk Defragmentation", false, nowPlusMinutes(24 * 60), FREQ_MONTHLY, true, L":defrag", L"&Launch",
                   nullptr, L"Defragment your hard disks to keep your computer running smoothly."});
    MainWindow win;
    ASSERT_TRUE(selectItem(win.page(TAB_BUILTIN), IDC_X_TREE, L"System", L"Disk Defragmentation"));
    ASSERT_TRUE(selectItem(win.page(TAB_CUSTOM), IDC_R_TREE, L"Household", L"Water the plants"));
    const wchar_t* names[NUM_TABS] = {L"builtin", L"reminders", L"updates", L"settings", L"about"};
    for (int tab = 0; tab < NUM_TABS; ++tab) {
        win.showTab(tab);
        pump(400);
        EXPECT_TRUE(saveScreenshot(shot(names[tab])));
    }
    win.showTab(TAB_CUSTOM);
    pump(200);
    HWND page = win.page(TAB_CUSTOM);
    struct Dialog {
        int button;
        const wchar_t* name;
    } dialogs[] = {{IDC_R_RENAME, L"rename"}, {IDC_R_EDITCMD, L"command"}, {IDC_R_NEWGROUP, L"newgroup"},
                   {IDC_R_CHGROUP, L"selgroup"}};
    for (const Dialog& d : dialogs) {
        ModalScript answers(GetCurrentThreadId(), {photograph(d.name)});
        click(page, d.button);
        EXPECT_EQ(1u, answers.result().size()) << d.name;
    }
    ModalScript question(GetCurrentThreadId(), {photograph(L"delete-question", IDNO)});
    click(page, IDC_R_DELREM);
    EXPECT_EQ(1u, question.result().size());

    std::wstring file = artifactsFolder() + L"\\manager-sample.tlm";
    writeFile(file, utf16(L"Sample,1,t,3,05-03-2026_09-30-00,1, , ,Default\r\n"));
    ModalScript import(GetCurrentThreadId(), {photograph(L"import-type", IDCANCEL)});
    importReminders(file.c_str());
    EXPECT_EQ(1u, import.result().size());
    DeleteFileW(file.c_str());
}

// The five pages as a German user sees them.
TEST(ManagerScreens, EveryPageInGerman) {
    prepareStore();
    setUserDword(L"Language", 0);
    storeReminder({L"Defrag", false, nowPlusMinutes(24 * 60), FREQ_MONTHLY, true, L":defrag", L"&Ausf\u00fchren",
                   nullptr, L"Defragmentieren Sie Ihre Festplatten."});
    {
        MainWindow win;
        const wchar_t* names[NUM_TABS] = {L"builtin", L"reminders", L"updates", L"settings", L"about"};
        for (int tab = 0; tab < NUM_TABS; ++tab) {
            win.showTab(tab);
            pump(400);
            EXPECT_TRUE(saveScreenshot(artifactsFolder() + L"\\manager-de-" + names[tab] + L".bmp"));
        }
        EXPECT_EQ(L"&Schlie\u00dfen", itemTextOf(mainDlg, IDC_CLOSE));
    }
    setUserDword(L"Language", 1);
}
