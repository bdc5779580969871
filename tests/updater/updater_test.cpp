// The updater's log and its running-program check, driven without an update run.
#include <gtest/gtest.h>

#include "fixture.h"
#include "modal.h"
#include "updater.h"

#include <string>

namespace {

std::wstring textOf(const std::string& bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// A program that runs until it is stopped or its time is up: the test's stand-in for a suite program.
struct Running {
    PROCESS_INFORMATION pi{};
    std::wstring path;
    explicit Running(const std::wstring& exe) : path(exe) {
        std::wstring line = L"\"" + exe + L"\" Tolva.UpdaterTest.Running 60000";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
        WaitForInputIdle(pi.hProcess, 2000);
        Sleep(300);
    }
    ~Running() {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    bool ended(DWORD ms = 5000) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
};

class Updater : public ::testing::Test {
  protected:
    void SetUp() override {
        removeUserSettings();
        folder = makeTempFolder(L"install");
        // The language files stay the build's; the log goes to a folder of the test's own.
        installAt(folder);
        CreateDirectoryW((folder + L"\\lang").c_str(), nullptr);
        CopyFileW((exeFolder() + L"\\lang\\English.lng").c_str(), (folder + L"\\lang\\English.lng").c_str(), FALSE);
    }
    void TearDown() override {
        closeLog();
        freeStringList(procs);
        procs = nullptr;
        installAt(exeFolder());
    }
    std::wstring folder;
};

} // namespace

TEST_F(Updater, TwoFailedRunsLeaveOneLogWithTwoHeaders) {
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(1, openLog(1));
        logit(L"update.dll loaded.\r\n");
        logitii(L"Download failed (%d - %d).\r\n", 4, 404);
        closeLog();
    }
    std::string bytes = readFileBytes(folder + L"\\update.log");
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(std::string("\xFF\xFE", 2), bytes.substr(0, 2)); // no byte-order mark
    std::wstring text = textOf(bytes);
    size_t first = text.find(L"\r\n===================\r\n"), second = text.find(L"\r\n===================\r\n", 1);
    EXPECT_EQ(0u, first);
    EXPECT_NE(std::wstring::npos, second);
    EXPECT_NE(std::wstring::npos, text.find(L" \r\nUpdater Build Date: "));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n--------\r\nupdate.dll loaded.\r\nDownload failed (4 - 404).\r\n"));
    // An install run continues the log without a header of its own.
    ASSERT_EQ(1, openLog(0));
    logit(L"Updater install process started.\r\n");
    closeLog();
    EXPECT_EQ(textOf(bytes) + L"Updater install process started.\r\n", textOf(readFileBytes(folder + L"\\update.log")));
    deleteLog();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\update.log").c_str()));
    // Nothing is written, nor does anything fail, while no log is open.
    logit(L"dropped");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\update.log").c_str()));
}

TEST_F(Updater, RunningProgramsAreFoundCheckedAndStopped) {
    std::wstring probe = exeFolder() + L"\\mutex_probe.exe";
    Running first(probe), second(probe);
    HANDLE found = getProcHandle(probe.c_str());
    ASSERT_TRUE(found);
    // Of two copies the one latest in the process list is found.
    DWORD pid = GetProcessId(found);
    EXPECT_TRUE(pid == first.pi.dwProcessId || pid == second.pi.dwProcessId);
    // Waited on by the install run and after stopping the notifier: a wait must block, not fail.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(found, 0));
    CloseHandle(found);
    std::wstring upper = probe;
    for (wchar_t& c : upper) c = towupper(c);
    found = getProcHandle(upper.c_str());
    EXPECT_TRUE(found); // paths compare without regard to case
    CloseHandle(found);
    EXPECT_FALSE(getProcHandle((exeFolder() + L"\\nothing.exe").c_str()));

    // The test program has its own file loaded, as its main module.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int count = 0;
    wchar_t** holders = findLoadedModule(self, &count);
    ASSERT_EQ(1, count);
    EXPECT_EQ(0, _wcsicmp(self, holders[0]));
    free(holders[0]);
    free(holders);
    EXPECT_FALSE(findLoadedModule((exeFolder() + L"\\nothing.dll").c_str(), &count));
    EXPECT_EQ(0, count);

    procs = addString(procs, probe.c_str());
    procs = addString(procs, (exeFolder() + L"\\gone.exe").c_str());
    EXPECT_EQ(0, checkProcesses());
    EXPECT_TRUE(procs->string);         // still running
    EXPECT_FALSE(procs->next->string);  // ended: emptied in place
    ASSERT_EQ(1, openLog(0));
    killAll(); // one copy per entry
    closeLog();
    EXPECT_TRUE(first.ended(0) != second.ended(0));
    std::wstring log = textOf(readFileBytes(folder + L"\\update.log"));
    EXPECT_NE(std::wstring::npos, log.find(L"Terminating process: \"" + probe + L"\"\r\nProcess successfully terminated.\r\n"));
    killAll();
    EXPECT_TRUE(first.ended() && second.ended());
    EXPECT_EQ(1, checkProcesses());
}

TEST_F(Updater, TheProcessDialogListsThoseStillRunningAndEndsWithTheButton) {
    procs = addString(procs, L"C:\\Program Files\\Tolva\\manager.exe");
    procs = addString(procs, L"");
    procs = addString(procs, L"C:\\Other\\viewer.exe");
    struct Case {
        int press;
        INT_PTR result;
    } cases[] = {{IDC_P_RETRY, IDC_P_RETRY}, {IDC_P_TERMINATE, IDC_P_TERMINATE}, {IDC_P_CANCEL, IDC_P_CANCEL},
                 {IDCANCEL, IDC_P_CANCEL}};
    for (const Case& c : cases) {
        std::vector<std::wstring> listed;
        ModalScript answer(GetCurrentThreadId(), {{c.press, [&](HWND dlg) {
                                                       HWND list = GetDlgItem(dlg, IDC_P_LIST);
                                                       int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
                                                       for (int i = 0; i < n; ++i) {
                                                           wchar_t item[MAX_PATH] = L"";
                                                           SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
                                                           listed.push_back(item);
                                                       }
                                                   }}});
        INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                         ProcessDialogProc, 0);
        EXPECT_EQ(c.result, result) << c.press;
        ASSERT_EQ(1u, answer.result().size());
        const ModalWindow& w = answer.result()[0];
        HeapText caption(getString(0xA26)), retry(getString(0x509));
        EXPECT_EQ(std::wstring(caption), w.caption);
        ASSERT_TRUE(w.button(IDC_P_RETRY));
        EXPECT_EQ(std::wstring(retry), w.button(IDC_P_RETRY)->caption);
        EXPECT_EQ((std::vector<std::wstring>{L"C:\\Other\\viewer.exe", L"C:\\Program Files\\Tolva\\manager.exe"}), listed);
    }
}
