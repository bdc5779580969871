// update.dll through its export table, as the suite's programs use it, against the loopback server.
#include "update.h"
#include "updcore.h"

#include "update_test_support.h"

#include "common.h"
#include <fixture.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>

namespace {

struct Library {
    HMODULE module = LoadLibraryW(L"update.dll");
    OPENCON openCon = updateProc<OPENCON>(module, "openCon");
    DOWNLOADFILE downloadFile = updateProc<DOWNLOADFILE>(module, "downloadFile");
    CHECKUPDATES checkUpdates = updateProc<CHECKUPDATES>(module, "checkUpdates");
    SHUFFLEMIRRORS shuffleMirrors = updateProc<SHUFFLEMIRRORS>(module, "shuffleMirrors");
    MD5 md5 = updateProc<MD5>(module, "md5");
    DOWNLOADSIGNED downloadSigned = updateProc<DOWNLOADSIGNED>(module, "downloadSigned");
    ~Library() { if (module) FreeLibrary(module); }
};

Library& lib() {
    static Library library;
    return library;
}

std::string md5Of(const std::wstring& path) {
    char* text = lib().md5(path.c_str());
    std::string result = text ? text : "(null)";
    free(text);
    return result;
}

std::string pseudoRandom(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Everything in a folder but "." and "..": a failed download must leave no temporary file behind.
std::set<std::wstring> listing(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

struct Session {
    HINTERNET h = lib().openCon();
    ~Session() { if (h) InternetCloseHandle(h); }
};

TEST(Exports, AllBindByName) {
    ASSERT_NE(nullptr, lib().module);
    EXPECT_NE(nullptr, lib().downloadSigned);
    EXPECT_NE(nullptr, lib().openCon);
    EXPECT_NE(nullptr, lib().downloadFile);
    EXPECT_NE(nullptr, lib().checkUpdates);
    EXPECT_NE(nullptr, lib().shuffleMirrors);
    EXPECT_NE(nullptr, lib().md5);
}

TEST(Md5, RfcTestSuite) {
    // RFC 1321, appendix A.5.
    struct Case {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    std::wstring folder = makeTempFolder(L"md5");
    for (const Case& c : cases) {
        std::wstring path = folder + L"\\vector.txt";
        writeFile(path, c.text);
        EXPECT_EQ(c.digest, md5Of(path)) << '"' << c.text << '"';
    }
}

TEST(Md5, UnreadableFilesMatchNoDigest) {
    std::wstring folder = makeTempFolder(L"md5");
    for (const wchar_t* path : {L"", L"Z:\\no\\such\\file", L"C:\\windows\\no-such-file.dll"})
        EXPECT_EQ(MD5_UNREADABLE, md5Of(path)) << "path " << std::string(path, path + wcslen(path));
    EXPECT_EQ(MD5_UNREADABLE, md5Of(folder));
    char* text = lib().md5(nullptr);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ(MD5_UNREADABLE, text);
    free(text);
    // The placeholder is not hexadecimal, so no definition's digest can equal it.
    EXPECT_EQ(std::string::npos, std::string(MD5_UNREADABLE).find_first_of("0123456789abcdefABCDEF"));
}

TEST(Md5, FileHeldOpenForWritingIsStillHashed) {
    std::wstring path = makeTempFolder(L"md5") + L"\\held.bin";
    writeFile(path, "abc");
    HANDLE held = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5Of(path));
    CloseHandle(held);
}

class Download : public ::testing::Test {
protected:
    std::wstring www = treesFolder() + L"\\www\\dl";
    std::wstring folder = makeTempFolder(L"dl");
    std::wstring dest = folder + L"\\file.bin";
    std::string body = pseudoRandom(300 * 1024 + 17, 7);

    void SetUp() override {
        CreateDirectoryW(www.c_str(), nullptr);
        writeFile(www + L"\\file.bin", body);
    }
    std::wstring url(const std::wstring& path, const std::wstring& host = serverHost()) {
        return L"http://" + host + path;
    }
};

TEST_F(Download, CompleteFileLandsAtTheDestination) {
    Session s;
    ASSERT_NE(nullptr, s.h);
    struct Case {
        const wchar_t* path;
        const char* what;
    } cases[] = {{L"/dl/file.bin", "plain"},
                 {L"/fault/nolength/dl/file.bin", "ended by closing"},
                 {L"/fault/slow/dl/file.bin", "trickled"}};
    for (const Case& c : cases) {
        DeleteFileW(dest.c_str());
        EXPECT_EQ(DOWNLOAD_OK, lib().downloadFile(s.h, url(c.path).c_str(), dest.c_str(), 0)) << c.what;
        EXPECT_TRUE(readWholeFile(dest) == body) << c.what;
        EXPECT_EQ(std::set<std::wstring>{L"file.bin"}, listing(folder)) << c.what;
    }
    // A new download replaces the old file, also through a path written with '/' as the updater forms it.
    writeFile(dest, "old");
    std::wstring slashed = folder + L"/file.bin";
    EXPECT_EQ(DOWNLOAD_OK, lib().downloadFile(s.h, url(L"/dl/file.bin").c_str(), slashed.c_str(), 0));
    EXPECT_TRUE(readWholeFile(dest) == body);
}

TEST_F(Download, FailuresLeaveNoPartialFileAndKeepTheOldOne) {
    setMachineDword(L"UpdateTimeout", 1000); // a stalled server must cost one second, not thirty
    Session s;
    ASSERT_NE(nullptr, s.h);
    struct Case {
        std::wstring url;
        int result;
        const char* what;
    } cases[] = {
        {url(L"/dl/missing.bin"), DOWNLOAD_HTTP_STATUS, "missing file"},
        {url(L"/fault/404/dl/file.bin"), DOWNLOAD_HTTP_STATUS, "404"},
        {url(L"/fault/500/dl/file.bin"), DOWNLOAD_HTTP_STATUS, "500"},
        {url(L"/dl/file.bin", refusedHost()), DOWNLOAD_NO_RESPONSE, "connection refused"},
        {url(L"/fault/short/dl/file.bin"), DOWNLOAD_INCOMPLETE, "body cut short"},
        {url(L"/fault/stall/dl/file.bin"), DOWNLOAD_INCOMPLETE, "server stalls mid-body"},
        {url(L"/fault/mute/dl/file.bin"), DOWNLOAD_NO_RESPONSE, "server never answers"},
    };
    for (const Case& c : cases) {
        for (bool oldFile : {false, true}) {
            DeleteFileW(dest.c_str());
            if (oldFile) writeFile(dest, "previous download");
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(c.result, lib().downloadFile(s.h, c.url.c_str(), dest.c_str(), 0)) << c.what;
            auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_LT(seconds, 8.0) << c.what;
            if (oldFile) {
                EXPECT_EQ("previous download", readWholeFile(dest)) << c.what;
                EXPECT_EQ(std::set<std::wstring>{L"file.bin"}, listing(folder)) << c.what;
            } else {
                EXPECT_FALSE(exists(dest)) << c.what;
                EXPECT_TRUE(listing(folder).empty()) << c.what;
            }
        }
    }
    EXPECT_EQ(DOWNLOAD_HTTP_STATUS, lib().downloadFile(s.h, url(L"/dl/missing.bin").c_str(), dest.c_str(), 0));
    EXPECT_EQ(404u, GetLastError());
    removeMachineSettings();
}

TEST_F(Download, DestinationThatCannotBeCreatedIsResultThree) {
    Session s;
    ASSERT_NE(nullptr, s.h);
    std::wstring source = url(L"/dl/file.bin");
    std::wstring sub = folder + L"\\occupied";
    CreateDirectoryW(sub.c_str(), nullptr);
    for (const std::wstring& target : {folder + L"\\no such folder\\file.bin", sub}) {
        EXPECT_EQ(DOWNLOAD_CREATE_FAILED, lib().downloadFile(s.h, source.c_str(), target.c_str(), 0));
        EXPECT_EQ(std::set<std::wstring>{L"occupied"}, listing(folder));
        EXPECT_TRUE(listing(sub).empty());
    }
}

TEST_F(Download, HostileArgumentsAreRefusedWithoutTouchingTheNetworkOrDisk) {
    Session s;
    ASSERT_NE(nullptr, s.h);
    std::wstring good = url(L"/dl/file.bin");
    std::wstring longUrl = url(L"/" + std::wstring(5000, L'a'));
    struct Case {
        HINTERNET session;
        const wchar_t* url;
        const wchar_t* dest;
        const char* what;
    } cases[] = {
        {nullptr, good.c_str(), dest.c_str(), "null session"},
        {s.h, nullptr, dest.c_str(), "null url"},
        {s.h, good.c_str(), nullptr, "null destination"},
        {s.h, L"", dest.c_str(), "empty url"},
        {s.h, good.c_str(), L"", "empty destination"},
        {s.h, L"file:///C:/windows/win.ini", dest.c_str(), "file scheme"},
        {s.h, L"ftp://127.0.0.1/x", dest.c_str(), "ftp scheme"},
        {s.h, L"127.0.0.1/dl/file.bin", dest.c_str(), "no scheme"},
        {s.h, L"http://", dest.c_str(), "no host"},
        {s.h, (good + L" HTTP/1.1\r\nX: y").c_str(), dest.c_str(), "header injection"},
        {s.h, longUrl.c_str(), dest.c_str(), "overlong url"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DOWNLOAD_BAD_ARGUMENT, lib().downloadFile(c.session, c.url, c.dest, 0)) << c.what;
        EXPECT_TRUE(listing(folder).empty()) << c.what;
    }
}

// Only a file whose detached signature verifies with the release key reaches the destination;
// on any other answer an earlier copy there stays as it was.
TEST_F(Download, SignedFilesArriveOnlyWithTheirSignature) {
    Session s;
    ASSERT_NE(nullptr, s.h);
    const std::string NEWS = readWholeFile(treesFolder() + L"\\www\\signing\\good\\news.txt");
    ASSERT_FALSE(NEWS.empty());
    struct Case {
        const wchar_t* folder;
        int result;
        DWORD error; // the last error after a refusal
    } const CASES[] = {
        {L"good", DOWNLOAD_OK, 0},
        {L"bare", DOWNLOAD_OK, 0},
        {L"unsigned", DOWNLOAD_UNSIGNED, 404},
        {L"tampered", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"otherkey", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"garbage", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"zeros", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"short", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"trailing", DOWNLOAD_UNSIGNED, DWORD(NTE_BAD_SIGNATURE)},
        {L"huge", DOWNLOAD_UNSIGNED, DWORD(ERROR_FILE_TOO_LARGE)},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        writeFile(dest, "earlier news");
        std::wstring address = url(L"/signing/" + std::wstring(c.folder) + L"/news.txt");
        EXPECT_EQ(c.result, lib().downloadSigned(s.h, address.c_str(), dest.c_str(), 0));
        if (c.result == DOWNLOAD_OK) {
            EXPECT_TRUE(readWholeFile(dest) == NEWS);
        } else {
            EXPECT_EQ(c.error, GetLastError());
            EXPECT_EQ("earlier news", readWholeFile(dest));
        }
        EXPECT_EQ(std::set<std::wstring>{L"file.bin"}, listing(folder));
    }
    // The file's own failures stay what they are; so does a mirror that is down.
    EXPECT_EQ(DOWNLOAD_HTTP_STATUS, lib().downloadSigned(s.h, url(L"/signing/none/news.txt").c_str(), dest.c_str(), 0));
    EXPECT_EQ(DOWNLOAD_NO_RESPONSE,
              lib().downloadSigned(s.h, url(L"/signing/good/news.txt", refusedHost()).c_str(), dest.c_str(), 0));
    EXPECT_EQ(DOWNLOAD_BAD_ARGUMENT, lib().downloadSigned(s.h, url(L"/signing/good/news.txt").c_str(), nullptr, 0));
    EXPECT_EQ(DOWNLOAD_BAD_ARGUMENT, lib().downloadSigned(nullptr, url(L"/signing/good/news.txt").c_str(), dest.c_str(), 0));
}

// What the release tool publishes beside the definition verifies: the database and the news.
TEST_F(Download, PublishedDatabaseAndNewsAreSigned) {
    Session s;
    ASSERT_NE(nullptr, s.h);
    for (const wchar_t* path : {L"/app/development/database", L"/app/program/news.txt"}) {
        DeleteFileW(dest.c_str());
        EXPECT_EQ(DOWNLOAD_OK, lib().downloadSigned(s.h, url(path).c_str(), dest.c_str(), 0)) << path;
        std::wstring published = treesFolder() + L"\\www" + path;
        std::replace(published.begin(), published.end(), L'/', L'\\');
        EXPECT_TRUE(readWholeFile(dest) == readWholeFile(published)) << path;
    }
}

TEST_F(Download, LargeFileMatchesTheHostsMd5sum) {
    // 24 MiB and an odd tail, so the hash crosses many read blocks and ends mid-block.
    std::string big = pseudoRandom(24 * 1024 * 1024 + 37, 99);
    writeFile(www + L"\\big.bin", big);
    big.clear();
    Session s;
    ASSERT_NE(nullptr, s.h);
    std::wstring sum = folder + L"\\big.md5";
    ASSERT_EQ(DOWNLOAD_OK, lib().downloadFile(s.h, url(L"/__md5sum/dl/big.bin").c_str(), sum.c_str(), 0));
    std::string expected = readWholeFile(sum);
    ASSERT_EQ(32u, expected.size());
    EXPECT_EQ(expected, md5Of(www + L"\\big.bin"));
    std::wstring copy = folder + L"\\big.bin";
    ASSERT_EQ(DOWNLOAD_OK, lib().downloadFile(s.h, url(L"/dl/big.bin").c_str(), copy.c_str(), 0));
    EXPECT_EQ(expected, md5Of(copy));
    DeleteFileW((www + L"\\big.bin").c_str());
}

class MirrorSettings : public ::testing::Test {
protected:
    void TearDown() override { removeMachineSettings(); }
    std::vector<std::wstring> shuffled() {
        wchar_t** hosts = lib().shuffleMirrors();
        std::vector<std::wstring> result;
        if (!hosts) return result;
        for (wchar_t** p = hosts; *p; ++p) result.push_back(*p);
        free(hosts); // the entries live in the array's block
        return result;
    }
};

TEST_F(MirrorSettings, AdministratorListIsShuffledAndHasTwoEntries) {
    setMachineString(L"UpdateMirrors", L"a.example;b.example;c.example");
    std::set<std::vector<std::wstring>> orders;
    for (int i = 0; i < 60; ++i) {
        std::vector<std::wstring> hosts = shuffled();
        std::vector<std::wstring> sorted = hosts;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ((std::vector<std::wstring>{L"a.example", L"b.example", L"c.example"}), sorted);
        orders.insert(hosts);
    }
    EXPECT_GT(orders.size(), 3u); // six orders exist; sixty draws should show most of them

    setMachineString(L"UpdateMirrors", L"only.example:8080");
    EXPECT_EQ((std::vector<std::wstring>{L"only.example:8080", L"only.example:8080"}), shuffled());
}

TEST_F(MirrorSettings, MissingOrUselessListFallsBackToTheBuiltInMirrors) {
    removeMachineSettings();
    std::vector<std::wstring> builtIn = shuffled();
    ASSERT_GE(builtIn.size(), 2u);
    std::sort(builtIn.begin(), builtIn.end());
    for (const wchar_t* useless : {L"", L";;", L"http://evil.example/", L"..;b\\c;x@y;http://z"}) {
        setMachineString(L"UpdateMirrors", useless);
        std::vector<std::wstring> hosts = shuffled();
        std::sort(hosts.begin(), hosts.end());
        EXPECT_EQ(builtIn, hosts);
    }
}

// One installation, one mirror tree: what checkUpdates answers and what it leaves behind.
class Check : public MirrorSettings {
protected:
    std::wstring install = makeTempFolder(L"install");
    HeapText definitionFile{expand(L"%TEMP%\\Tolva_update.def")};

    void SetUp() override {
        copyTree(treesFolder() + L"\\install", install);
        setMachineString(L"InstallDir", install);
        setMachineString(L"CurrentVersion", L"1.0.0");
        DeleteFileW(definitionFile);
    }
    void TearDown() override {
        DeleteFileW(definitionFile);
        MirrorSettings::TearDown();
    }
    // A refused mirror beside the real one: whatever the shuffle, the check must get through.
    void serve(const std::wstring& tree) {
        setMachineString(L"UpdateMirrors", refusedHost() + L";" + serverHost() + L"/" + tree);
    }
};

// The updater's reader: 96-byte lines, lines 1 and 2 skipped, line 3 the version, then entries.
struct UpdaterView {
    bool linesFit = true;
    std::string version;
    std::vector<std::string> entries;
};

UpdaterView readAsUpdater(const std::wstring& path) {
    UpdaterView view;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return view;
    char line[96];
    for (int n = 1; fgets(line, sizeof line, f); ++n) {
        size_t len = strlen(line);
        if (len < 2 || line[len - 1] != '\n' || line[len - 2] != '\r') view.linesFit = false;
        std::string text(line, len >= 2 ? len - 2 : 0);
        if (n == 3) view.version = text;
        else if (n > 3 && !text.empty()) view.entries.push_back(text);
    }
    fclose(f);
    return view;
}

TEST_F(Check, AnswersForEachPublishedTree) {
    struct Case {
        const wchar_t* tree;
        const wchar_t* installed; // CurrentVersion, null for none
        int result;
    } cases[] = {
        {L"same", L"1.0.0", 0},
        {L"app", L"1.0.0", 2},
        {L"app", nullptr, 2},
        {L"updater", L"1.0.0", 1},
        {L"library", L"1.0.0", 1},
        {L"reinstall", L"1.0.0", 3},
        {L"reinstall", L"2.0", 2},
        {L"rollback", L"1.0.0", 0},   // an older release is not an update
        {L"rollback", nullptr, 2},    // without a version only the files can tell
        {L"app", L"1.1.0", 2},        // same version, damaged files: a repair
        {L"app", L"junk", 2},
        {L"remove", L"1.0.0", 0},     // the file to remove is not there
        {L"tampered", L"1.0.0", -1},
        {L"otherkey", L"1.0.0", -1},
        {L"dotdot", L"1.0.0", -1},
        {L"backslash", L"1.0.0", -1},
        {L"colon", L"1.0.0", -1},
        {L"drive", L"1.0.0", -1},
        {L"huge", L"1.0.0", -1},
        {L"garbage", L"1.0.0", -1},
        {L"no-such-tree", L"1.0.0", -1},
        {L"fault/short/app", L"1.0.0", -1},
    };
    for (const Case& c : cases) {
        std::string what(c.tree, c.tree + wcslen(c.tree));
        if (c.installed) setMachineString(L"CurrentVersion", c.installed);
        else deleteMachineValue(L"CurrentVersion");
        serve(c.tree);
        EXPECT_EQ(c.result, lib().checkUpdates(1, 0)) << what;
        EXPECT_FALSE(exists(definitionFile.get())) << what << ": no definition asked for";
        writeFile(definitionFile.get(), "stale definition");
        EXPECT_EQ(c.result, lib().checkUpdates(0, 1)) << what;
        EXPECT_EQ(c.result >= 1, exists(definitionFile.get())) << what;
        DeleteFileW(definitionFile);
    }
}

TEST_F(Check, RemovalOfAnInstalledFileIsAnUpdate) {
    writeFile(install + L"\\legacy.dll", "old");
    serve(L"remove");
    EXPECT_EQ(2, lib().checkUpdates(1, 0));
}

TEST_F(Check, LeftDefinitionIsWhatTheUpdaterExpects) {
    std::wstring mirror = treesFolder() + L"\\www\\app";
    serve(L"app");
    ASSERT_EQ(2, lib().checkUpdates(1, 1));
    std::string bytes = readWholeFile(definitionFile.get());
    EXPECT_TRUE(bytes == readWholeFile(mirror + L"\\program\\update.def")) << "left byte for byte as published";

    UpdaterView view = readAsUpdater(definitionFile.get());
    EXPECT_TRUE(view.linesFit);
    EXPECT_EQ("1.1.0", view.version);
    ASSERT_EQ(7u, view.entries.size());
    EXPECT_EQ("+d/lang", view.entries[0]);
    // Every "+f" names a file the mirror holds, with that file's digest, at the place the updater uses.
    int changed = 0;
    for (const std::string& entry : view.entries) {
        if (entry.compare(0, 2, "+f") != 0) continue;
        size_t colon = entry.find(':');
        ASSERT_NE(std::string::npos, colon) << entry;
        std::wstring path(entry.begin() + 2, entry.begin() + colon);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        EXPECT_EQ(entry.substr(colon + 1, 32), md5Of(mirror + path)) << entry;
        if (md5Of(install + path) != entry.substr(colon + 1, 32)) ++changed;
    }
    EXPECT_EQ(2, changed); // Tolva.exe and lang/English.lng
    // Lines 1 and 2 let the updater check the file again with the same key.
    Definition def;
    EXPECT_EQ(DEF_OK, checkDefinition(bytes.data(), bytes.size(), def));
}

TEST_F(Check, FailuresAnswerMinusOneAndLeaveNoDefinition) {
    serve(L"app");
    struct Case {
        const char* what;
        void (*arrange)(Check&);
    } cases[] = {
        {"no InstallDir", [](Check&) { deleteMachineValue(L"InstallDir"); }},
        {"every mirror refuses",
         [](Check&) { setMachineString(L"UpdateMirrors", refusedHost() + L";" + refusedHost()); }},
        {"every mirror answers 404",
         [](Check&) { setMachineString(L"UpdateMirrors", serverHost() + L"/fault/404;" + serverHost() + L"/none"); }},
    };
    for (const Case& c : cases) {
        SetUp();
        serve(L"app");
        c.arrange(*this);
        writeFile(definitionFile.get(), "stale definition");
        EXPECT_EQ(-1, lib().checkUpdates(0, 1)) << c.what;
        EXPECT_FALSE(exists(definitionFile.get())) << c.what;
    }
}

TEST_F(Check, UpdatedInstallationFindsNothingMore) {
    // Apply the release as the updater would, then ask again.
    std::wstring mirror = treesFolder() + L"\\www\\app";
    serve(L"app");
    ASSERT_EQ(2, lib().checkUpdates(1, 1));
    for (const std::string& entry : readAsUpdater(definitionFile.get()).entries) {
        if (entry.compare(0, 2, "+f") != 0) continue;
        std::wstring path(entry.begin() + 2, entry.begin() + entry.find(':'));
        std::replace(path.begin(), path.end(), L'/', L'\\');
        ASSERT_TRUE(CopyFileW((mirror + path).c_str(), (install + path).c_str(), FALSE));
    }
    setMachineString(L"CurrentVersion", L"1.1.0");
    EXPECT_EQ(0, lib().checkUpdates(1, 1));
    EXPECT_FALSE(exists(definitionFile.get()));
}

} // namespace
