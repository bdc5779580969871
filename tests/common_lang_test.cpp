#include "common.h"
#include "fixture.h"
#include "hostile.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// An installation folder of its own, with a language file of the test's making.
struct Lang : ::testing::Test {
    std::wstring folder;
    void SetUp() override {
        removeUserSettings();
        folder = makeTempFolder(L"lang");
        CreateDirectoryW((folder + L"\\lang").c_str(), nullptr);
        installAt(folder);
        init(0);
    }
    void TearDown() override {
        removeUserSettings();
        removeMachineSettings();
        init(0);
    }
    void writeLang(const wchar_t* language, const std::wstring& content) {
        writeFile(folder + L"\\lang\\" + language + L".lng", utf16(content));
    }
    static std::wstring lookup(int id) {
        HeapText text(getString(id));
        return text.get() ? std::wstring(text) : L"(null)";
    }
};

TEST_F(Lang, ShortIdsTakeTheProgramsBlock) {
    writeLang(L"English", L"c=bare\r\n10c=notifier\r\n20c=manager\r\n50c=updater\r\na05=shared\r\n");
    EXPECT_EQ(L"bare", lookup(0x0C)); // no block set, as in the reminders library
    init(0x100);
    EXPECT_EQ(L"notifier", lookup(0x0C));
    EXPECT_EQ(L"shared", lookup(0xA05));
    init(0x200);
    EXPECT_EQ(L"manager", lookup(0x0C));
    EXPECT_EQ(L"shared", lookup(0xA05));
    init(0x500);
    EXPECT_EQ(L"updater", lookup(0x0C));
    EXPECT_EQ(L"notifier", lookup(0x10C)); // full ids are used as they stand
}

TEST_F(Lang, EntryLinesAndTheirText) {
    struct Case {
        const wchar_t* line;
        int id;
        std::wstring full; // everything up to the terminating NUL, embedded NULs included
    } cases[] = {
        {L"10c=x\\cy", 0x10C, L"x,y"},
        {L"115= ", 0x115, L""},
        {L"230=A\\0B\\0", 0x230, std::wstring(L"A\0B\0", 4)},
        {L"10c=a\\qb", 0x10C, std::wstring(L"a\0b", 3)},
        {L"10c=tab\\there\\nand\\\\back\\r", 0x10C, L"tab\there\nand\\back\r"},
        {L"10c=a=b=c", 0x10C, L"a=b=c"},          // "=" inside the text
        {L"==10c=lead", 0x10C, L"lead"},          // leading "=" skipped
        {L"  0x10C=hex", 0x10C, L"hex"},          // white space and 0x before the id
        {L"10cjunk=rest", 0x10C, L"rest"},        // the number ends at the first non-hex character
        {L"10c", 0x10C, L""},                     // no text at all
        {L"10c=trailing\\", 0x10C, L"trailing"},  // a last lone backslash is dropped
        {L"10c=\x00e9t\x00e9", 0x10C, L"\x00e9t\x00e9"},
    };
    for (const auto& c : cases) {
        writeLang(L"English", std::wstring(c.line) + L"\r\n");
        HeapText dir(getStringSetting(L"InstallDir"));
        File f(_wfopen((std::wstring(dir) + L"\\lang\\English.lng").c_str(), L"rb"));
        std::wstring raw;
        ASSERT_TRUE(findLangEntry(f, c.id, raw)) << c.line;
        size_t length = 0;
        HeapText text(unescape(raw.c_str(), &length));
        EXPECT_EQ(c.full, std::wstring(text.get(), length)) << c.line;
        EXPECT_EQ(L'\0', text.get()[length]);
        EXPECT_EQ(std::wstring(c.full.c_str()), lookup(c.id)) << c.line; // the plain reading
    }
}

TEST_F(Lang, LinesThatAreNotEntriesAreSkipped) {
    std::wstring bom = L"\xFEFF" L"10c=after bom\r\n";
    writeLang(L"English", bom + L"; comment=10c\r\n\r\nzz=x\r\n=\r\n10c=first\r\n10c=second\r\n");
    EXPECT_EQ(L"first", lookup(0x10C));
    writeLang(L"English", L"\xFEFF" L"10c=only on the bom line\r\n");
    EXPECT_EQ(L"<LangError: [", lookup(0x10C).substr(0, 13));
}

TEST_F(Lang, LineFeedsAloneMakeOneLine) {
    writeLang(L"English", L"10c=one\n10d=two\n10e=three\n");
    EXPECT_EQ(L"one", lookup(0x10C));
    EXPECT_EQ(L"<LangError: [", lookup(0x10D).substr(0, 13));
}

// A lone CR ends a line and nothing more: the next line starts whole.
TEST_F(Lang, ALoneCarriageReturnEndsALine) {
    writeLang(L"English", L"10c=a\r1a05=b\r\na05=real\r\n");
    EXPECT_EQ(L"real", lookup(0xA05));
    EXPECT_EQ(L"b", lookup(0x1A05));
    std::wstring crOnly;
    for (int i = 0; i <= 200; ++i) {
        wchar_t id[8];
        swprintf(id, 8, L"%x", 0x300 + i);
        crOnly += id + (L"=entry " + std::to_wstring(i)) + L"\r";
    }
    writeLang(L"English", crOnly);
    for (int i = 0; i <= 200; ++i) EXPECT_EQ(L"entry " + std::to_wstring(i), lookup(0x300 + i)) << i;

    // The unit after a CR is pushed back whatever its bytes, a low byte equal to LF's included.
    std::wstring path = folder + L"\\lines.txt";
    writeFile(path, utf16(L"one\r\x010Atwo\r\nthree\r\rfour\r"));
    File f(_wfopen(path.c_str(), L"rb"));
    std::vector<std::wstring> lines;
    for (std::wstring line; getLine(f, line);) lines.push_back(line);
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"\x010Atwo", L"three", L"", L"four"}), lines);
}

// A file in another encoding holds no entry at all; the placeholder says so with a code of its own.
TEST_F(Lang, FilesInAnotherEncodingAreNamedAsSuch) {
    std::string utf16be;
    for (char c : std::string("10c=x\r\n10d=y\r\n")) utf16be += std::string{'\0', c};
    struct Case {
        const char* what;
        std::string bytes;
    } const CASES[] = {
        {"UTF-8", "\xEF\xBB\xBF" "10c=x\r\n10d=y\r\n"},
        {"UTF-16BE", "\xFE\xFF" + utf16be},
        {"UTF-16LE a byte out of step", "\x01" + utf16(L"\xFEFF" L"10c=x\r\n10d=y\r\n")},
    };
    for (const Case& c : CASES) {
        writeFile(folder + L"\\lang\\English.lng", c.bytes);
        EXPECT_EQ(L"<LangError: [16006]>", lookup(0x10C)) << c.what;
    }
    // A file that does hold entries, only not this one, is not blamed on its encoding.
    writeLang(L"English", L"10d=y\r\n");
    EXPECT_NE(L"<LangError: [16006]>", lookup(0x10C));
}

TEST_F(Lang, HostileFilesAreReadSafely) {
    // A line of a million characters, then a real entry; a lone odd byte at the end.
    std::wstring huge(1000000, L'7');
    std::string bytes = utf16(huge + L"=x\r\n10c=found\r\n") + "A";
    writeFile(folder + L"\\lang\\English.lng", bytes);
    EXPECT_EQ(L"found", lookup(0x10C));
    // An id far past 32 bits matches nothing, and does not wrap onto a real id.
    writeLang(L"English", L"10000000010c=wrapped\r\n10c=right\r\n");
    EXPECT_EQ(L"right", lookup(0x10C));
    // A file of nothing but carriage returns, and an empty file.
    writeLang(L"English", std::wstring(5000, L'\r'));
    EXPECT_EQ(L"<LangError: [", lookup(0x10C).substr(0, 13));
    writeLang(L"English", L"");
    EXPECT_EQ(L"<LangError: [", lookup(0x10C).substr(0, 13));
}

TEST_F(Lang, LanguageChoiceAndMissingFiles) {
    writeLang(L"English", L"10c=English\r\n");
    writeLang(L"German", L"10c=Deutsch\r\n");
    EXPECT_EQ(L"English", lookup(0x10C)); // Language unset
    setUserDword(L"Language", 0);
    EXPECT_EQ(L"Deutsch", lookup(0x10C));
    setUserDword(L"Language", 7); // no valid language
    EXPECT_EQ(L"English", lookup(0x10C));
    setUserDword(L"Language", 3); // French file missing
    EXPECT_EQ(L"<LangError: [16005]>", lookup(0x10C));
    removeMachineSettings();
    EXPECT_EQ(L"<LangError: [16004]>", lookup(0x10C));
}

// Entries of known text, joined by any mix of CR LF and lone CR, with junk lines between them:
// every entry reads back whole, and no lookup of an absent id invents a text.
TEST_F(Lang, EveryEntryReadsBackWhateverSurroundsIt) {
    Rng rng(1201);
    for (int round = 0; round < 300; ++round) {
        std::map<int, std::wstring> entries;
        // The line that starts with the byte-order mark is never an entry; our files begin with a comment.
        std::wstring file = pick(rng, 2) ? std::wstring(L"\xFEFF; texts") + lineEnd(rng) : L"";
        for (int n = 1 + pick(rng, 12); n > 0; --n) {
            if (pick(rng, 3) == 0) {
                // Junk that is no entry: it starts with a character no id can.
                file += L"#" + noise(rng, 30) + lineEnd(rng);
                continue;
            }
            int id = 0x300 + pick(rng, 0x100);
            if (entries.count(id)) continue;
            std::wstring text = L"t" + std::to_wstring(round) + L"-" + std::to_wstring(id);
            entries[id] = text;
            wchar_t hex[16];
            swprintf(hex, 16, pick(rng, 2) ? L"%x" : L"0x%X", id);
            file += hex + std::wstring(L"=") + text + lineEnd(rng);
        }
        std::string bytes = utf16(file);
        if (pick(rng, 4) == 0) bytes += char(pick(rng, 256)); // a lone odd byte at the end
        writeFile(folder + L"\\lang\\English.lng", bytes);
        for (const auto& [id, text] : entries) ASSERT_EQ(text, lookup(id)) << "round " << round << " id " << id;
        int absent = 0x300 + pick(rng, 0x100);
        if (!entries.count(absent)) {
            ASSERT_EQ(0u, lookup(absent).find(L"<LangError: [")) << "round " << round;
        }
    }
}

// Random bytes and random units: a lookup always answers, never with more than the file holds.
TEST_F(Lang, GarbageAlwaysGetsAnAnswer) {
    Rng rng(1202);
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        if (round % 2) {
            for (int n = pick(rng, 3000); n > 0; --n) bytes += char(pick(rng, 256));
        } else {
            bytes = utf16(L"10c=" + noise(rng, 200) + lineEnd(rng) + noise(rng, 200));
        }
        writeFile(folder + L"\\lang\\English.lng", bytes);
        std::wstring text = lookup(0x10C);
        ASSERT_NE(L"(null)", text) << round;
        ASSERT_LE(text.size(), bytes.size() / 2 + 32) << round;
    }
}

TEST(Escapes, WrittenForms) {
    struct Case {
        const wchar_t* text;
        const wchar_t* written;
    } cases[] = {
        {L"a,b\\c", L"a\\cb\\\\c"},
        {L"", L" "},
        {L"tab\tlf\ncr\r", L"tab\\tlf\\ncr\\r"},
        {L"plain text = fine", L"plain text = fine"},
    };
    for (const auto& c : cases) {
        HeapText written(escape(c.text));
        EXPECT_STREQ(c.written, written.get());
        HeapText back(unescape(written));
        EXPECT_STREQ(c.text, back.get());
    }
    EXPECT_EQ(nullptr, escape(nullptr));
    HeapText space(unescape(L" "));
    EXPECT_STREQ(L"", space.get());
    HeapText lost(escape(L" ")); // one space does not survive the round trip
    HeapText lostBack(unescape(lost));
    EXPECT_STREQ(L"", lostBack.get());
}

TEST(Escapes, RoundTripOfArbitraryText) {
    std::mt19937 rng(42);
    const wchar_t alphabet[] = L"ab ,\\\t\n\r=x\x00e9\x4e2d";
    for (int i = 0; i < 500; ++i) {
        std::wstring text;
        int n = 2 + rng() % 40; // never a lone space
        for (int k = 0; k < n; ++k) text += alphabet[rng() % (sizeof alphabet / sizeof *alphabet - 1)];
        HeapText written(escape(text.c_str()));
        std::wstring w(written);
        EXPECT_EQ(std::wstring::npos, w.find_first_of(L",\t\n\r")) << "escaped text must fit one field of a line";
        HeapText back(unescape(written));
        EXPECT_EQ(text, std::wstring(back)) << i;
    }
}

// The shipped English file has every shared text, and those texts are usable as formats.
TEST(ShippedLanguage, SharedTextsArePresent) {
    removeUserSettings();
    installAt();
    for (int id : {0xA02, 0xA05, 0xA06, 0xA08, 0xA20, 0xA21, 0xA22, 0xA23, 0x300, 0x301, 0x302}) {
        HeapText text(getString(id));
        ASSERT_NE(nullptr, text.get());
        EXPECT_EQ(std::wstring::npos, std::wstring(text).find(L"<LangError")) << std::hex << id;
    }
    HeapText suffix(getString(0xA06));
    EXPECT_NE(std::wstring::npos, std::wstring(suffix).find(L"%d"));
    removeMachineSettings();
}

} // namespace
