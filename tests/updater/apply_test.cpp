// Applying an update: all of it or none of it, and never outside the installation folder.
#include <gtest/gtest.h>

#include "fixture.h"
#include "update_test_support.h"
#include "updater.h"

#include <map>

namespace {

class Apply : public ::testing::Test {
  protected:
    void SetUp() override {
        install = makeTempFolder(L"target");
        copyTree(treesFolder() + L"\\install", install);
        installAt(install);
        tempStore = makeTempFolder(L"store");
        CreateDirectoryW((tempStore + L"\\lang").c_str(), nullptr);
        udDll = LoadLibraryW(L"update.dll");
        ASSERT_TRUE(udDll);
        md5x = updateProc<MD5>(udDll, "md5");
        ASSERT_EQ(1, openLog(0));
        before = digests();
    }
    void TearDown() override {
        deleteLog();
        md5x = nullptr;
        if (udDll) FreeLibrary(udDll);
        udDll = nullptr;
        installAt(exeFolder());
    }
    // Every file of the installation (the log and the backup aside) with its MD5.
    std::map<std::wstring, std::string> digests() {
        std::map<std::wstring, std::string> all;
        walk(install, L"", all);
        return all;
    }
    void walk(const std::wstring& folder, const std::wstring& rel, std::map<std::wstring, std::string>& all) {
        WIN32_FIND_DATAW f;
        HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            std::wstring name = f.cFileName;
            if (name == L"." || name == L".." || name == L"update.log" || name == L"~update-backup") continue;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                all[rel + name + L"\\"] = "folder";
                walk(folder + L"\\" + name, rel + name + L"\\", all);
            } else {
                char* d = md5x((folder + L"\\" + name).c_str());
                all[rel + name] = d;
                free(d);
            }
        } while (FindNextFileW(h, &f));
        FindClose(h);
    }
    // The store as the download phase leaves it for a published tree.
    Definition download(const wchar_t* tree) {
        std::string bytes = readWholeFile(treesFolder() + L"\\www\\" + tree + L"\\program\\update.def");
        Definition def;
        EXPECT_EQ(DEF_OK, checkDefinition(bytes.data(), bytes.size(), def));
        for (const DefEntry& e : def.entries)
            if (e.tag == "+f" && !doesMD5Match(entryPath(install, e.path).c_str(), e.digest.c_str()))
                CopyFileW(entryPath(treesFolder() + L"\\www\\" + tree, e.path).c_str(), entryPath(tempStore, e.path).c_str(), FALSE);
        return def;
    }
    std::wstring log() {
        closeLog();
        std::string bytes = readWholeFile(install + L"\\update.log");
        openLog(0);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }
    bool backupLeft() { return GetFileAttributesW((install + BACKUP_FOLDER).c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::wstring install;
    std::map<std::wstring, std::string> before;
};

} // namespace

TEST_F(Apply, AnUpdateReplacesExactlyWhatItLists) {
    Definition def = download(L"app");
    ASSERT_EQ(1, performUpdate(def, install.c_str()));
    dropBackup(install.c_str());
    EXPECT_FALSE(backupLeft());
    std::map<std::wstring, std::string> after = digests(), expected = before;
    for (const DefEntry& e : def.entries)
        if (e.tag == "+f") {
            std::wstring rel = entryPath(L"", e.path).substr(1);
            expected[rel] = e.digest;
        }
    EXPECT_EQ(expected, after);
    EXPECT_NE(before, after);
}

TEST_F(Apply, ACopyThatFailsHalfWayPutsEverythingBack) {
    Definition def = download(L"app");
    // A program holds the language file open and lets nobody move it.
    HANDLE held = CreateFileW((install + L"\\lang\\English.lng").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, performUpdate(def, install.c_str()));
    CloseHandle(held);
    EXPECT_EQ(before, digests());
    EXPECT_FALSE(backupLeft());
    std::wstring text = log();
    EXPECT_NE(std::wstring::npos, text.find(L"Putting the previous files back.\r\n")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"Restored ")) << text;
}

// Another program of the user's swaps a downloaded file in %TEMP% after its download was checked.
TEST_F(Apply, AFileChangedInTheStoreAfterItsCheckIsNeverInstalled) {
    Definition def = download(L"app");
    std::wstring swapped = entryPath(tempStore, "/lang/English.lng");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(swapped.c_str()));
    writeFile(swapped, "not what the release signed");
    EXPECT_EQ(0, performUpdate(def, install.c_str()));
    EXPECT_EQ(before, digests());
    EXPECT_FALSE(backupLeft());
    EXPECT_NE(std::wstring::npos, log().find(L"Downloaded file changed before it was copied (13).\r\n"));
}

TEST_F(Apply, AnUpdateKilledHalfWayIsUndoneByTheNextRun) {
    // As a killed run leaves it: the notifier moved aside and the new one copied, the rest untouched.
    std::wstring backup = install + BACKUP_FOLDER;
    ASSERT_TRUE(CreateDirectoryW(backup.c_str(), nullptr));
    writeFile(backup + L"\\journal.txt", "F /Tolva.exe\nN /new.dll\nC /plugins\nF /lang/English.lng\n");
    ASSERT_TRUE(MoveFileW((install + L"\\Tolva.exe").c_str(), (backup + L"\\Tolva.exe").c_str()));
    writeFile(install + L"\\Tolva.exe", "half of a new notifier");
    writeFile(install + L"\\new.dll", "new");
    CreateDirectoryW((install + L"\\plugins").c_str(), nullptr);
    EXPECT_EQ(1, undoUnfinishedUpdate(install.c_str()));
    EXPECT_EQ(before, digests());
    EXPECT_FALSE(backupLeft());
}

TEST_F(Apply, NothingOutsideTheInstallationIsTouched) {
    std::wstring outside = install + L"\\..\\outside-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    writeFile(outside, "not the updater's");
    Definition def = download(L"app");
    // Built by hand: the library's parser would refuse these paths before they got here.
    for (const char* path : {"/.", "/../outside.txt"}) {
        Definition bad = def;
        bad.entries.insert(bad.entries.begin(), DefEntry{"-d", path, ""});
        EXPECT_EQ(0, performUpdate(bad, install.c_str())) << path;
        EXPECT_EQ(before, digests()) << path;
    }
    EXPECT_EQ("not the updater's", readWholeFile(outside));
    EXPECT_NE(std::wstring::npos, log().find(L"Refused path outside the installation: /."));
    DeleteFileW(outside.c_str());
}
