// The real Tolva-setup.exe and its uninstaller under Wine, run as the updater and an administrator
// run them. Wine's reg.exe, not this program, reads back what they left in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common.h"
#include "fixture.h"
#include "reminders.h"
#include "setup_support.h"

namespace {

const std::wstring VERSION = L"" TOLVA_VERSION;
const std::wstring MACHINE_KEY = L"HKLM\\" TOLVA_KEY;
const std::wstring USER_KEY = L"HKCU\\" TOLVA_KEY;
const wchar_t UNINSTALL_PATH[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolva";
const std::wstring UNINSTALL_KEY = std::wstring(L"HKLM\\") + UNINSTALL_PATH;
const wchar_t RUN_PATH[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring RUN_KEY = std::wstring(L"HKCU\\") + RUN_PATH;
const std::wstring FILE_TYPE_KEY = L"HKCU\\Software\\Classes\\.tlm";
const std::wstring PROGID_KEY = L"HKCU\\Software\\Classes\\TolvaReminders";

const wchar_t* const DELIVERABLES[] = {L"Tolva.exe",        L"manager.exe", L"reminders.dll",
                                       L"TolvaUpdater.exe", L"update.dll",  L"Datemark.exe"};

// What an installation holds, relative to its folder: bin\'s deliverables, licence, help file
// (once the build makes one) and language files.
std::vector<std::wstring> installedFiles() {
    std::vector<std::wstring> files(std::begin(DELIVERABLES), std::end(DELIVERABLES));
    files.push_back(L"EULA.txt");
    if (exists(buildBin() + L"\\Tolva.chm")) files.push_back(L"Tolva.chm");
    for (const std::wstring& name : filesIn(buildBin() + L"\\lang", L"*.lng"))
        files.push_back(L"lang\\" + name);
    return files;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

ULONGLONG ticks(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

// A REG_BINARY as reg.exe prints it (hex digits) back into bytes.
std::string hexBytes(const std::wstring& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// Creates the key when `name` is null, else also sets the REG_SZ value (L"": the default value).
void setString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value = L"") {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    if (name)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * 2));
    RegCloseKey(key);
}

// The language NSIS picks when nobody chooses: the system's, else the first the setup program
// carries (English).
std::wstring systemLanguageFile() {
    switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_GERMAN:
        return L"German";
    case LANG_SPANISH:
        return L"Spanish";
    case LANG_FRENCH:
        return L"French";
    case LANG_ITALIAN:
        return L"Italian";
    case LANG_DUTCH:
        return L"Dutch";
    case LANG_PORTUGUESE:
        return L"BrazilianPortuguese";
    default:
        return L"English";
    }
}

// Wine hands every Start-menu shortcut made in the prefix on to the host's desktop menus (its
// winemenubuilder); the tests' shortcuts stay in the prefix.
struct NoHostMenus : ::testing::Environment {
    static constexpr wchar_t KEY[] = L"Software\\Wine\\DllOverrides";
    void SetUp() override { setString(HKEY_CURRENT_USER, KEY, L"winemenubuilder.exe", L""); }
    void TearDown() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, KEY, L"winemenubuilder.exe"); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new NoHostMenus);

class Setup : public ::testing::Test {
  protected:
    std::wstring folder; // the installation folder, which the setup program creates

    void SetUp() override {
        forgetEverything();
        folder = makeTempFolder(L"setup") + L"\\Tolva";
    }

    void TearDown() override {
        if (exists(folder + L"\\uninstall.exe")) uninstall();
    }

    // No installation and a user who has never run the suite.
    static void forgetEverything() {
        removeMachineSettings();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, UNINSTALL_PATH);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, UNINSTALL_PATH);
        removeUserSettings();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_PATH, L"Tolva");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.tlm");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\.tlm");
        std::wstring menu = commonPrograms() + L"\\Tolva";
        for (const std::wstring& name : filesIn(menu, L"*"))
            DeleteFileW((menu + L"\\" + name).c_str());
        RemoveDirectoryW(menu.c_str());
    }

    DWORD install(const wchar_t* switches) {
        return runToEnd(setupProgram(), std::wstring(switches) + L" /D=" + folder, false);
    }
    DWORD uninstall() { return runToEnd(folder + L"\\uninstall.exe", L"/S", true); }

    // A user of the suite: settings, a reminder of their own (due long after this test), the
    // start at log-on and the reminder file association, as the notifier and the manager write them.
    void useTheSuite() {
        setUserDword(L"Language", 1);
        setUserDword(L"AutoUpdate", 0);
        setUserDword(L"DisplayDueDate", 0);
        setString(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Built-in\\System", L"", L"System");
        setString(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default", nullptr);
        SYSTEMTIME due{2099, 3, 0, 14, 9, 30, 0, 0};
        std::wstring name = L"Back up photos", text = L"Copy the photo folder to the backup disk.";
        Reminder* rem = createReminder(name.data(), TRUE, text.data(), FREQ_MONTHLY, &due, TRUE, nullptr,
                                       L"Go", L"notepad.exe", L"Default");
        ASSERT_NE(nullptr, rem);
        ASSERT_TRUE(saveReminder(rem));
        freeReminder(rem);
        setString(HKEY_CURRENT_USER, RUN_PATH, L"Tolva", folder + L"\\Tolva.exe");
        setString(HKEY_CURRENT_USER, L"Software\\Classes\\.tlm", L"", L"TolvaReminders");
        setString(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders\\shell\\open\\command", L"",
                  folder + L"\\manager.exe \"%1\"");
    }

    void expectInstalled(const std::wstring& language, const SYSTEMTIME& before) {
        SYSTEMTIME after;
        GetLocalTime(&after);
        ULONGLONG size = 0;
        for (const std::wstring& file : installedFiles()) {
            SCOPED_TRACE(file);
            std::string built = readFileBytes(buildBin() + L"\\" + file);
            EXPECT_FALSE(built.empty());
            EXPECT_TRUE(built == readFileBytes(folder + L"\\" + file));
            size += built.size();
        }
        size += readFileBytes(folder + L"\\uninstall.exe").size();
        EXPECT_TRUE(exists(folder + L"\\uninstall.exe"));

        struct Expected {
            std::wstring key;
            const wchar_t* name;
            const wchar_t* type;
            std::wstring data;
        };
        const std::wstring uninstaller = L"\"" + folder + L"\\uninstall.exe\"";
        const Expected values[] = {
            {MACHINE_KEY, L"InstallDir", L"REG_SZ", folder},
            {MACHINE_KEY, L"DefaultLanguage", L"REG_SZ", language},
            {MACHINE_KEY, L"CurrentVersion", L"REG_SZ", VERSION},
            {UNINSTALL_KEY, L"DisplayName", L"REG_SZ", L"Tolva"},
            {UNINSTALL_KEY, L"DisplayVersion", L"REG_SZ", VERSION},
            {UNINSTALL_KEY, L"Publisher", L"REG_SZ", L"Ondrel"},
            {UNINSTALL_KEY, L"DisplayIcon", L"REG_SZ", folder + L"\\Tolva.exe"},
            {UNINSTALL_KEY, L"UninstallString", L"REG_SZ", uninstaller},
            {UNINSTALL_KEY, L"QuietUninstallString", L"REG_SZ", uninstaller + L" /S"},
        };
        for (const Expected& e : values) {
            SCOPED_TRACE(e.name);
            RegValue v = regQuery(e.key, e.name);
            EXPECT_TRUE(v.found);
            EXPECT_EQ(e.type, v.type);
            EXPECT_EQ(e.data, v.data);
        }

        // What Add/Remove Programs shows as the size, in KiB.
        RegValue estimated = regQuery(UNINSTALL_KEY, L"EstimatedSize");
        EXPECT_EQ(L"REG_DWORD", estimated.type);
        ULONGLONG kib = estimated.found ? std::stoull(estimated.data, nullptr, 16) : 0;
        EXPECT_GE(kib * 1024 + 1024 * 8, size);
        EXPECT_LE(kib * 1024, size + 1024 * 8);

        // Datemark ran: the installation counts as up to date from now.
        RegValue stamp = regQuery(MACHINE_KEY, L"LastUpdate");
        EXPECT_EQ(L"REG_BINARY", stamp.type);
        std::string bytes = hexBytes(stamp.data);
        ASSERT_EQ(sizeof(SYSTEMTIME), bytes.size());
        SYSTEMTIME stamped;
        memcpy(&stamped, bytes.data(), sizeof stamped);
        EXPECT_GE(ticks(stamped) + 10000000, ticks(before));
        EXPECT_LE(ticks(stamped), ticks(after) + 10000000);

        std::set<std::wstring> targets, want = {folder + L"\\Tolva.exe", folder + L"\\manager.exe"};
        if (exists(buildBin() + L"\\Tolva.chm")) want.insert(folder + L"\\Tolva.chm");
        std::wstring menu = commonPrograms() + L"\\Tolva";
        for (const std::wstring& link : filesIn(menu, L"*.lnk"))
            targets.insert(shortcutTarget(menu + L"\\" + link));
        EXPECT_EQ(want, targets);
        EXPECT_TRUE(sameText(folder + L"\\Tolva.exe", shortcutTarget(menu + L"\\Tolva.lnk")));
        EXPECT_TRUE(sameText(folder + L"\\manager.exe", shortcutTarget(menu + L"\\Tolva Manager.lnk")));
    }

    void expectUninstalled() {
        for (const std::wstring& file : installedFiles())
            EXPECT_FALSE(exists(folder + L"\\" + file)) << file;
        EXPECT_FALSE(exists(folder));
        EXPECT_FALSE(exists(commonPrograms() + L"\\Tolva"));
        EXPECT_FALSE(regKeyExists(MACHINE_KEY));
        EXPECT_FALSE(regKeyExists(UNINSTALL_KEY));
        EXPECT_FALSE(regQuery(RUN_KEY, L"Tolva").found);
        EXPECT_FALSE(regKeyExists(PROGID_KEY));
    }
};

TEST_F(Setup, EitherSilentSwitchInstallsEverythingAndLeavesTheUserAlone) {
    for (const wchar_t* switches : {L"/S", L"/silent"}) {
        SCOPED_TRACE(switches);
        forgetEverything();
        SYSTEMTIME before;
        GetLocalTime(&before);
        ASSERT_EQ(0u, install(switches));
        expectInstalled(systemLanguageFile(), before);
        // Settings, reminders, the start at log-on and the file type are the notifier's and the
        // manager's to make, per user.
        EXPECT_FALSE(regKeyExists(USER_KEY));
        EXPECT_FALSE(regQuery(RUN_KEY, L"Tolva").found);
        EXPECT_FALSE(regKeyExists(FILE_TYPE_KEY));
        EXPECT_FALSE(regKeyExists(PROGID_KEY));
        ASSERT_EQ(0u, uninstall());
        expectUninstalled();
    }
}

TEST_F(Setup, UpgradeClosesTheRunningNotifierReplacesItsFilesAndKeepsTheUsersReminders) {
    ASSERT_EQ(0u, install(L"/S"));
    useTheSuite();
    // Chosen at the first installation, in any case.
    setString(HKEY_LOCAL_MACHINE, TOLVA_KEY, L"DefaultLanguage", L"dutch");
    // The old installation differs from the new one, and the running notifier holds Tolva.exe.
    writeFile(folder + L"\\Tolva.exe", readFileBytes(folder + L"\\Tolva.exe") + "an older build");
    writeFile(folder + L"\\lang\\English.lng", "stale");
    // Reminder files have been given to another program since.
    setString(HKEY_CURRENT_USER, L"Software\\Classes\\.tlm", L"", L"OtherProgram.File");
    const std::wstring userBefore = regDump(USER_KEY), runBefore = regDump(RUN_KEY),
                       typeBefore = regDump(FILE_TYPE_KEY), progidBefore = regDump(PROGID_KEY);
    ASSERT_NE(L"", userBefore);

    Process old(folder + L"\\Tolva.exe", L"");
    DWORD oldPid = 0;
    ASSERT_NE(nullptr, notifierWindow(&oldPid, 15000));
    ASSERT_EQ(old.pi.dwProcessId, oldPid);

    SYSTEMTIME before;
    GetLocalTime(&before);
    ASSERT_EQ(0u, install(L"/silent"));
    DWORD code = 99;
    EXPECT_TRUE(old.waitExit(0, &code)) << "the setup program ended before the notifier did";
    EXPECT_EQ(0u, code) << "the notifier was ended by force instead of by its Exit command";
    expectInstalled(L"Dutch", before);
    EXPECT_EQ(userBefore, regDump(USER_KEY));
    EXPECT_EQ(runBefore, regDump(RUN_KEY));
    EXPECT_EQ(typeBefore, regDump(FILE_TYPE_KEY));
    EXPECT_EQ(progidBefore, regDump(PROGID_KEY));

    // A silent upgrade (the updater's re-install) puts back the notifier it closed, from the new files.
    DWORD newPid = 0;
    ASSERT_NE(nullptr, notifierWindow(&newPid, 15000, oldPid));
    Process restarted(newPid);
    EXPECT_TRUE(sameText(folder + L"\\Tolva.exe", restarted.imagePath())) << restarted.imagePath();

    ASSERT_EQ(0u, uninstall());
    EXPECT_TRUE(restarted.waitExit(0)) << "the uninstaller ended before the notifier did";
    expectUninstalled();
    EXPECT_EQ(L"OtherProgram.File", regQuery(FILE_TYPE_KEY, nullptr).data);
    EXPECT_EQ(userBefore, regDump(USER_KEY));
}

TEST_F(Setup, SilentUninstallStopsTheNotifierAndRemovesAllButTheUsersReminders) {
    ASSERT_EQ(0u, install(L"/S"));
    useTheSuite();
    // What the updater leaves in the installation folder.
    writeFile(folder + L"\\update.log", "Update failed.\r\n");
    CreateDirectoryW((folder + L"\\~update-backup").c_str(), nullptr);
    writeFile(folder + L"\\~update-backup\\journal.txt", "F /Tolva.exe\n");
    const std::wstring userBefore = regDump(USER_KEY);

    Process notifier(folder + L"\\Tolva.exe", L"");
    ASSERT_NE(nullptr, notifierWindow(nullptr, 15000));
    ASSERT_EQ(0u, uninstall());
    DWORD code = 99;
    EXPECT_TRUE(notifier.waitExit(0, &code)) << "the uninstaller ended before the notifier did";
    EXPECT_EQ(0u, code);
    expectUninstalled();
    EXPECT_FALSE(regKeyExists(FILE_TYPE_KEY));
    EXPECT_EQ(userBefore, regDump(USER_KEY));
}

TEST_F(Setup, UninstallAsksBeforeDeletingTheRemindersWithNoAsTheDefault) {
    ASSERT_EQ(0u, install(L"/S"));
    useTheSuite();

    // The uninstaller hands over to a copy of itself, whose windows are answered here.
    Process first(folder + L"\\uninstall.exe", L"");
    ASSERT_TRUE(first.waitExit(30000));
    DWORD worker = 0;
    for (DWORD start = GetTickCount(); !worker && GetTickCount() - start < 10000; Sleep(50)) {
        std::vector<DWORD> children = processChildren(first.pi.dwProcessId);
        if (!children.empty()) worker = children.front();
    }
    ASSERT_NE(0u, worker);
    Process copy(worker);
    HWND wizard = dialogOf(worker, 20000);
    ASSERT_NE(nullptr, wizard);
    PostMessageW(wizard, WM_COMMAND, IDOK, 0); // the confirmation page's Uninstall

    HWND question = dialogOf(worker, 30000, wizard);
    ASSERT_NE(nullptr, question);
    EXPECT_NE(nullptr, GetDlgItem(question, IDYES));
    EXPECT_NE(nullptr, GetDlgItem(question, IDNO));
    // Enter, or a hasty click on the default button, keeps them.
    auto isDefault = [&](int id) {
        return (GetWindowLongW(GetDlgItem(question, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    EXPECT_TRUE(isDefault(IDNO));
    EXPECT_FALSE(isDefault(IDYES));
    PostMessageW(question, WM_COMMAND, IDYES, 0);

    // The last page waits for Close.
    for (DWORD start = GetTickCount(); !copy.waitExit(0) && GetTickCount() - start < 30000; Sleep(200))
        if (!regKeyExists(UNINSTALL_KEY)) PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(copy.waitExit(5000));
    expectUninstalled();
    EXPECT_FALSE(regKeyExists(USER_KEY));
}

// The wizard as a German user goes through it, page by page, photographed into build/artifacts.
TEST_F(Setup, TheWizardInGermanInstallsWhereItIsTold) {
    std::wstring shots = artifactsFolder();
    int shot = 0;
    auto photograph = [&] {
        Sleep(700);
        EXPECT_TRUE(saveScreenshot(shots + L"\\setup-de-" + std::to_wstring(++shot) + L".bmp"));
    };
    auto descendant = [](HWND parent, const wchar_t* cls, auto&& accept) -> HWND {
        struct Search {
            const wchar_t* cls;
            decltype(accept)& accept;
            HWND found;
        } search{cls, accept, nullptr};
        EnumChildWindows(
            parent,
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                wchar_t name[32] = L"";
                GetClassNameW(w, name, 32);
                if (_wcsicmp(name, s->cls) != 0 || !s->accept(w)) return TRUE;
                s->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    };
    Process setup(setupProgram(), L"");
    ASSERT_TRUE(setup.started());
    HWND chooser = dialogOf(setup.pi.dwProcessId, 30000);
    ASSERT_NE(nullptr, chooser);
    HWND languages = descendant(chooser, L"ComboBox", [](HWND) { return true; });
    ASSERT_NE(nullptr, languages);
    ASSERT_NE(CB_ERR, SendMessageW(languages, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Deutsch")));
    photograph();
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    HWND wizard = dialogOf(setup.pi.dwProcessId, 30000, chooser);
    ASSERT_NE(nullptr, wizard);
    // Next (1) page by page until the folder page, whose edit box takes the test's folder.
    HWND folderBox = nullptr;
    for (int page = 0; page < 5 && !folderBox; ++page) {
        photograph();
        folderBox = descendant(wizard, L"Edit", [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & ES_READONLY) == 0 && IsWindowVisible(w); });
        if (!folderBox) PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    }
    ASSERT_NE(nullptr, folderBox);
    SendMessageW(folderBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    // The finish page: installed, with the offer to start Tolva, which the test declines.
    HWND start = nullptr;
    for (DWORD begun = GetTickCount(); !start && GetTickCount() - begun < 120000; Sleep(200))
        if (exists(folder + L"\\uninstall.exe"))
            start = descendant(wizard, L"Button", [](HWND w) {
                return IsWindowVisible(w) && (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
            });
    ASSERT_NE(nullptr, start);
    photograph();
    SendMessageW(start, BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(setup.waitExit(30000));
    EXPECT_EQ(L"German", regQuery(MACHINE_KEY, L"DefaultLanguage").data);
    EXPECT_TRUE(sameText(folder, regQuery(MACHINE_KEY, L"InstallDir").data));
    DWORD pid = 0;
    EXPECT_EQ(nullptr, notifierWindow(&pid, 2000)) << "declined, so not started";
}

} // namespace
