// The download phase against the loopback server's published trees: only changed files come, each
// checked against its digest, from a mirror that tells the truth.
#include <gtest/gtest.h>

#include "fixture.h"
#include "update_test_support.h"
#include "updater.h"

namespace {

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        install = makeTempFolder(L"installed");
        copyTree(treesFolder() + L"\\install", install);
        installAt(install);
        CreateDirectoryW((install + L"\\lang").c_str(), nullptr);
        tempStore = makeTempFolder(L"store");
        CreateDirectoryW((tempStore + L"\\lang").c_str(), nullptr);
        udDll = LoadLibraryW(L"update.dll");
        ASSERT_TRUE(udDll);
        ASSERT_EQ(1, openLog(0));
    }
    void TearDown() override {
        deleteLog();
        if (udDll) FreeLibrary(udDll);
        udDll = nullptr;
        freeStringList(procs);
        procs = nullptr;
        deleteMachineValue(L"UpdateMirrors");
        installAt(exeFolder());
        restartTolva = 0;
    }
    Definition definitionOf(const wchar_t* tree) {
        std::wstring file = tempStore + L"\\..\\" + tree + L".def";
        CopyFileW((treesFolder() + L"\\www\\" + tree + L"\\program\\update.def").c_str(), file.c_str(), FALSE);
        Definition def;
        EXPECT_TRUE(readDefinition(file.c_str(), def));
        return def;
    }
    std::wstring log() {
        closeLog();
        std::string bytes = readWholeFile(install + L"\\update.log");
        openLog(0);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }
    bool inStore(const wchar_t* path) { return GetFileAttributesW((tempStore + path).c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::wstring install;
};

} // namespace

TEST_F(Download, OnlyTheChangedFilesComeAndMatchTheirDigests) {
    setMachineString(L"UpdateMirrors", serverHost() + L"/app");
    Definition def = definitionOf(L"app");
    ASSERT_EQ(1, downloadUpdateFiles(def));
    EXPECT_TRUE(inStore(L"\\Tolva.exe"));
    EXPECT_TRUE(inStore(L"\\lang\\English.lng"));
    for (const wchar_t* same : {L"\\manager.exe", L"\\TolvaUpdater.exe", L"\\update.dll", L"\\reminders.dll"})
        EXPECT_FALSE(inStore(same)) << same;
    EXPECT_EQ(readWholeFile(treesFolder() + L"\\www\\app\\Tolva.exe"), readWholeFile(tempStore + L"\\Tolva.exe"));
    EXPECT_EQ(0, restartTolva);
}

TEST_F(Download, ADefinitionChangedAfterSigningIsRefused) {
    std::string bytes = readWholeFile(treesFolder() + L"\\www\\app\\program\\update.def");
    size_t at = bytes.find("\r\n1.1.0\r\n");
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 9, "\r\n1.1.1\r\n");
    std::wstring file = tempStore + L"\\..\\changed.def";
    writeFile(file, bytes);
    Definition def;
    EXPECT_FALSE(readDefinition(file.c_str(), def));
    EXPECT_NE(std::wstring::npos, log().find(L"Update definition file refused (" + std::to_wstring(DEF_BAD_SIGNATURE) + L")"));
    EXPECT_FALSE(readDefinition((tempStore + L"\\..\\missing.def").c_str(), def));
}

TEST_F(Download, AMirrorThatHandsOverSomethingElseIsPassedOver) {
    // A mirror whose notifier is not the one the definition lists.
    std::wstring lying = treesFolder() + L"\\www\\lying-" + std::to_wstring(GetCurrentProcessId());
    copyTree(treesFolder() + L"\\www\\app", lying);
    writeFile(lying + L"\\Tolva.exe", "something else entirely");
    std::wstring name = lying.substr(lying.find_last_of(L'\\') + 1);
    Definition def = definitionOf(L"app");

    setMachineString(L"UpdateMirrors", serverHost() + L"/" + name);
    EXPECT_EQ(0, downloadUpdateFiles(def));
    EXPECT_FALSE(inStore(L"\\Tolva.exe"));
    std::wstring text = log();
    size_t first = text.find(L"Downloaded file does not match its digest.\r\n");
    ASSERT_NE(std::wstring::npos, first);
    EXPECT_NE(std::wstring::npos, text.find(L"Downloaded file does not match its digest.\r\n", first + 1));
    EXPECT_NE(std::wstring::npos, text.find(L"Mirrors exhausted.\r\n"));

    // With an honest mirror beside it, or a dead one, whichever comes first, the right file comes.
    for (const std::wstring& other : {serverHost() + L"/" + name, refusedHost()}) {
        setMachineString(L"UpdateMirrors", other + L";" + serverHost() + L"/app");
        EXPECT_EQ(1, downloadUpdateFiles(def));
        EXPECT_EQ(readWholeFile(treesFolder() + L"\\www\\app\\Tolva.exe"), readWholeFile(tempStore + L"\\Tolva.exe"));
        DeleteFileW((tempStore + L"\\Tolva.exe").c_str());
    }
}

TEST_F(Download, TheNotifierHoldingAChangedFileIsStoppedAndMarkedForRestart) {
    // A running program whose main module is the installed notifier.
    std::wstring notifier = install + L"\\Tolva.exe";
    ASSERT_TRUE(CopyFileW((exeFolder() + L"\\mutex_probe.exe").c_str(), notifier.c_str(), FALSE));
    std::wstring line = L"\"" + notifier + L"\" Tolva.DownloadTest 60000";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(notifier.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &si, &pi));
    Sleep(500);
    setMachineString(L"UpdateMirrors", serverHost() + L"/app");
    Definition def = definitionOf(L"app");
    EXPECT_EQ(1, downloadUpdateFiles(def));
    EXPECT_EQ(1, restartTolva);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 5000));
    EXPECT_EQ(nullptr, procs); // the notifier is never left to the running-programs dialog
    EXPECT_NE(std::wstring::npos, log().find(L"Tolva Restart flag set.\r\nAuto-killing Tolva.exe - Process successfully terminated.\r\n"));
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}
