// The update definition's reader, the path rule, versions and mirror lists: pure logic, no network.
#include "updcore.h"

#include "update_test_support.h"

#include <gtest/gtest.h>

#include <fixture.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

std::string published(const char* tree) {
    return readWholeFile(treesFolder() + L"\\www\\" + std::wstring(tree, tree + strlen(tree)) +
                         L"\\program\\update.def");
}

DefStatus check(const std::string& bytes) {
    Definition def;
    return checkDefinition(bytes.data(), bytes.size(), def);
}

TEST(EntryPath, AcceptsOnlyPathsInsideTheInstallation) {
    struct Case {
        const char* path;
        bool asFile, asFolder;
    } cases[] = {
        {"/Tolva.exe", true, true},
        {"/lang/English.lng", true, true},
        {"/LANG/Deutsch.lng", true, true},
        {"/Tolva v2.chm", true, true},
        {"/help files/Tolva v2.chm", false, true},
        {"/a/b/c.exe", false, true}, // the temporary store has no such folder for files
        {"/", false, false},
        {"", false, false},
        {"Tolva.exe", false, false},
        {"/../Tolva.exe", false, false},
        {"/lang/../../x", false, false},
        {"/./x", false, false},
        {"/lang//x", false, false},
        {"/lang/", false, false},
        {"/C:/Windows/x.exe", false, false},
        {"/x.exe:stream", false, false},
        {"/lang\\x.lng", false, false},
        {"/x%TEMP%", false, false},
        {"/x?.exe", false, false},
        {"/trailing.", false, false},
        {"/trailing ", false, false},
        {"/ leading", false, false},
        {"/CON", false, false},
        {"/nul.txt", false, false},
        {"/lang/com1.lng", false, false},
        {"/COM10", true, true},
        {"/conx.txt", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.asFile, isSafeEntryPath(c.path, true)) << c.path;
        EXPECT_EQ(c.asFolder, isSafeEntryPath(c.path, false)) << c.path;
    }
}

TEST(Versions, ParseAndCompareNumerically) {
    for (const char* good : {"1", "1.0", "1.2.3.4", "0.0.0.0", "123456789.1"}) EXPECT_TRUE(isVersion(good)) << good;
    for (const char* bad : {"", ".", "1.", ".1", "1..2", "1.2.3.4.5", "1.a", "-1", "1 .2", "1234567890", "v1", "1,2"})
        EXPECT_FALSE(isVersion(bad)) << bad;
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {{"1.0", "1.0.0", 0}, {"1.10", "1.9", 1}, {"1.2", "1.10", -1}, {"2", "1.99.99", 1},
                 {"0.9.0", "1.0.0", -1}, {"999999999", "999999998.9", 1}, {"1.0.0.1", "1", 1}};
    for (const Case& c : cases) {
        int r = compareVersions(c.a, c.b);
        EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << c.a << " vs " << c.b;
        r = compareVersions(c.b, c.a);
        EXPECT_EQ(-c.sign, (r > 0) - (r < 0)) << c.b << " vs " << c.a;
    }
}

TEST(Base64, DecodesStrictly) {
    std::vector<unsigned char> out;
    ASSERT_TRUE(decodeBase64("TWFu", out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "Man");
    ASSERT_TRUE(decodeBase64("TWE=", out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "Ma");
    ASSERT_TRUE(decodeBase64("TQ==", out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "M");
    for (const char* bad : {"", "TWF", "TW=u", "T===", "TWFu\r\n", "TW u", "TWF*", "=TWF", "TQ==TWFu"})
        EXPECT_FALSE(decodeBase64(bad, out)) << bad;
}

TEST(Definition, PublishedDefinitionParsesAndVerifies) {
    std::string bytes = published("app");
    Definition def;
    ASSERT_EQ(DEF_OK, checkDefinition(bytes.data(), bytes.size(), def));
    EXPECT_EQ("0", def.minVersion);
    EXPECT_EQ("1.1.0", def.version);
    ASSERT_EQ(7u, def.entries.size());
    EXPECT_EQ("+d", def.entries[0].tag);
    EXPECT_EQ("/lang", def.entries[0].path);
    EXPECT_EQ("+f", def.entries[1].tag);
    EXPECT_EQ("/Tolva.exe", def.entries[1].path);
    EXPECT_EQ(32u, def.entries[1].digest.size());
    // The signature covers every line but its own.
    size_t line2 = bytes.find("\r\n") + 2, line3 = bytes.find("\r\n", line2) + 2;
    EXPECT_EQ(bytes.substr(0, line2) + bytes.substr(line3), def.signedBytes);
}

TEST(Definition, ReinstallCarriesTheSetupProgramsDigest) {
    std::string bytes = published("reinstall");
    Definition def;
    ASSERT_EQ(DEF_OK, checkDefinition(bytes.data(), bytes.size(), def));
    EXPECT_EQ("2.0", def.minVersion);
    const DefEntry* setup = nullptr;
    for (const DefEntry& e : def.entries)
        if (e.tag == "+s") setup = &e;
    ASSERT_NE(nullptr, setup);
    EXPECT_EQ("/Tolva-setup.exe", setup->path);
    char hex[33];
    ASSERT_TRUE(md5File((treesFolder() + L"\\www\\reinstall\\Tolva-setup.exe").c_str(), hex));
    EXPECT_EQ(std::string(hex), setup->digest);
}

TEST(Definition, AnyChangedByteBreaksTheSignature) {
    std::string bytes = published("app");
    size_t line2 = bytes.find("\r\n") + 2, line3 = bytes.find("\r\n", line2) + 2;
    // Flip one character in the header, the version and each entry: still well formed, not signed.
    for (size_t at : {size_t{0}, line3, bytes.find("+f/Tolva.exe:") + 13, bytes.size() - 3}) {
        std::string forged = bytes;
        char& c = forged[at];
        c = isdigit(c) ? (c == '0' ? '1' : '0') : (c == 'a' ? 'b' : (c == 'T' ? 'X' : 'a'));
        DefStatus status = check(forged);
        EXPECT_NE(DEF_OK, status) << "flipped offset " << at;
    }
    // A signature off by one bit.
    std::string forged = bytes;
    forged[line2 + 10] = forged[line2 + 10] == 'A' ? 'B' : 'A';
    EXPECT_EQ(DEF_BAD_SIGNATURE, check(forged));
}

TEST(Definition, HostileTreesAreRefused) {
    struct Case {
        const char* tree;
        DefStatus status;
    } cases[] = {
        {"tampered", DEF_BAD_SIGNATURE}, {"otherkey", DEF_BAD_SIGNATURE}, {"truncated", DEF_BAD_FORMAT},
        {"garbage", DEF_BAD_FORMAT},     {"huge", DEF_BAD_FORMAT},        {"overlong", DEF_BAD_FORMAT},
        {"dotdot", DEF_BAD_PATH},        {"dotdot2", DEF_BAD_PATH},       {"backslash", DEF_BAD_PATH},
        {"colon", DEF_BAD_PATH},         {"drive", DEF_BAD_PATH},         {"drivefile", DEF_BAD_ENTRY},         {"root", DEF_BAD_PATH},
        {"device", DEF_BAD_PATH},        {"deep", DEF_BAD_PATH},          {"shortdigest", DEF_BAD_ENTRY},
        {"unknown", DEF_BAD_ENTRY},      {"badversion", DEF_BAD_VERSION}, {"hugeversion", DEF_BAD_VERSION},
        {"badmin", DEF_BAD_VERSION},     {"setupdeep", DEF_BAD_PATH},     {"setupbare", DEF_BAD_ENTRY},
        {"setuptwice", DEF_BAD_ENTRY},
    };
    for (const Case& c : cases) EXPECT_EQ(c.status, check(published(c.tree))) << c.tree;
}

TEST(Definition, MalformedTextIsRefusedBeforeAnyCrypto) {
    std::string good = published("same");
    size_t line2 = good.find("\r\n") + 2;
    std::string sigLine = good.substr(line2, good.find("\r\n", line2) + 2 - line2);
    std::string head = "TOLVADEF 1 min=0\r\n" + sigLine;
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"only header", head},
        {"LF line ends", "TOLVADEF 1 min=0\n" + sigLine.substr(0, sigLine.size() - 2) + "\n1.0\n"},
        {"bare CR", head + "1.0\r"},
        {"no last line end", head + "1.0\r\n+d/lang"},
        {"overlong entry", head + "1.0\r\n-f/" + std::string(92, 'a') + "\r\n"},
        {"NUL byte", head + "1.0\r\n-f/a" + std::string(1, '\0') + "b\r\n"},
        {"non-ASCII", head + "1.0\r\n-f/caf\xc3\xa9.txt\r\n"},
        {"tab", head + "1.0\r\n-f/a\tb\r\n"},
        {"wrong tag", "TOLVADEF 2 min=0\r\n" + sigLine + "1.0\r\n"},
        {"no signature line", "TOLVADEF 1 min=0\r\n1.0\r\n-f/a\r\n"},
        {"short signature", "TOLVADEF 1 min=0\r\nSIG AAAA\r\n1.0\r\n"},
        {"signature with blank", "TOLVADEF 1 min=0\r\nSIG " + sigLine.substr(4, 40) + " " + sigLine.substr(45)},
        {"missing digest", head + "1.0\r\n+f/Tolva.exe\r\n"},
        {"digest not hex", head + "1.0\r\n+f/Tolva.exe:0123456789abcdef0123456789abcdeg\r\n"},
        {"digest too long", head + "1.0\r\n+f/Tolva.exe:0123456789abcdef0123456789abcdef0\r\n"},
        {"space before path", head + "1.0\r\n+f /Tolva.exe:0123456789abcdef0123456789abcdef\r\n"},
        {"tag alone", head + "1.0\r\n-f\r\n"},
    };
    for (const Case& c : cases) {
        Definition def;
        DefStatus status = parseDefinition(c.bytes.data(), c.bytes.size(), def);
        EXPECT_NE(DEF_OK, status) << c.what;
        EXPECT_NE(DEF_BAD_SIGNATURE, status) << c.what;
    }
    Definition def;
    EXPECT_EQ(DEF_BAD_FORMAT, parseDefinition(nullptr, 10, def));
}

// Generated damage to a signed definition: nothing but the untouched file verifies, and whatever
// merely parses holds only paths the updater may join to the installation folder.
TEST(Definition, DamagedDefinitionsNeverPass) {
    const std::string GOOD = published("app");
    std::mt19937 rng(1205);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    const std::string PIECES[] = {"..", "/", "\\", ":", "\r\n", "\n", "\r", "+f/", "-d/", "+s/", "CON", " ", "\0", "\xff"};
    for (int round = 0; round < 400; ++round) {
        std::string bytes = GOOD;
        for (int edits = 1 + int(pick(3)); edits > 0; --edits) {
            size_t at = pick(bytes.size() + 1);
            switch (pick(5)) {
            case 0: if (at < bytes.size()) bytes[at] = char(rng()); break;
            case 1: bytes.erase(at, pick(20)); break;
            case 2: bytes.insert(at, PIECES[pick(std::size(PIECES))]); break;
            case 3: bytes.insert(at, bytes.substr(at, pick(100))); break; // a line or part repeated
            default: bytes.resize(at); break;
            }
        }
        Definition def;
        DefStatus status = checkDefinition(bytes.data(), bytes.size(), def);
        if (bytes != GOOD) {
            ASSERT_NE(DEF_OK, status) << "round " << round;
        }
        if (parseDefinition(bytes.data(), bytes.size(), def) != DEF_OK) continue;
        for (const DefEntry& e : def.entries) {
            // Judged apart from the library's own rule: no climbing, no drive, no stream, no other separator.
            ASSERT_EQ('/', e.path[0]) << "round " << round;
            ASSERT_EQ(std::string::npos, e.path.find_first_of("\\:")) << "round " << round;
            for (size_t start = 1; start <= e.path.size();) {
                size_t end = std::min(e.path.find('/', start), e.path.size());
                std::string name = e.path.substr(start, end - start);
                ASSERT_TRUE(name != "" && name != "." && name != "..") << "round " << round << " " << e.path;
                start = end + 1;
            }
        }
    }
}

TEST(Mirrors, ListKeepsOnlyPlainHosts) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> hosts;
    } cases[] = {
        {L"a.example;b.example", {L"a.example", L"b.example"}},
        {L" a.example , b.example:8080\r\n127.0.0.1:81/trees/x ", {L"a.example", L"b.example:8080", L"127.0.0.1:81/trees/x"}},
        {L"http://a.example;b.example", {L"b.example"}},
        {L"a.example/../x;user@b.example;c\\d;e f", {L"e", L"f"}},
        {L"a.example/;/x;:80;[::1]:80", {L"[::1]:80"}},
        {L";;;", {}},
        {L"", {}},
        {nullptr, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.hosts, parseMirrorList(c.text)) << (c.text ? c.text : L"(null)");
    std::wstring overlong(5000, L'a');
    EXPECT_TRUE(parseMirrorList((overlong + L";ok.example").c_str()) == std::vector<std::wstring>{L"ok.example"});
}

} // namespace

// Our MD5 against Windows' own CNG, fed in uneven pieces, on lengths around the 64-byte block and its
// 56-byte padding boundary (the RFC's examples go through the md5 export in update_dll_tests).
TEST(Md5, MatchesWindowsPieceByPiece) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    ASSERT_TRUE(BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0)));
    std::string data(70000, '\0');
    unsigned seed = 7;
    for (char& ch : data) ch = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
    for (size_t length : {55, 56, 57, 63, 64, 65, 119, 120, 128, 4097, 70000}) {
        unsigned char raw[16];
        BCRYPT_HASH_HANDLE hash = nullptr;
        ASSERT_TRUE(BCRYPT_SUCCESS(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0)));
        BCryptHashData(hash, reinterpret_cast<PUCHAR>(data.data()), static_cast<ULONG>(length), 0);
        ASSERT_TRUE(BCRYPT_SUCCESS(BCryptFinishHash(hash, raw, 16, 0)));
        BCryptDestroyHash(hash);
        char expected[33];
        for (int i = 0; i < 16; ++i) snprintf(expected + 2 * i, 3, "%02x", raw[i]);
        char ours[33];
        Md5 m;
        md5Init(m);
        // Uneven pieces cross the block boundary at every offset.
        for (size_t at = 0, piece = 1; at < length; at += piece, piece = piece % 97 + 1)
            md5Update(m, data.data() + at, std::min(piece, length - at));
        md5Final(m, ours);
        EXPECT_STREQ(expected, ours) << length;
    }
    BCryptCloseAlgorithmProvider(alg, 0);
}
