// The real Tolva.exe, started as a user would start it and answered through its own windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <map>
#include <string>

#include "fixture.h"
#include "modal.h"
#include "ntf_support.h"

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : std::wstring();
}

struct E2eEnvironment : ::testing::Environment {
    void SetUp() override {
        init(0x100);
        SetEnvironmentVariableW(L"TOLVA_PROBE_LOG", (testFolder() + L"\\probe.log").c_str());
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new E2eEnvironment);

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool readDword(const wchar_t* name, DWORD& value) {
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, TOLVA_KEY, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

std::wstring runValue() {
    wchar_t buf[MAX_PATH * 2] = L"";
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tolva",
                     RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"";
    return buf;
}

void freshUser() {
    removeUserSettings();
    installAt(binFolder());
    HKEY key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExW(key, L"DefaultLanguage", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"english"), 16);
    RegCloseKey(key);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tolva");
}

int countBuiltins(long long* minMinutes, long long* maxMinutes, const SYSTEMTIME& from) {
    int count = 0;
    *minMinutes = 1 << 30;
    *maxMinutes = -(1 << 30);
    StringList* groups = getGroups(FALSE);
    for (StringList* g = groups; g; g = g->next) {
        ReminderList* list = getReminders(FALSE, g->string);
        for (ReminderList* n = list; n; n = n->next) {
            ++count;
            long long m = minutesBetween(from, *n->reminder->nextDue);
            *minMinutes = std::min(*minMinutes, m);
            *maxMinutes = std::max(*maxMinutes, m);
            freeReminder(n->reminder);
        }
        freeReminderList(list);
    }
    freeStringList(groups);
    return count;
}

std::wstring shotPath(const wchar_t* name) { return artifactsFolder() + L"\\" + name; }

} // namespace

// First start for a new user: "No" writes nothing, Cancel in the preference dialog keeps only the
// language, OK builds the whole store and leaves the notifier running in the tray.
TEST(FirstRun, NoWritesNothing) {
    freshUser();
    Notifier tolva;
    ModalWindow question = answerWindowOf(tolva.pid(), IDNO);
    DWORD code = 1;
    EXPECT_TRUE(tolva.waitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(question.pressed);
    EXPECT_EQ(question.caption, L"Tolva");
    EXPECT_EQ(question.text, text(0x100));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, TOLVA_KEY));
    EXPECT_EQ(runValue(), L"");
}

TEST(FirstRun, CancelKeepsTheLanguageOnly) {
    freshUser();
    Notifier tolva;
    EXPECT_TRUE(answerWindowOf(tolva.pid(), IDYES).pressed);
    ModalWindow preference = answerWindowOf(tolva.pid(), IDCANCEL);
    ModalWindow cancelled = answerWindowOf(tolva.pid(), IDOK);
    DWORD code = 1;
    EXPECT_TRUE(tolva.waitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(preference.caption, text(0x115));
    EXPECT_EQ(cancelled.text, text(0x104));
    DWORD language = 99, autoUpdate = 99;
    EXPECT_TRUE(readDword(L"Language", language));
    EXPECT_EQ(language, 1u);
    EXPECT_FALSE(readDword(L"AutoUpdate", autoUpdate));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, REMINDERS_KEY));
}

TEST(FirstRun, OkStoresThePreferenceAndTheBuiltInReminders) {
    freshUser();
    Notifier tolva;
    SYSTEMTIME started = nowPlusMinutes(0);
    EXPECT_TRUE(answerWindowOf(tolva.pid(), IDYES).pressed);
    EXPECT_TRUE(answerWindowOf(tolva.pid(), IDOK).pressed);         // preference dialog, default entry
    ModalWindow detect = answerWindowOf(tolva.pid(), IDNO);         // look for security programs?
    ModalWindow selection = answerWindowOf(tolva.pid(), IDOK);      // reminder selection
    ModalWindow openManager = answerWindowOf(tolva.pid(), IDNO);
    EXPECT_TRUE(detect.pressed && selection.pressed && openManager.pressed);
    EXPECT_EQ(openManager.text, text(0x10C));

    EXPECT_TRUE(tolva.hiddenWindow());
    DWORD autoUpdate = 99, language = 99;
    EXPECT_TRUE(readDword(L"AutoUpdate", autoUpdate));
    EXPECT_EQ(autoUpdate, 2u);
    EXPECT_TRUE(readDword(L"Language", language));
    EXPECT_EQ(language, 1u);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default"));
    long long earliest, latest;
    EXPECT_EQ(countBuiltins(&earliest, &latest, started), 8);
    EXPECT_GE(earliest, 59);
    EXPECT_LE(latest, 62);
    EXPECT_EQ(runValue(), L"\"" + binFolder() + L"\\Tolva.exe\"");
    EXPECT_TRUE(tolva.exitFromMenu());
}

// A running notifier: one instance only, its icon survives an Explorer restart, its menu opens at
// the icon, and the first check shows the due reminders and stores the user's answers.
TEST(Running, ShowsDueRemindersAndStoresTheAnswers) {
    prepareStore(0);
    setUserDword(L"DisplayDueDate", 1);
    std::wstring log = testFolder() + L"\\probe.log";
    DeleteFileW(log.c_str());
    SYSTEMTIME due = nowPlusMinutes(-10);
    std::wstring launch = L"\"" + testFolder() + L"\\probe.exe\" from-tolva";
    storeReminder({.name = L"A Done", .due = due, .text = L"Empty the kitchen bin."});
    storeReminder({.name = L"B Launch", .due = due, .cmd = launch.c_str(), .yesText = L"Run it"});
    storeReminder({.name = L"C Later", .due = due});
    storeReminder({.name = L"D Inactive", .due = due, .active = false});
    storeReminder({.name = L"Defrag", .custom = false, .due = nowPlusMinutes(3 * 24 * 60), .frequency = FREQ_WEEKLY});

    Notifier tolva;
    HWND hidden = tolva.hiddenWindow();
    ASSERT_TRUE(hidden);

    {   // A second start, even asking for set-up, leaves at once and shows nothing.
        Notifier second(L"/reconfig");
        DWORD code = 1;
        EXPECT_TRUE(second.waitExit(10000, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_FALSE(findWindowOf(second.pid(), L"#32770", 300));
    }

    {   // Explorer restarted: the icon is gone until the notifier hears TaskbarCreated.
        NOTIFYICONDATAW probe{};
        probe.cbSize = sizeof probe;
        probe.hWnd = hidden;
        probe.uID = 42;
        probe.uFlags = NIF_TIP;
        wcscpy_s(probe.szTip, L"Tolva");
        EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
        EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &probe));
        EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
        SendMessageW(hidden, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
    }

    {   // Right-click on the icon opens the menu at the pointer.
        SetCursorPos(1180, 770);
        PostMessageW(hidden, WM_USER, 42, WM_RBUTTONDOWN);
        HWND menu = findWindowOf(tolva.pid(), L"#32768", 5000);
        ASSERT_TRUE(menu);
        Sleep(300);
        RECT r{};
        GetWindowRect(menu, &r);
        EXPECT_EQ(r.bottom, 770);
        EXPECT_GT(r.bottom - r.top, 80); // five entries and two separators
        EXPECT_TRUE(saveScreenshot(shotPath(L"notifier-tray-menu.bmp")));
        PostMessageW(hidden, WM_KEYDOWN, VK_ESCAPE, 0);
        for (int i = 0; i < 100 && IsWindowVisible(menu); ++i) Sleep(20);
        EXPECT_FALSE(IsWindowVisible(menu));
    }

    // The first check comes a minute after the start, with the time read at the start.
    const std::map<std::wstring, int> ANSWERS = {
        {L"A Done", 1004}, {L"B Launch", 1005}, {L"C Later", 1003}};
    std::vector<ModalWindow> seen;
    HWND previous = nullptr;
    for (size_t i = 0; i < ANSWERS.size(); ++i) {
        HWND popup = findWindowOf(tolva.pid(), L"#32770", i == 0 ? 90000 : 10000, previous);
        ASSERT_TRUE(popup) << "popup " << i;
        Sleep(800); // the slide-in
        ModalWindow w = readWindow(popup);
        if (i == 0) {
            EXPECT_TRUE(saveScreenshot(shotPath(L"notifier-popup.bmp")));
        }
        std::wstring name = w.text.substr(0, w.text.find(L'\n'));
        auto answer = ANSWERS.find(name);
        ASSERT_NE(answer, ANSWERS.end()) << "unexpected popup";
        seen.push_back(w);
        PostMessageW(popup, WM_COMMAND, answer->second, reinterpret_cast<LPARAM>(GetDlgItem(popup, answer->second)));
        for (int k = 0; k < 250 && IsWindow(popup); ++k) Sleep(20);
        previous = popup;
    }
    // Neither the inactive reminder nor the built-in one that is not due yet comes up.
    EXPECT_FALSE(findWindowOf(tolva.pid(), L"#32770", 2500, previous));

    wchar_t dueText[32];
    swprintf(dueText, 32, L"%02u/%02u/%u %02u:%02u", due.wDay, due.wMonth, due.wYear, due.wHour, due.wMinute);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, std::wstring(L"A Done\nEmpty the kitchen bin.\n") + dueText);
    EXPECT_EQ(seen[1].text.substr(0, 8), L"B Launch");
    ASSERT_TRUE(seen[1].button(1005));
    EXPECT_EQ(seen[1].button(1005)->caption, L"Run it");
    EXPECT_EQ(seen[2].text.substr(0, 7), L"C Later");

    SYSTEMTIME now = nowPlusMinutes(0);
    ReminderPtr done = loadReminder(L"A Done"), launched = loadReminder(L"B Launch"), later = loadReminder(L"C Later"),
                inactive = loadReminder(L"D Inactive");
    ASSERT_TRUE(done && launched && later && inactive);
    EXPECT_EQ(minutesBetween(due, *done->nextDue), 24 * 60);
    EXPECT_EQ(done->remindLater, nullptr);
    EXPECT_EQ(minutesBetween(due, *launched->nextDue), 24 * 60);
    ASSERT_NE(later->remindLater, nullptr);
    EXPECT_NEAR(static_cast<double>(minutesBetween(now, *later->remindLater)), 60.0, 2.0);
    EXPECT_EQ(minutesBetween(due, *later->nextDue), 0);
    EXPECT_EQ(minutesBetween(due, *inactive->nextDue), 0);
    EXPECT_FALSE(inactive->active);
    std::wstring probeSaid;
    for (int i = 0; i < 100 && probeSaid.empty(); ++i, Sleep(50)) probeSaid = readUtf8(log);
    EXPECT_EQ(probeSaid, L"probe.exe|from-tolva\n");

    EXPECT_TRUE(tolva.exitFromMenu());
}
