// The real TolvaUpdater.exe in an installation made from the build, updating it from release 1.1.0
// on the loopback server.
#include <gtest/gtest.h>

#include "fixture.h"
#include "common.h"
#include "update_test_support.h"
#include "../../updater/resource.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <map>

namespace {

std::wstring fromUnix(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

std::map<std::wstring, std::string> contents(const std::wstring& folder, const std::wstring& rel = L"") {
    std::map<std::wstring, std::string> all;
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return all;
    do {
        std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            auto inner = contents(folder + L"\\" + name, rel + name + L"\\");
            all.insert(inner.begin(), inner.end());
        } else {
            all[rel + name] = readWholeFile(folder + L"\\" + name);
        }
    } while (FindNextFileW(h, &f));
    FindClose(h);
    return all;
}

DWORD processOf(const std::wstring& exe) {
    DWORD found = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
        HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID);
        if (!p) continue;
        wchar_t path[MAX_PATH * 2];
        DWORD n = MAX_PATH * 2;
        if (QueryFullProcessImageNameW(p, 0, path, &n) && _wcsicmp(path, exe.c_str()) == 0) found = e.th32ProcessID;
        CloseHandle(p);
    }
    CloseHandle(snap);
    return found;
}

void createUserKey(const wchar_t* path) {
    HKEY key;
    if (!RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) RegCloseKey(key);
}

} // namespace

// A user as after the first-run set-up, so the notifier and the manager start without questions.
void setUpUser() {
    removeUserSettings();
    setUserDword(L"Language", 1);
    setUserDword(L"AutoUpdate", 0);
    createUserKey(L"Software\\Ondrel\\Tolva\\Reminders\\Custom\\Default");
    createUserKey(L"Software\\Ondrel\\Tolva\\Reminders\\Built-in");
}

// An installation of release 1.0.0 from the build, updating from `mirror`.
std::wstring installRelease(const std::wstring& trees, const wchar_t* mirror) {
    std::wstring install = makeTempFolder(L"installation");
    copyTree(trees + L"\\install", install);
    installAt(install);
    setMachineString(L"CurrentVersion", L"1.0.0");
    setMachineString(L"UpdateMirrors", serverHost() + L"/" + mirror);
    return install;
}

// A program the test started, ended (killed if need be) when the test is done with it.
struct Started {
    PROCESS_INFORMATION pi{};
    Started(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
        std::wstring line = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
            pi = {};
    }
    Started(const Started&) = delete;
    ~Started() {
        if (!pi.hProcess) return;
        if (!ended(0)) TerminateProcess(pi.hProcess, 1), WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    explicit operator bool() const { return pi.hProcess != nullptr; }
    bool ended(DWORD ms = 120000) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
};

bool runUpdater(const std::wstring& install, DWORD timeoutMs, const wchar_t* arguments = L"/silent") {
    Started run(install + L"\\TolvaUpdater.exe", arguments, install);
    return run && run.ended(timeoutMs);
}

// A dialog or message box of process `pid` other than `skip`, once it shows; null after `ms`.
HWND dialogOf(DWORD pid, DWORD ms = 60000, HWND skip = nullptr) { return findWindowOf(pid, L"#32770", ms, skip); }

std::wstring listed(HWND dialog) {
    std::wstring all;
    HWND list = GetDlgItem(dialog, IDC_P_LIST);
    int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        all += item.c_str() + std::wstring(L"\n");
    }
    return all;
}

std::wstring updateLog(const std::wstring& install) {
    std::string bytes = readWholeFile(install + L"\\update.log");
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::wstring tempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::wstring currentVersion() {
    wchar_t version[32] = L"";
    DWORD size = sizeof version;
    RegGetValueW(HKEY_LOCAL_MACHINE, TOLVA_KEY, L"CurrentVersion", RRF_RT_REG_SZ, nullptr, version, &size);
    return version;
}

// Every test points the machine at a mirror and an installation of its own; none outlives it.
class UpdaterProgram : public ::testing::Test {
  protected:
    void TearDown() override {
        deleteMachineValue(L"UpdateMirrors");
        deleteMachineValue(L"CurrentVersion");
        installAt(exeFolder());
    }
};
class UpdaterFaults : public UpdaterProgram {};

// The installation file for file as `before`, but for the log that says what happened.
void expectUnchanged(const std::wstring& install, const std::map<std::wstring, std::string>& before,
                     const std::string& what) {
    auto after = contents(install);
    after.erase(L"update.log");
    EXPECT_TRUE(before == after) << what;
}

TEST_F(UpdaterProgram, AProgramUpdateReplacesExactlyThoseFilesAndRestartsTheNotifier) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring install = installRelease(trees, L"release");
    // The notifier starts quietly and holds reminders.dll.
    setUpUser();
    std::wstring notifier = install + L"\\Tolva.exe", line = L"\"" + notifier + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION tray{};
    ASSERT_TRUE(CreateProcessW(notifier.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, install.c_str(), &si, &tray));
    WaitForInputIdle(tray.hProcess, 10000);
    Sleep(1000);

    ASSERT_TRUE(runUpdater(install, 120000));

    std::map<std::wstring, std::string> expected = contents(trees + L"\\build-1.1"), actual = contents(install);
    EXPECT_EQ(0u, actual.count(L"update.log")) << (actual.count(L"update.log") ? "update.log left" : "");
    for (const auto& [name, bytes] : expected) EXPECT_TRUE(actual[name] == bytes) << name;
    EXPECT_EQ(0u, actual.count(L"legacy.txt"));
    EXPECT_EQ(expected.size(), actual.size());
    DWORD docs = GetFileAttributesW((install + L"\\docs").c_str());
    EXPECT_TRUE(docs != INVALID_FILE_ATTRIBUTES && (docs & FILE_ATTRIBUTE_DIRECTORY)) << "the release's new folder";
    EXPECT_EQ(L"1.1.0", currentVersion());
    SYSTEMTIME last{};
    DWORD size = sizeof last;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, TOLVA_KEY, L"LastUpdate", RRF_RT_REG_BINARY, nullptr, &last, &size));
    // The notifier was stopped for its library and started again.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(tray.hProcess, 0));
    DWORD again = processOf(notifier);
    EXPECT_NE(0u, again);
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, again)) {
        TerminateProcess(p, 0);
        WaitForSingleObject(p, 5000);
        CloseHandle(p);
    }
    CloseHandle(tray.hProcess);
    CloseHandle(tray.hThread);
}

// The updater and its library changed: the installed updater hands over to a copy in %TEMP%, which
// replaces it and starts it again to apply the rest; three processes in turn.
TEST_F(UpdaterProgram, ASelfUpdateRunsThreeProcessesAndEndsAtTheNewRelease) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring install = installRelease(trees, L"selfupdate");
    ASSERT_TRUE(runUpdater(install, 120000)); // the first: it starts the second and goes
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring second = std::wstring(temp) + L"TolvaUpdater.exe", installed = install + L"\\TolvaUpdater.exe";
    // The second and the third hold the updater's mutexes while they run.
    DWORD start = GetTickCount();
    auto running = [&] {
        for (const wchar_t* name : {L"Tolva Updater Main", L"Tolva Updater Install"})
            if (HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, name)) {
                CloseHandle(m);
                return true;
            }
        return processOf(second) || processOf(installed);
    };
    Sleep(500);
    while (running() && GetTickCount() - start < 120000) Sleep(200);
    EXPECT_FALSE(running());
    // One that hangs (waiting on a window nobody answers) must not outlive the test.
    for (const std::wstring& exe : {second, installed})
        if (DWORD pid = processOf(exe))
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
                TerminateProcess(p, 1);
                CloseHandle(p);
            }
    std::map<std::wstring, std::string> expected = contents(trees + L"\\build-self"), actual = contents(install);
    EXPECT_EQ(0u, actual.count(L"update.log")) << (actual.count(L"update.log") ? actual[L"update.log"].size() : 0);
    for (const auto& [name, bytes] : expected) EXPECT_TRUE(actual[name] == bytes) << name;
    EXPECT_EQ(L"1.1.0", currentVersion());
}

// Whatever goes wrong, the installation is what it was, file for file, and the log says why.
TEST_F(UpdaterFaults, LeaveTheInstallationAsItWasAndSayWhy) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring definition = tempFolder() + L"Tolva_update.def";
    struct Case {
        const wchar_t* mirror;
        const wchar_t* arguments;
        const wchar_t* logged;
        void (*before)(const std::wstring& trees, const std::wstring& install);
    } cases[] = {
        {L"release-tampered", L"/silent", L"Downloaded file does not match its digest.", nullptr},
        {L"release-forged", L"/silent", L"Error checking for updates.", nullptr},
        {L"fault/dies/release", L"/silent", L"Download failed (6 - ", nullptr},
        // Another program of the user's puts its own definition in %TEMP% for the "/force" run.
        {L"release", L"/force /silent", L"Update definition file refused (5).",
         [](const std::wstring&, const std::wstring&) {
             std::string forged = readWholeFile(treesFolder() + L"\\www\\release-forged\\program\\update.def");
             ASSERT_FALSE(forged.empty());
             writeFile(tempFolder() + L"Tolva_update.def", forged);
         }},
    };
    for (const Case& c : cases) {
        std::string what(c.mirror, c.mirror + wcslen(c.mirror));
        std::wstring install = installRelease(trees, c.mirror);
        auto before = contents(install);
        DeleteFileW(definition.c_str());
        if (c.before) c.before(trees, install);
        ASSERT_TRUE(runUpdater(install, 120000, c.arguments)) << what;
        std::wstring log = updateLog(install);
        EXPECT_NE(std::wstring::npos, log.find(c.logged)) << what << "\n" << std::string(log.begin(), log.end());
        expectUnchanged(install, before, what);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((install + L"\\docs").c_str())) << what;
        EXPECT_EQ(L"1.0.0", currentVersion()) << what;
    }
    DeleteFileW(definition.c_str());
}

// A destination that cannot be replaced half-way through: what was already copied goes back.
TEST_F(UpdaterFaults, ACopyThatFailsHalfWayIsUndone) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring install = installRelease(trees, L"release");
    auto before = contents(install);
    // Open without delete sharing: it can be neither moved aside nor overwritten. English.lng,
    // earlier in the definition, is replaced first and must come back.
    Handle locked(CreateFileW((install + L"\\manager.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, locked.h);
    ASSERT_TRUE(runUpdater(install, 120000));
    CloseHandle(locked.h);
    locked.h = nullptr;
    std::wstring log = updateLog(install);
    EXPECT_NE(std::wstring::npos, log.find(L"Copy failed (")) << std::string(log.begin(), log.end());
    EXPECT_NE(std::wstring::npos, log.find(L"Putting the previous files back."));
    expectUnchanged(install, before, "");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((install + L"\\docs").c_str()));
    EXPECT_EQ(L"1.0.0", currentVersion());
}

// A program of the user's holds reminders.dll: the updater lists it and does what the button says.
TEST_F(UpdaterProgram, RunningProgramsAreListedAndEachButtonDoesWhatItSays) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring holderExe = exeFolder() + L"\\module_holder.exe";
    enum { CANCEL, RETRY_THEN_GONE, TERMINATE } cases[] = {CANCEL, RETRY_THEN_GONE, TERMINATE};
    for (auto c : cases) {
        std::wstring install = installRelease(trees, L"release");
        auto before = contents(install);
        Started holder(holderExe, L"\"" + install + L"\\reminders.dll\" 120000", install);
        ASSERT_TRUE(holder) << c << " " << GetLastError();
        Sleep(500);
        Started updater(install + L"\\TolvaUpdater.exe", L"/silent", install);
        HWND dialog = dialogOf(updater.pi.dwProcessId);
        ASSERT_TRUE(dialog) << c;
        EXPECT_NE(std::wstring::npos, listed(dialog).find(holderExe)) << std::string(holderExe.begin(), holderExe.end());
        if (c == CANCEL) {
            PostMessageW(dialog, WM_COMMAND, IDC_P_CANCEL, 0);
            ASSERT_TRUE(updater.ended());
            EXPECT_FALSE(holder.ended(0)) << "left running";
            EXPECT_NE(std::wstring::npos, updateLog(install).find(L"Update aborted (running processes)."));
            expectUnchanged(install, before, "cancelled");
            EXPECT_EQ(L"1.0.0", currentVersion());
            continue;
        }
        if (c == RETRY_THEN_GONE) {
            // Still running: the question comes back. Closed meanwhile: the update goes on.
            PostMessageW(dialog, WM_COMMAND, IDC_P_RETRY, 0);
            Sleep(1500);
            dialog = dialogOf(updater.pi.dwProcessId);
            ASSERT_TRUE(dialog);
            TerminateProcess(holder.pi.hProcess, 0);
            ASSERT_TRUE(holder.ended(5000));
            PostMessageW(dialog, WM_COMMAND, IDC_P_RETRY, 0);
        } else {
            PostMessageW(dialog, WM_COMMAND, IDC_P_TERMINATE, 0);
        }
        ASSERT_TRUE(updater.ended()) << c;
        EXPECT_TRUE(holder.ended(5000)) << c;
        auto expected = contents(trees + L"\\build-1.1"), actual = contents(install);
        for (const auto& [name, bytes] : expected) EXPECT_TRUE(actual[name] == bytes) << c << " " << std::string(name.begin(), name.end());
        EXPECT_EQ(L"1.1.0", currentVersion()) << c;
    }
}

// Too old to update in place: the updater asks, even when silent, and starts only the setup
// program the signed definition names, with "/silent".
TEST_F(UpdaterProgram, AReinstallAsksAndStartsOnlyTheSignedSetupProgram) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring setup = tempFolder() + L"Tolva-setup.exe", ran = setup + L".ran";
    struct Case {
        const wchar_t* mirror;
        int answer;
        const wchar_t* logged;
        bool runs;
    } cases[] = {
        {L"setup", IDNO, L"Re-install required.\r\n", false},
        {L"setup", IDYES, L"Attempting to start installer.\r\n", true},
        {L"setup-tampered", IDYES, L"Downloaded file does not match its digest.\r\n", false},
    };
    for (const Case& c : cases) {
        std::string what = std::string(c.mirror, c.mirror + wcslen(c.mirror)) + " " + std::to_string(c.answer);
        std::wstring install = installRelease(trees, c.mirror);
        auto before = contents(install);
        DeleteFileW(ran.c_str());
        DeleteFileW(setup.c_str());
        Started updater(install + L"\\TolvaUpdater.exe", L"/silent", install);
        HWND box = dialogOf(updater.pi.dwProcessId);
        ASSERT_TRUE(box) << what;
        PostMessageW(box, WM_COMMAND, c.answer, 0);
        ASSERT_TRUE(updater.ended()) << what;
        std::wstring log = updateLog(install);
        EXPECT_NE(std::wstring::npos, log.find(L"Re-install required.\r\n")) << what;
        EXPECT_NE(std::wstring::npos, log.find(c.logged)) << what << "\n" << std::string(log.begin(), log.end());
        if (c.runs) {
            for (int i = 0; i < 100 && GetFileAttributesW(ran.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
            std::string line = readWholeFile(ran);
            std::wstring started(reinterpret_cast<const wchar_t*>(line.data()), line.size() / sizeof(wchar_t));
            EXPECT_NE(std::wstring::npos, started.find(L" /silent")) << what << std::string(started.begin(), started.end());
        } else {
            Sleep(1000);
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ran.c_str())) << what << ": started";
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(setup.c_str())) << what << ": left in %TEMP%";
        }
        // The setup program, not the updater, re-installs.
        expectUnchanged(install, before, what);
    }
    DeleteFileW(ran.c_str());
    DeleteFileW(setup.c_str());
}

// The manager's Check Now with the real library and updater: an update found, the user says Yes,
// the updater runs, and the page shows the new version; checked again, there is none.
TEST_F(UpdaterProgram, CheckNowInTheManagerRunsTheUpdaterAndShowsTheNewVersion) {
    constexpr int TAB_UPDATE = 2, IDC_TABS = 1020, IDC_U_CHECK = 1013, IDC_U_VERSION = 1000;
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring install = installRelease(trees, L"langonly");
    setUpUser();
    Started manager(install + L"\\manager.exe", L"", install);
    ASSERT_TRUE(manager);
    HWND main = dialogOf(manager.pi.dwProcessId, 20000);
    ASSERT_TRUE(main);
    HWND tabs = GetDlgItem(main, IDC_TABS);
    SendMessageW(tabs, TCM_SETCURFOCUS, TAB_UPDATE, 0);
    HWND page = nullptr;
    for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_U_CHECK)) page = child;
    ASSERT_TRUE(page);
    auto version = [&] {
        wchar_t text[64] = L"";
        GetDlgItemTextW(page, IDC_U_VERSION, text, 64);
        return std::wstring(text);
    };
    EXPECT_EQ(L"1.0.0", version());
    auto press = [](HWND dlg, int id) {
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    };
    press(page, IDC_U_CHECK);
    HWND question = dialogOf(manager.pi.dwProcessId, 30000, main);
    ASSERT_TRUE(question) << "update found: asked whether to install";
    press(question, IDYES);
    // The updater, not silent here, says when it is done; the page hears when it has gone.
    DWORD updater = 0;
    for (int i = 0; i < 200 && !(updater = processOf(install + L"\\TolvaUpdater.exe")); ++i) Sleep(50);
    ASSERT_NE(0u, updater);
    HWND done = dialogOf(updater, 60000);
    ASSERT_TRUE(done);
    press(done, IDOK);
    for (int i = 0; i < 300 && version() != L"1.1.0"; ++i) Sleep(100);
    EXPECT_EQ(L"1.1.0", version());
    EXPECT_EQ(L"1.1.0", currentVersion());
    EXPECT_TRUE(readWholeFile(install + L"\\lang\\English.lng") == readWholeFile(trees + L"\\build-lang\\lang\\English.lng"));

    press(page, IDC_U_CHECK);
    HWND none = dialogOf(manager.pi.dwProcessId, 30000, main);
    ASSERT_TRUE(none) << "no update: said so";
    EXPECT_EQ(nullptr, GetDlgItem(none, IDNO)) << "an information box, not a question";
    press(none, IDOK);
    PostMessageW(main, WM_CLOSE, 0, 0);
}

// The build's own setup program as a re-install: downloaded, verified, run with "/silent", and the
// installation it leaves is the build's again.
TEST_F(UpdaterProgram, AReinstallWithTheRealSetupProgramRepairsTheInstallation) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    if (GetFileAttributesW((treesFolder() + L"\\www\\setup-real\\Tolva-setup.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this build has no setup program";
    std::wstring install = installRelease(trees, L"setup-real");
    writeFile(install + L"\\manager.exe", "damaged");
    DeleteFileW((install + L"\\lang\\English.lng").c_str());
    std::wstring setup = tempFolder() + L"Tolva-setup.exe";
    DeleteFileW(setup.c_str());
    {
        Started updater(install + L"\\TolvaUpdater.exe", L"/silent", install);
        HWND box = dialogOf(updater.pi.dwProcessId);
        ASSERT_TRUE(box);
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        ASSERT_TRUE(updater.ended());
    }
    std::wstring log = updateLog(install);
    EXPECT_NE(std::wstring::npos, log.find(L"Attempting to start installer.\r\n")) << std::string(log.begin(), log.end());
    // The setup program runs on after the updater; wait until it has gone.
    for (int i = 0; i < 600 && !processOf(setup); ++i) Sleep(50);
    for (int i = 0; i < 1200 && processOf(setup); ++i) Sleep(100);
    EXPECT_EQ(0u, processOf(setup));
    std::wstring bin = exeFolder();
    for (const wchar_t* name : {L"manager.exe", L"lang\\English.lng", L"Tolva.exe", L"TolvaUpdater.exe"})
        EXPECT_TRUE(readWholeFile(install + L"\\" + name) == readWholeFile(bin + L"\\" + name))
            << std::string(name, name + wcslen(name));
    HeapText dir(getStringSetting(L"InstallDir"));
    ASSERT_TRUE(dir.get());
    EXPECT_EQ(0, _wcsicmp(install.c_str(), dir)) << "re-installed where it was";
}
