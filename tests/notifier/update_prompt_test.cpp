// The automatic-update preference dialog, the update prompt and both update checks, with the
// stand-in update.dll of the tests' folder answering checkUpdates.
#include <gtest/gtest.h>

#include <string>

#include "Tolva.h"
#include "fixture.h"
#include "modal.h"
#include "ntf_support.h"

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : std::wstring();
}

std::wstring probeLog() { return testFolder() + L"\\probe.log"; }
std::wstring checkLog() { return testFolder() + L"\\checks.log"; }

std::wstring waitFor(const std::wstring& path, bool expectSome) {
    std::wstring lines;
    for (int i = 0; i < 100; ++i) {
        lines = readUtf8(path);
        if (expectSome && !lines.empty()) break;
        if (!expectSome && i >= 6) break;
        Sleep(50);
    }
    return lines;
}

// Settings as the case wants them, an installation folder holding the probe as the updater.
void arrange(int autoUpdate, int checkResult, bool updaterPresent) {
    prepareStore();
    if (autoUpdate == -1) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, TOLVA_KEY, 0, KEY_SET_VALUE, &key) == 0) {
            RegDeleteValueW(key, L"AutoUpdate");
            RegCloseKey(key);
        }
    } else {
        setUserDword(L"AutoUpdate", static_cast<DWORD>(autoUpdate));
    }
    std::wstring dir = makeTempFolder(L"install");
    CreateDirectoryW((dir + L"\\lang").c_str(), nullptr);
    CopyFileW((binFolder() + L"\\lang\\English.lng").c_str(), (dir + L"\\lang\\English.lng").c_str(), FALSE);
    if (updaterPresent)
        CopyFileW((testFolder() + L"\\probe.exe").c_str(), (dir + L"\\TolvaUpdater.exe").c_str(), FALSE);
    installAt(dir);
    SetEnvironmentVariableW(L"TOLVA_FAKE_CHECK", std::to_wstring(checkResult).c_str());
    SetEnvironmentVariableW(L"TOLVA_FAKE_LOG", checkLog().c_str());
    DeleteFileW(probeLog().c_str());
    DeleteFileW(checkLog().c_str());
}

} // namespace

TEST(AutoUpdateDialog, ReturnsTheChosenPreference) {
    prepareStore();
    struct Case {
        const char* what;
        int press;
        int select; // -1: leave the default
        INT_PTR expected;
    } const CASES[] = {
        {"default", IDOK, -1, 2}, {"never", IDOK, 0, 0}, {"ask", IDOK, 1, 1}, {"cancel", IDCANCEL, 1, -1},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        std::wstring entries[3];
        int initial = -2;
        ModalScript script(GetCurrentThreadId(),
                           {{c.press, [&, select = c.select](HWND dlg) {
                                 initial = static_cast<int>(SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_GETCURSEL, 0, 0));
                                 for (int i = 0; i < 3; ++i) {
                                     wchar_t buf[256] = L"";
                                     SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
                                     entries[i] = buf;
                                 }
                                 if (select >= 0) SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_SETCURSEL, select, 0);
                             }}});
        INT_PTR result = DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_AUTOUPDATE), nullptr, AUProc, 0);
        const auto& windows = script.result();
        EXPECT_EQ(result, c.expected);
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(windows[0].caption, text(IDS_AU_CAPTION));
        EXPECT_EQ(windows[0].text, text(IDS_AU_QUESTION));
        ASSERT_TRUE(windows[0].button(IDOK) && windows[0].button(IDCANCEL));
        EXPECT_EQ(windows[0].button(IDOK)->caption, text(IDS_BTN_OK));
        EXPECT_EQ(windows[0].button(IDCANCEL)->caption, text(IDS_BTN_CANCEL));
        EXPECT_EQ(initial, 2);
        EXPECT_EQ(entries[0], text(IDS_AU_NEVER));
        EXPECT_EQ(entries[1], text(IDS_AU_ASK));
        EXPECT_EQ(entries[2], text(IDS_AU_AUTOMATIC));
    }
}

// The automatic check: the preference decides whether to ask, whether to start the updater
// silently, or not to look at all; failures of a silent run stay silent.
TEST(UpdateCheck, FollowsThePreference) {
    struct Case {
        const char* what;
        int autoUpdate, checkResult;
        bool updaterPresent;
        bool checked;
        int promptAnswer;  // 0: no prompt expected
        std::wstring updaterArgs; // L"-": not started
        bool errorShown;
    } const CASES[] = {
        {"preference missing", -1, 2, true, false, 0, L"-", false},
        {"never", 0, 2, true, false, 0, L"-", false},
        {"silent, update", 2, 2, true, true, 0, L"/silent", false},
        {"silent, updater update", 2, 1, true, true, 0, L"/silent", false},
        {"silent, nothing new", 2, 0, true, true, 0, L"-", false},
        {"silent, check failed", 2, -1, true, true, 0, L"-", false},
        {"silent, updater missing", 2, 2, false, true, 0, L"-", false},
        {"ask, install", 1, 3, true, true, IDC_INSTALL, L"", false},
        {"ask, later", 1, 2, true, true, IDC_UPDATE_LATER, L"-", false},
        {"ask, install, updater missing", 1, 2, false, true, IDC_INSTALL, L"-", true},
        {"other value", 7, 2, true, true, 0, L"", false},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        arrange(c.autoUpdate, c.checkResult, c.updaterPresent);
        std::vector<ModalStep> steps;
        if (c.promptAnswer) steps.push_back({c.promptAnswer});
        if (c.errorShown) steps.push_back({IDOK});
        if (steps.empty()) steps.push_back({IDOK}); // catches any window that should not be there
        ModalScript script(GetCurrentThreadId(), steps, c.promptAnswer || c.errorShown ? 15000 : 1500);
        updateCheck();
        const auto& windows = script.result();

        EXPECT_EQ(waitFor(checkLog(), c.checked), c.checked ? L"1,0\n" : L"");
        size_t expectedWindows = (c.promptAnswer ? 1 : 0) + (c.errorShown ? 1 : 0);
        ASSERT_EQ(windows.size(), expectedWindows);
        if (c.promptAnswer) {
            EXPECT_EQ(windows[0].text, text(IDS_UPDATES_FOUND));
            ASSERT_TRUE(windows[0].button(IDC_INSTALL) && windows[0].button(IDC_UPDATE_LATER));
            EXPECT_EQ(windows[0].button(IDC_INSTALL)->caption, text(IDS_INSTALL_UPDATES));
            EXPECT_EQ(windows[0].button(IDC_UPDATE_LATER)->caption, text(IDS_REMIND_LATER));
        }
        if (c.errorShown) {
            EXPECT_EQ(windows.back().text.substr(0, text(IDS_NO_UPDATER).size()), text(IDS_NO_UPDATER));
        }
        bool started = c.updaterArgs != L"-";
        EXPECT_EQ(waitFor(probeLog(), started), started ? L"TolvaUpdater.exe|" + c.updaterArgs + L"\n" : L"");
    }
    installAt(binFolder());
}

TEST(UpdatePrompt, SlidesUpInTheCornerWithItsPicture) {
    prepareStore();
    RECT window{}, area{};
    SIZE picture{};
    ModalScript script(GetCurrentThreadId(), {{IDC_UPDATE_LATER, [&](HWND dlg) {
                                                   GetWindowRect(dlg, &window);
                                                   SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
                                                   auto bmp = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
                                                       dlg, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
                                                   BITMAP bm{};
                                                   if (bmp && GetObjectW(bmp, sizeof bm, &bm)) picture = {bm.bmWidth, bm.bmHeight};
                                               }}});
    INT_PTR result = DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_UPDATE), nullptr, UpdateProc, 0);
    script.result();
    EXPECT_EQ(result, IDC_UPDATE_LATER);
    EXPECT_EQ(window.right, area.right);
    EXPECT_EQ(window.bottom, area.bottom);
    EXPECT_EQ(picture.cx, window.right - window.left);
    EXPECT_EQ(picture.cy, window.bottom - window.top);
}

// The menu's check ignores the preference and reports what it found.
TEST(UpdateCheck, OnDemandReportsEveryOutcome) {
    struct Case {
        const char* what;
        int checkResult;
        bool libraryPresent;
        int messageText; // 0: no window at all
        int press;
        bool updaterStarted;
    } const CASES[] = {
        {"no updates", 0, true, IDS_NO_UPDATES, IDOK, false},
        {"check failed", -1, true, 0, IDOK, false},
        {"updates, yes", 2, true, IDS_UPDATES_FOUND, IDYES, true},
        {"updates, no", 1, true, IDS_UPDATES_FOUND, IDNO, false},
        {"library missing", 2, false, IDS_NO_UPDATE_DLL, IDOK, false},
    };
    std::wstring dll = testFolder() + L"\\update.dll", parked = testFolder() + L"\\update.dll.parked";
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        arrange(0, c.checkResult, true);
        if (!c.libraryPresent) {
            ASSERT_TRUE(MoveFileW(dll.c_str(), parked.c_str()));
        }
        ModalAnswer box(GetCurrentThreadId(), c.press, c.messageText ? 15000 : 1500);
        checkUpdatesNow();
        const ModalWindow& w = box.result();
        if (!c.libraryPresent) MoveFileW(parked.c_str(), dll.c_str());
        EXPECT_EQ(w.found, c.messageText != 0);
        if (c.messageText) {
            EXPECT_EQ(w.text.substr(0, text(c.messageText).size()), text(c.messageText));
        }
        if (c.messageText == IDS_UPDATES_FOUND) {
            EXPECT_EQ(w.caption, text(IDS_UPDATE_CAPTION));
        }
        EXPECT_EQ(waitFor(checkLog(), c.libraryPresent), c.libraryPresent ? L"0,0\n" : L"");
        EXPECT_EQ(waitFor(probeLog(), c.updaterStarted), c.updaterStarted ? L"TolvaUpdater.exe|\n" : L"");
    }
    installAt(binFolder());
}
