// The real TolvaUpdater.exe in an installation made from the build, updating it from release 1.1.0
// on the loopback server.
#include <gtest/gtest.h>

#include "fixture.h"
#include "common.h"
#include "update_test_support.h"

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

// An installation of release 1.0.0 from the build, updating from `mirror`.
std::wstring installRelease(const std::wstring& trees, const wchar_t* mirror) {
    std::wstring install = makeTempFolder(L"installation");
    copyTree(trees + L"\\install", install);
    installAt(install);
    setMachineString(L"CurrentVersion", L"1.0.0");
    setMachineString(L"UpdateMirrors", serverHost() + L"/" + mirror);
    return install;
}

bool runUpdater(const std::wstring& install, DWORD timeoutMs) {
    std::wstring updater = install + L"\\TolvaUpdater.exe", command = L"\"" + updater + L"\" /silent";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION run{};
    if (!CreateProcessW(updater.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, install.c_str(), &si, &run))
        return false;
    bool ended = WaitForSingleObject(run.hProcess, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(run.hProcess);
    CloseHandle(run.hThread);
    return ended;
}

std::wstring currentVersion() {
    wchar_t version[32] = L"";
    DWORD size = sizeof version;
    RegGetValueW(HKEY_LOCAL_MACHINE, TOLVA_KEY, L"CurrentVersion", RRF_RT_REG_SZ, nullptr, version, &size);
    return version;
}

TEST(UpdaterProgram, AProgramUpdateReplacesExactlyThoseFilesAndRestartsTheNotifier) {
    std::wstring trees = fromUnix(RELEASE_TREES_UNIX);
    std::wstring install = installRelease(trees, L"release");
    // A user as after set-up, so the notifier starts quietly and holds reminders.dll.
    removeUserSettings();
    setUserDword(L"Language", 1);
    setUserDword(L"AutoUpdate", 0);
    createUserKey(L"Software\\Ondrel\\Tolva\\Reminders\\Custom\\Default");
    createUserKey(L"Software\\Ondrel\\Tolva\\Reminders\\Built-in");
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
    deleteMachineValue(L"UpdateMirrors");
    deleteMachineValue(L"CurrentVersion");
    installAt(exeFolder());
}

// The updater and its library changed: the installed updater hands over to a copy in %TEMP%, which
// replaces it and starts it again to apply the rest; three processes in turn.
TEST(UpdaterProgram, ASelfUpdateRunsThreeProcessesAndEndsAtTheNewRelease) {
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
    deleteMachineValue(L"UpdateMirrors");
    deleteMachineValue(L"CurrentVersion");
    installAt(exeFolder());
}
