// The real manager.exe from the build's bin folder, installed (InstallDir) in a folder of its own
// whose Tolva.exe is the probe, so a first-run hand-over is seen without starting the notifier.
#include <gtest/gtest.h>

#include "fixture.h"
#include "mgr_support.h"

#include <shellapi.h>

#include <algorithm>

namespace {

std::wstring standIn() {
    std::wstring path = L"Z:";
    for (const char* p = MGR_TEST_BIN_UNIX; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

std::wstring probeLog() { return standIn() + L"\\probe.log"; }

// The real manager from the build's bin folder.
struct Manager {
    Program process;
    explicit Manager(const std::wstring& args = L"") : process(binFolder() + L"\\manager.exe", args) {}
    DWORD pid() const { return process.pid(); }
    bool waitExit(DWORD timeoutMs, DWORD* code = nullptr) const { return process.waitExit(timeoutMs, code); }
    HWND mainWindow(DWORD timeoutMs = 15000) const {
        DWORD start = GetTickCount();
        HWND skip = nullptr;
        do {
            HWND w = findWindowOf(pid(), L"#32770", 200, skip);
            wchar_t title[64] = L"";
            if (w) GetWindowTextW(w, title, 64);
            if (w && wcscmp(title, L"Tolva Manager") == 0) return w;
            if (w) skip = w;
        } while (GetTickCount() - start < timeoutMs);
        return nullptr;
    }
};

// Turns the real window to its Reminders page and selects the page's first reminder.
HWND showFirstReminder(HWND main) {
    HWND tabs = GetDlgItem(main, IDC_TABS);
    SendMessageW(tabs, TCM_SETCURFOCUS, TAB_CUSTOM, 0);
    HWND page = nullptr;
    for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_R_NEWREM)) page = child;
    if (!page) return nullptr;
    HWND tree = GetDlgItem(page, IDC_R_TREE);
    auto group = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(group)));
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return page;
}

// What typing into the text box does: the text changes and the page hears of it.
void typeIntoRealPanel(HWND page, const wchar_t* text) {
    HWND box = GetDlgItem(page, IDC_R_TEXT);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_R_TEXT, EN_CHANGE), reinterpret_cast<LPARAM>(box));
}

// Answers a box or dialog of `pid` other than `skip`.
ModalWindow answerOf(DWORD pid, HWND skip, int press) {
    ModalWindow w;
    HWND dlg = findWindowOf(pid, L"#32770", 15000, skip);
    if (!dlg) return w;
    Sleep(300);
    w = readWindow(dlg);
    HWND button = GetDlgItem(dlg, press);
    w.pressed = button && w.button(press);
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    DWORD start = GetTickCount();
    while (IsWindow(dlg) && GetTickCount() - start < 10000) Sleep(20);
    return w;
}

class ManagerProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        prepareStore();
        installAt(standIn());
        DeleteFileW(probeLog().c_str());
        SetEnvironmentVariableW(L"TOLVA_PROBE_LOG", probeLog().c_str());
    }
    void TearDown() override { installAt(binFolder()); }
};

} // namespace

TEST_F(ManagerProgram, WithoutAStoreItHandsTheSetUpToTheNotifier) {
    removeUserSettings();
    installAt(standIn());
    struct Case {
        const wchar_t* args;
        int answer;
        const wchar_t* started;
    } cases[] = {{L"", IDNO, L""}, {L"/about", IDYES, L"Tolva.exe|/reconfig\n"}};
    for (const Case& c : cases) {
        DeleteFileW(probeLog().c_str());
        Manager m(c.args);
        ModalWindow question = answerOf(m.pid(), nullptr, c.answer);
        EXPECT_TRUE(question.pressed) << c.args;
        EXPECT_EQ(lang(IDS_FIRST_RUN), question.text);
        EXPECT_EQ(L"Tolva", question.caption);
        DWORD code = 99;
        ASSERT_TRUE(m.waitExit(10000, &code));
        EXPECT_EQ(0u, code);
        Sleep(500); // the probe writes its line and exits
        EXPECT_EQ(c.started, readUtf8(probeLog())) << c.args;
    }
    // The notifier missing from the installation: its error box with the code, and still no window.
    std::wstring notifier = standIn() + L"\\Tolva.exe", away = notifier + L".away";
    ASSERT_TRUE(MoveFileW(notifier.c_str(), away.c_str()));
    Manager m;
    EXPECT_TRUE(answerOf(m.pid(), nullptr, IDYES).pressed);
    ModalWindow failure = answerOf(m.pid(), nullptr, IDOK);
    MoveFileW(away.c_str(), notifier.c_str());
    EXPECT_EQ(0u, failure.text.find(lang(IDS_NO_NOTIFIER))) << failure.text;
    EXPECT_NE(std::wstring::npos, failure.text.find(L": 2")) << failure.text;
    EXPECT_TRUE(m.waitExit(10000));
}

TEST_F(ManagerProgram, OneWindowAboutPageAndFilePathsWithoutAWindow) {
    Manager first(L"/AbOuT");
    HWND main = first.mainWindow();
    ASSERT_TRUE(main);
    HWND tabs = GetDlgItem(main, IDC_TABS);
    EXPECT_EQ(TAB_ABOUT, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));

    Manager second;
    DWORD code = 99;
    EXPECT_TRUE(second.waitExit(10000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(findWindowOf(second.pid(), L"#32770", 0));

    // A reminder file runs the import even while a window is open; a bad one gets its box only.
    struct Case {
        const wchar_t* args;
        int text;
    } cases[] = {{L"notes.txt", IDS_NOT_REMINDER_FILE},
                 {L"/reconfig", IDS_NOT_REMINDER_FILE},
                 {L"\"", IDS_NOT_REMINDER_FILE},
                 {L"\"C:\\nowhere\\missing.tlm\"", IDS_NO_OPEN_FILE},
                 {L"C:\\nowhere\\missing.tlm", IDS_NO_OPEN_FILE}};
    for (const Case& c : cases) {
        Manager import(c.args);
        ModalWindow box = answerOf(import.pid(), nullptr, IDOK);
        EXPECT_EQ(0u, box.text.find(lang(c.text))) << c.args << L": " << box.text;
        EXPECT_TRUE(import.waitExit(10000)) << c.args;
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.waitExit(10000, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(ManagerProgram, ClosingWithAnEditTypedIntoTheRealWindow) {
    storeCustom(L"Default", L"Plants", nowPlusMinutes(24 * 60), L"Water them");
    Manager m;
    HWND main = m.mainWindow();
    ASSERT_TRUE(main);
    HWND page = showFirstReminder(main);
    ASSERT_TRUE(page);
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(L"Plants", itemTextOf(page, IDC_R_NAME));
    typeIntoRealPanel(page, L"Water them on Sunday");

    PostMessageW(main, WM_CLOSE, 0, 0);
    ModalWindow cancel = answerOf(m.pid(), main, IDCANCEL);
    EXPECT_EQ(lang(IDS_UNSAVED_QUESTION), cancel.text);
    EXPECT_FALSE(m.waitExit(500));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(answerOf(m.pid(), main, IDYES).pressed);
    EXPECT_TRUE(m.waitExit(10000));
    EXPECT_STREQ(L"Water them on Sunday", storedCustom(L"Default", L"Plants")->reminderText);
}

namespace {

void pressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> input;
    for (WORD k : keys) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        input.push_back(i);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = *--it;
        i.ki.dwFlags = KEYEVENTF_KEYUP;
        input.push_back(i);
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

} // namespace

TEST_F(ManagerProgram, KeyboardShortcutsOfTheEditor) {
    storeCustom(L"Default", L"Plants", nowPlusMinutes(24 * 60), L"Water them");
    Manager m;
    HWND main = m.mainWindow();
    ASSERT_TRUE(main);
    HWND page = showFirstReminder(main);
    ASSERT_TRUE(page);
    HWND tree = GetDlgItem(page, IDC_R_TREE);
    typeIntoRealPanel(page, L"saved by Ctrl+S");

    SetForegroundWindow(main);
    Sleep(300);
    pressKeys({VK_CONTROL, 'S'});
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000 && wcscmp(storedCustom(L"Default", L"Plants")->reminderText, L"saved by Ctrl+S"))
        Sleep(100);
    EXPECT_STREQ(L"saved by Ctrl+S", storedCustom(L"Default", L"Plants")->reminderText);

    pressKeys({VK_CONTROL, 'N'});
    ModalWindow name = answerOf(m.pid(), main, IDCANCEL);
    EXPECT_EQ(lang(IDS_RENAME_TITLE), name.caption);

    // Escape goes through the closing question while an edit is unsaved.
    typeIntoRealPanel(page, L"not yet saved");
    PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 0);
    ModalWindow question = answerOf(m.pid(), main, IDCANCEL);
    EXPECT_EQ(lang(IDS_UNSAVED_QUESTION), question.text);
    EXPECT_FALSE(m.waitExit(500));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(answerOf(m.pid(), main, IDNO).pressed);
    EXPECT_TRUE(m.waitExit(10000));
    EXPECT_STREQ(L"saved by Ctrl+S", storedCustom(L"Default", L"Plants")->reminderText);
}

// The notifier's menu entries start this manager from the installation folder.
TEST(ManagerFromTheNotifier, MenuEntriesOpenTheEditorAndItsAboutPage) {
    prepareStore();
    Notifier tray;
    HWND hidden = tray.hiddenWindow();
    ASSERT_TRUE(hidden);
    struct Case {
        WPARAM command;
        int tab;
    } cases[] = {{1, TAB_BUILTIN}, {3, TAB_ABOUT}};
    for (const Case& c : cases) {
        PostMessageW(hidden, WM_COMMAND, c.command, 0);
        HWND main = nullptr;
        for (DWORD start = GetTickCount(); !main && GetTickCount() - start < 15000; Sleep(50))
            if (HWND w = FindWindowW(L"#32770", L"Tolva Manager"); w && IsWindowVisible(w)) main = w;
        ASSERT_TRUE(main) << c.command;
        EXPECT_EQ(c.tab, SendMessageW(GetDlgItem(main, IDC_TABS), TCM_GETCURSEL, 0, 0));
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 10000));
        CloseHandle(process);
    }
    EXPECT_TRUE(tray.exitFromMenu());
}

namespace {

HWND waitForDialog(const std::wstring& caption, DWORD timeoutMs = 20000) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
        if (HWND w = FindWindowW(L"#32770", caption.c_str()); w && IsWindowVisible(w)) return w;
    return nullptr;
}

void press(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    for (DWORD start = GetTickCount(); IsWindow(dlg) && GetTickCount() - start < 10000;) Sleep(20);
}

HWND pageWith(HWND main, int controlId) {
    HWND tabs = GetDlgItem(main, IDC_TABS);
    for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, controlId)) return child;
    return nullptr;
}

// The names on the real window's Reminders page, read the way a user sees them: one by one.
std::vector<std::wstring> namesOnPage(HWND page) {
    std::vector<std::wstring> names;
    HWND tree = GetDlgItem(page, IDC_R_TREE);
    auto next = [&](UINT how, HTREEITEM from) {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
    };
    for (HTREEITEM g = next(TVGN_ROOT, nullptr); g; g = next(TVGN_NEXT, g))
        for (HTREEITEM c = next(TVGN_CHILD, g); c; c = next(TVGN_NEXT, c)) {
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c));
            names.push_back(itemTextOf(page, IDC_R_NAME));
        }
    return names;
}

} // namespace

TEST_F(ManagerProgram, ADoubleClickedFileImportsBesideAnOpenWindow) {
    installAt(binFolder()); // the association starts the installed manager
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders");
    storeCustom(L"Default", L"Mine", nowPlusMinutes(24 * 60), L"stored");
    Manager window;
    HWND main = window.mainWindow();
    ASSERT_TRUE(main);
    HWND settings = pageWith(main, IDC_S_DUEDATE);
    ASSERT_TRUE(settings);
    HWND box = GetDlgItem(settings, IDC_S_ASSOC);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(settings, WM_COMMAND, MAKEWPARAM(IDC_S_ASSOC, BN_CLICKED), reinterpret_cast<LPARAM>(box));
    HWND page = showFirstReminder(main);
    ASSERT_TRUE(page);
    typeIntoRealPanel(page, L"edited in the window");

    // Wine 8 does not merge the user's classes into HKEY_CLASSES_ROOT as Windows does, so its shell
    // finds the association only machine-wide: the test copies there what the page wrote.
    wchar_t command[1024] = L"";
    DWORD size = sizeof command;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders\\shell\\open\\command",
                                          nullptr, RRF_RT_REG_SZ, nullptr, command, &size));
    EXPECT_EQ(L"\"" + binFolder() + L"\\manager.exe\" \"%1\"", command);
    auto machineText = [](const wchar_t* key, const wchar_t* text) {
        HKEY k;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr));
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>((wcslen(text) + 1) * 2));
        RegCloseKey(k);
    };
    machineText(L"Software\\Classes\\.tlm", L"TolvaReminders");
    machineText(L"Software\\Classes\\TolvaReminders\\shell\\open\\command", command);
    struct Cleanup {
        ~Cleanup() {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TolvaReminders");
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TolvaReminders");
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.tlm");
        }
    } cleanup;

    std::wstring file = makeTempFolder(L"shell") + L"\\From a friend.tlm";
    writeFile(file, utf16(L"Imported,1,Sent by a friend,5,01-04-2027_18-00-00,1, , ,Default\r\n"));
    auto rc = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(rc, 32);
    HWND type = waitForDialog(lang(0x2A7));
    ASSERT_TRUE(type);
    press(type, IDC_APPEND);
    HWND result = waitForDialog(lang(0xA00));
    ASSERT_TRUE(result);
    EXPECT_EQ(0u, readWindow(result).text.find(lang(0x221))) << readWindow(result).text;
    press(result, IDOK);
    ASSERT_TRUE(storedCustom(L"Default", L"Imported"));
    EXPECT_STREQ(L"Sent by a friend", storedCustom(L"Default", L"Imported")->reminderText);

    // The open window saves its own edit without undoing the import, and shows it after a reload.
    click(page, IDC_R_SAVE);
    EXPECT_STREQ(L"edited in the window", storedCustom(L"Default", L"Mine")->reminderText);
    ASSERT_TRUE(storedCustom(L"Default", L"Imported"));
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_R_UNDO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_R_UNDO)));
    EXPECT_TRUE(answerOf(window.pid(), main, IDYES).pressed);
    std::vector<std::wstring> names = namesOnPage(page);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"Imported", L"Mine"}), names);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.waitExit(10000));
}
