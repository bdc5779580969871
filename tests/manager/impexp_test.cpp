// Reminder files: the exact bytes written, what comes back, and what a bad file may not do.
#include <gtest/gtest.h>

#include "fixture.h"
#include "impexp.h"
#include "mgr_support.h"
#include "reminderfile.h"

#include <random>

namespace {

const DWORD ME = GetCurrentThreadId();

class ReminderFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        prepareStore();
        hInst = GetModuleHandleW(nullptr);
        init(0x200);
        folder = makeTempFolder(L"tlm");
    }
    std::wstring folder;
    std::wstring file(const wchar_t* name) const { return folder + L"\\" + name; }
};

SYSTEMTIME when(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) { return {y, mo, 0, d, h, mi, s, 0}; }

// Runs the import as a double-click does: the type dialog answered with `button`, then the result.
std::wstring importByDialog(const std::wstring& path, int button) {
    ModalScript answers(ME, {{button}, {IDOK}});
    importReminders(path.c_str());
    const auto& w = answers.result();
    return w.size() == 2 ? w[1].text : L"";
}

std::wstring goodLine(const wchar_t* name) {
    return std::wstring(name) + L",1,Some text,3,05-03-2026_09-30-00,1, , ,Default\r\n";
}

void storeBuiltin(const wchar_t* group, const wchar_t* id, const wchar_t* text) {
    createGroup(FALSE, group);
    std::wstring n = id, t = text;
    SYSTEMTIME due = when(2027, 1, 31, 23, 59, 58);
    Reminder* rem = createReminder(n.data(), FALSE, t.data(), FREQ_YEARLY, &due, FALSE, nullptr, L"&Scan now",
                                   L"\"C:\\Program Files\\Scanner\\scan.exe\" /all", group);
    rem->id = wcsdupHeap(id);
    saveReminder(rem);
    freeReminder(rem);
}

} // namespace

TEST_F(ReminderFiles, TheWorkedExampleByteForByte) {
    storeCustom(L"Default", L"Backup", when(2026, 3, 5, 9, 30, 0), L"Back up files", 3);
    struct Case {
        const wchar_t* given;
        const wchar_t* written;
    } cases[] = {{L"library", L"library.tlm"}, {L"Library.TLM", L"Library.TLM"}};
    for (const Case& c : cases) {
        ExportResult result = exportLibrary(file(c.given).c_str());
        ASSERT_TRUE(result.ok) << result.code;
        EXPECT_EQ(1, result.count);
        EXPECT_EQ(_wcsicmp(file(c.written).c_str(), result.path.c_str()), 0) << result.path;
        std::string bytes = readFileBytes(file(c.written));
        EXPECT_EQ(utf16(L"Backup,1,Back up files,3,05-03-2026_09-30-00,1, , ,Default\r\n"), bytes);
        EXPECT_EQ(std::string("\x42\x00\x61\x00\x63\x00", 6), bytes.substr(0, 6));
    }
    // An empty library is an empty file, and replacing with it leaves the empty group "Default".
    deleteGroup(TRUE, L"Default");
    ExportResult empty = exportLibrary(file(L"empty").c_str());
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(0u, readFileBytes(file(L"empty.tlm")).size());
    storeCustom(L"Default", L"Doomed", when(2026, 3, 5, 9, 30, 0));
    EXPECT_EQ(0u, importByDialog(file(L"empty.tlm"), IDC_REPLACE).find(lang(0x221)));
    EXPECT_TRUE(storedNames(TRUE, L"Default").empty());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default", 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST_F(ReminderFiles, HardTextsComeBackFieldForField) {
    makeGroup(L"Ärger & Co");
    const wchar_t* texts[] = {L"a, b and c", L"C:\\Temp\\ and \\\\server\\share", L"tab\there", L"two\r\nlines\nand\rmore",
                              L" ", L"", L"Grüße, Straße, 日本語"};
    int i = 0;
    for (const wchar_t* t : texts) {
        std::wstring name = L"R" + std::to_wstring(i);
        storeCustom(i % 2 ? L"Default" : L"Ärger & Co", name.c_str(), when(2026, 2, 28, 0, 0, 0), t, i % 9);
        ++i;
    }
    storeBuiltin(L"Security", L"Scanner", L"Scan, then \\update\\");
    ReminderPtr cmdHolder = storedCustom(L"Default", L"R1");
    free(cmdHolder->cmd);
    cmdHolder->cmd = wcsdupHeap(L"notepad.exe \"C:\\a,b.txt\"\t-x");
    free(cmdHolder->yesText);
    cmdHolder->yesText = wcsdupHeap(L" ");
    saveReminder(cmdHolder.get());

    auto snapshot = [] {
        std::vector<std::wstring> rows;
        for (BOOL custom : {TRUE, FALSE}) {
            StringList* groups = getGroups(custom);
            for (StringList* g = groups; g; g = g->next) {
                ReminderList* list = getReminders(custom, g->string);
                for (ReminderList* n = list; n; n = n->next) {
                    Reminder* r = n->reminder;
                    wchar_t due[64];
                    swprintf(due, 64, L"%d-%d-%d %d:%d:%d", r->nextDue->wYear, r->nextDue->wMonth, r->nextDue->wDay,
                             r->nextDue->wHour, r->nextDue->wMinute, r->nextDue->wSecond);
                    rows.push_back(std::wstring(g->string) + L"|" + (r->id ? r->id : L"-") + L"|" + r->name + L"|" +
                                   r->reminderText + L"|" + std::to_wstring(r->frequency) + L"|" + due + L"|" +
                                   std::to_wstring(r->active) + L"|" + r->yesText + L"|" + r->cmd);
                    freeReminder(r);
                }
                freeReminderList(list);
            }
            freeStringList(groups);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    std::vector<std::wstring> before = snapshot();
    ASSERT_EQ(8u, before.size());
    ASSERT_TRUE(exportLibrary(file(L"hard.tlm").c_str()).ok);
    EXPECT_EQ(0u, importByDialog(file(L"hard.tlm"), IDC_REPLACE).find(lang(0x221)));
    EXPECT_EQ(before, snapshot());
    // And once more, appended over itself: the same records, not doubled.
    EXPECT_EQ(0u, importByDialog(file(L"hard.tlm"), IDC_APPEND).find(lang(0x221)));
    EXPECT_EQ(before, snapshot());
}

TEST_F(ReminderFiles, BadFilesNeverCostAReminder) {
    std::wstring huge = L"Huge,1," + std::wstring(1000000, L'x') + L",3,05-03-2026_09-30-00,1, , ,Default\r\n";
    std::wstring nul = L"Nul,1,te";
    nul += L'\0';
    nul += L"xt,3,05-03-2026_09-30-00,1, , ,Default\r\n";
    std::string utf8 = "Backup,1,Back up files,3,05-03-2026_09-30-00,1, , ,Default\r\n";
    std::string truncated = utf16(goodLine(L"Cut")).substr(0, 41);
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0\x1f\xf3\xff" "a", 33);
    struct Case {
        const char* label;
        std::string bytes;
        std::vector<std::wstring> imported; // names that must land in "Default"; none: a garbage file
    } cases[] = {
        {"eight fields", utf16(L"Bad,1,t,3,05-03-2026_09-30-00,1, ,Default\r\n"), {}},
        {"ten fields", utf16(L"Bad,1,t,3,05-03-2026_09-30-00,1, , ,Default,more\r\n"), {}},
        {"month 13", utf16(L"Bad,1,t,3,05-13-2026_09-30-00,1, , ,Default\r\n"), {}},
        {"day 32", utf16(L"Bad,1,t,3,32-03-2026_09-30-00,1, , ,Default\r\n"), {}},
        {"29 February of a common year", utf16(L"Bad,1,t,3,29-02-2027_09-30-00,1, , ,Default\r\n"), {}},
        {"hour 24", utf16(L"Bad,1,t,3,05-03-2026_24-00-00,1, , ,Default\r\n"), {}},
        {"frequency 9", utf16(L"Bad,1,t,9,05-03-2026_09-30-00,1, , ,Default\r\n"), {}},
        {"name with a backslash", utf16(L"Ba\\\\d,1,t,3,05-03-2026_09-30-00,1, , ,Default\r\n"), {}},
        {"name too long", utf16(L"Abcdefghijklmnopqrstuvwxyz,1,t,3,05-03-2026_09-30-00,1, , ,Default\r\n"), {}},
        {"a million characters", utf16(huge), {}},
        {"embedded NUL", utf16(nul), {}},
        {"UTF-8", utf8, {}},
        {"odd byte count", truncated, {}},
        {"PNG", png, {}},
        {"byte-order mark", utf16(L"\xFEFF" + goodLine(L"Marked")), {L"Marked"}},
        {"third line empty", utf16(goodLine(L"A") + goodLine(L"B") + L"\r\n" + goodLine(L"C")), {L"A", L"B"}},
        {"a bad line among good ones", utf16(goodLine(L"A") + L"Bad,1\r\n" + goodLine(L"B")), {L"A", L"B"}},
        {"29 February of a leap year", utf16(L"Leap,1,t,3,29-02-2028_09-30-00,1, , ,Default\r\n"), {L"Leap"}},
    };
    for (const Case& c : cases) {
        for (int button : {IDC_APPEND, IDC_REPLACE}) {
            SCOPED_TRACE(std::string(c.label) + (button == IDC_APPEND ? " / Append" : " / Replace"));
            prepareStore();
            makeGroup(L"Work");
            storeCustom(L"Default", L"Keep1", when(2026, 6, 1, 8, 0, 0));
            storeCustom(L"Work", L"Keep2", when(2026, 6, 1, 8, 0, 0));
            writeFile(file(L"case.tlm"), c.bytes);
            std::wstring box = importByDialog(file(L"case.tlm"), button);
            bool clean = c.imported.size() && std::string(c.label).find("bad line") == std::string::npos;
            EXPECT_EQ(0u, box.find(lang(clean ? 0x221 : 0x220))) << box;
            EXPECT_NE(std::wstring::npos, box.find(fillNumber(lang(0x244).c_str(), static_cast<long long>(c.imported.size()))))
                << box;
            std::vector<std::wstring> defaults = storedNames(TRUE, L"Default");
            std::vector<std::wstring> expected = c.imported;
            if (button == IDC_APPEND || c.imported.empty()) expected.insert(expected.begin(), L"Keep1");
            std::sort(defaults.begin(), defaults.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(expected, defaults);
            bool workKept = button == IDC_APPEND || c.imported.empty();
            EXPECT_EQ(workKept, storedNames(TRUE, L"Work") == std::vector<std::wstring>{L"Keep2"});
        }
    }
}

TEST_F(ReminderFiles, AReplaceThatFailsPartWayPutsTheLibraryBack) {
    makeGroup(L"Work");
    storeCustom(L"Default", L"Keep1", when(2026, 6, 1, 8, 0, 0), L"first");
    storeCustom(L"Work", L"Keep2", when(2026, 6, 2, 9, 15, 30), L"second", FREQ_MONTHLY);
    storeBuiltin(L"Security", L"Scanner", L"scan");
    writeFile(file(L"three.tlm"), utf16(goodLine(L"N1") + goodLine(L"N2") + goodLine(L"N3")));
    File f(_wfopen(file(L"three.tlm").c_str(), L"rb"));
    FileContents contents = readRecords(f);
    ASSERT_EQ(3u, contents.records.size());
    static int calls;
    calls = 0;
    ImportResult result = importContents(contents, true, [](Reminder* rem) {
        if (++calls == 2) {
            SetLastError(ERROR_WRITE_FAULT);
            return 0;
        }
        return saveReminder(rem);
    });
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.restored);
    EXPECT_EQ((std::vector<std::wstring>{L"Keep1"}), storedNames(TRUE, L"Default"));
    ReminderPtr keep2 = storedCustom(L"Work", L"Keep2");
    ASSERT_TRUE(keep2);
    EXPECT_STREQ(L"second", keep2->reminderText);
    EXPECT_EQ(FREQ_MONTHLY, keep2->frequency);
    EXPECT_EQ(30, keep2->nextDue->wSecond);
    StringList* groups = getGroups(FALSE);
    bool security = false;
    for (StringList* g = groups; g; g = g->next) security |= wcscmp(g->string, lang(0xA41).c_str()) == 0;
    freeStringList(groups);
    EXPECT_TRUE(security);
    EXPECT_EQ((std::vector<std::wstring>{L"Scanner"}), storedNames(FALSE, lang(0xA41).c_str()));
}

TEST_F(ReminderFiles, AFailedExportLeavesTheOldFileAsItWas) {
    storeCustom(L"Default", L"Backup", when(2026, 3, 5, 9, 30, 0));
    std::wstring target = file(L"old.tlm");
    writeFile(target, "old contents");
    // Held open by another program that shares neither writing nor deleting.
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ModalAnswer box(ME, IDOK);
    exportReminders(target.c_str());
    EXPECT_EQ(0u, box.result().text.find(lang(0x222))) << box.result().text;
    CloseHandle(held);
    EXPECT_EQ("old contents", readFileBytes(target));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    int files = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(1, files); // no temporary file left behind
}

TEST(ReminderFileLines, RecordsTheStoreCouldNotKeepAreRefused) {
    struct Case {
        const wchar_t* line;
        bool ok;
    } cases[] = {
        {L"A,1,t,3,05-03-2026_09-30-00,1, , ,Default", true},
        {L"A,,1,t,3,05-03-2026_09-30-00,1, , ,Default", true}, // a doubled comma is one separator
        {L"A,1,t,8,31-12-30827_23-59-59,0,x,y,G", true},
        {L"A,1,t,3,05-03-1600_09-30-00,1, , ,Default", false},
        {L"A,1,t,-1,05-03-2026_09-30-00,1, , ,Default", false},
        {L"A,x,t,3,05-03-2026_09-30-00,1, , ,Default", false},
        {L"A,1,t,3,5-3-2026_09-30-00,1, , ,Default", false},
        {L"A,1,t,3,05-03-2026_09-60-00,1, , ,Default", false},
        {L"A,1,t,3,05-03-2026_09-30-00x,1, , ,Default", false},
        {L" A,1,t,3,05-03-2026_09-30-00,1, , ,Default", false},
        {L" ,1,t,3,05-03-2026_09-30-00,1, , ,Default", false},
        {L"A,1,t,3,05-03-2026_09-30-00,1, , ,Gr\\\\oup", false},
        {L"A,1,t\\q,3,05-03-2026_09-30-00,1, , ,Default", false},
        {L"A,1,t\\0u,3,05-03-2026_09-30-00,1, , ,Default", false},
        {L"A,1,t\\,3,05-03-2026_09-30-00,1, , ,Default", false},
    };
    for (const Case& c : cases) {
        FileRecord r;
        EXPECT_EQ(c.ok, parseRecord(c.line, r)) << c.line;
    }
    FileRecord blank;
    ASSERT_TRUE(parseRecord(L"A,1,\\s,3,05-03-2026_09-30-00,1, ,\\s,Default", blank));
    EXPECT_EQ(L" ", blank.text);
    EXPECT_EQ(L"", blank.yesText);
    EXPECT_EQ(L" ", blank.cmd);
    EXPECT_EQ(L"A,1,\\s,3,05-03-2026_09-30-00,1, ,\\s,Default\r\n", formatRecord(blank));
}

namespace {

// Generated damage to good record lines: whatever parses is a record the store can keep, and it
// writes back as a line that parses to the same record.
TEST(ReminderFileLines, DamagedLinesParseOnlyIntoStorableRecords) {
    const std::wstring GOOD[] = {L"Backup,1,Weekly\\nbackup\\c all,5,29-02-2028_09-30-00,1,&Run,notepad.exe,Default",
                                 L"Anti-Virus,0,Scan,7,31-12-2027_23-59-59,0, , ,Security"};
    const std::wstring PIECES[] = {L",", L"\\", L"\\c", L"\\0", L"-", L"_", L"99", L"13", L"32", L"24", L"60",
                                   L" ", L"\r", L"\n", L"..\\x", std::wstring(1, L'\0'), std::wstring(30, L'n')};
    std::mt19937 rng(1206);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    static const int LONGEST[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (const std::wstring& good : GOOD) {
        FileRecord r;
        ASSERT_TRUE(parseRecord(good, r)) << testing::PrintToString(good);
    }
    for (int round = 0; round < 400; ++round) {
        std::wstring line = GOOD[pick(std::size(GOOD))];
        for (int edits = 1 + int(pick(3)); edits > 0; --edits) {
            size_t at = pick(line.size() + 1);
            switch (pick(4)) {
            case 0: if (at < line.size()) line[at] = wchar_t(L'0' + pick(75)); break;
            case 1: line.erase(at, pick(6)); break;
            case 2: line.insert(at, PIECES[pick(std::size(PIECES))]); break;
            default: line.insert(at, line.substr(at, pick(12))); break;
            }
        }
        FileRecord r;
        if (!parseRecord(line, r)) continue;
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << testing::PrintToString(line));
        for (const std::wstring& key : {r.name, r.group}) {
            ASSERT_FALSE(key.empty());
            ASSERT_LE(key.size(), size_t(MAX_NAME));
            ASSERT_EQ(std::wstring::npos, key.find(L'\\'));
        }
        ASSERT_GE(r.frequency, FREQ_DAILY);
        ASSERT_LE(r.frequency, FREQ_ONCE);
        ASSERT_TRUE(r.due.wMonth >= 1 && r.due.wMonth <= 12);
        ASSERT_TRUE(r.due.wDay >= 1 && r.due.wDay <= LONGEST[r.due.wMonth]);
        ASSERT_TRUE(r.due.wHour < 24 && r.due.wMinute < 60 && r.due.wSecond < 60);
        ASSERT_LE(r.text.size(), size_t(MAX_TEXT));
        for (const std::wstring* t : {&r.name, &r.text, &r.yesText, &r.cmd, &r.group})
            ASSERT_EQ(std::wstring::npos, t->find(L'\0'));
        std::wstring again = formatRecord(r);
        FileRecord back;
        ASSERT_TRUE(parseRecord(again.substr(0, again.size() - 2), back)) << testing::PrintToString(again);
        EXPECT_EQ(formatRecord(back), again);
    }
}

} // namespace

