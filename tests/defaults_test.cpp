#include "autodetector.h"
#include "fixture.h"
#include "hostile.h"
#include "modal.h"
#include "reminders.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return std::wstring(t);
}

const std::wstring BUILTIN = REMINDERS_KEY L"\\Built-in";

struct Stored {
    std::wstring group, id, name, cmd, yes;
    bool active;
    SYSTEMTIME due;
};

// Every built-in reminder as the store lists it, group by group.
std::vector<Stored> storedBuiltins() {
    std::vector<Stored> out;
    StringList* groups = getGroups(FALSE);
    for (StringList* g = groups; g; g = g->next) {
        ReminderList* list = getReminders(FALSE, g->string);
        for (ReminderList* n = list; n; n = n->next) {
            Reminder* r = n->reminder;
            out.push_back({g->string, r->id, r->name, r->cmd, r->yesText, r->active != FALSE, *r->nextDue});
            freeReminder(r);
        }
        freeReminderList(list);
    }
    freeStringList(groups);
    return out;
}

std::vector<std::wstring> listItems(HWND dialog) {
    HWND list = GetDlgItem(dialog, 1003);
    std::vector<std::wstring> items;
    int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buf[64] = L"";
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buf;
        item.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        items.push_back(buf);
    }
    return items;
}

void untick(HWND dialog, const std::wstring& name) {
    HWND list = GetDlgItem(dialog, 1003);
    std::vector<std::wstring> items = listItems(dialog);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == name) ListView_SetCheckState(list, int(i), FALSE);
}

ULONGLONG minutes(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return ((ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 600000000ULL;
}

// The Built-in class as first-run set-up creates it before restoring.
struct Defaults : ::testing::Test {
    void SetUp() override {
        removeUserSettings();
        installAt();
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, BUILTIN.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    void TearDown() override {
        removeUserSettings();
        removeMachineSettings();
    }
};

TEST_F(Defaults, RestoreWithoutDetectionOffersAndStoresEight) {
    std::vector<std::wstring> offered;
    SYSTEMTIME before;
    GetLocalTime(&before);
    ModalScript script(GetCurrentThreadId(),
                       {{IDNO}, {IDOK, [&](HWND dialog) {
                                     offered = listItems(dialog);
                                     untick(dialog, text(2644)); // the defragmentation reminder
                                 }}});
    EXPECT_TRUE(restoreDefaultReminders());
    const auto& windows = script.result();
    ASSERT_EQ(2u, windows.size());
    EXPECT_EQ(text(784), windows[0].text);
    EXPECT_EQ(L"Tolva", windows[0].caption);
    EXPECT_EQ(text(790), windows[1].caption);
    EXPECT_EQ(text(789), windows[1].text);
    EXPECT_EQ(text(2592), windows[1].button(IDOK)->caption);

    std::vector<std::wstring> expected = {text(2640), text(2641), text(2642), text(2647),
                                          text(2646), text(2645), text(2644), text(2643)};
    EXPECT_EQ(expected, offered);

    std::map<std::wstring, Stored> byId;
    for (const auto& s : storedBuiltins()) byId[s.id] = s;
    ASSERT_EQ(8u, byId.size());
    struct Want {
        const wchar_t* id;
        int group, name, yes;
        const wchar_t* cmd;
    } wants[] = {
        {L"Anti-Virus", 2625, 2640, 2597, L""},          {L"Firewall", 2625, 2641, 2597, L""},
        {L"Anti-Malware", 2625, 2642, 2597, L""},        {L"Windows Update", 2626, 2647, 2597, L":wupdate"},
        {L"Temp Files", 2626, 2646, 2672, L":temp"},     {L"Disk Cleanup", 2626, 2645, 2597, L"cleanmgr.exe"},
        {L"Defrag", 2626, 2644, 2597, L":defrag"},       {L"Backup", 2626, 2643, 2597, L""},
    };
    for (const auto& w : wants) {
        ASSERT_TRUE(byId.count(w.id)) << w.id;
        const Stored& s = byId[w.id];
        EXPECT_EQ(text(w.group), s.group) << w.id;
        EXPECT_EQ(text(w.name), s.name) << w.id;
        EXPECT_EQ(text(w.yes), s.yes) << w.id;
        EXPECT_EQ(w.cmd, s.cmd) << w.id;
        EXPECT_EQ(std::wstring(w.id) != L"Defrag", s.active) << w.id;
        ULONGLONG ahead = minutes(s.due) - minutes(before);
        EXPECT_TRUE(ahead == 60 || ahead == 61) << w.id << " due " << ahead << " minutes ahead";
    }
}

// Without a language file every text is the same error placeholder; the groups must still differ,
// or the Security and System reminders could not be reached and all would be restored into one.
TEST_F(Defaults, WithoutALanguageFileTheGroupsKeepTheirKeyNames) {
    installAt(makeTempFolder(L"nolang"));
    ASSERT_EQ(0u, text(2625).find(L"<LangError: ["));
    ModalScript script(GetCurrentThreadId(), {{IDNO}, {IDOK}});
    ASSERT_TRUE(restoreDefaultReminders());
    EXPECT_EQ(2u, script.result().size());
    std::map<std::wstring, std::wstring> groupOf;
    for (const auto& s : storedBuiltins()) groupOf[s.id] = s.group;
    EXPECT_EQ(8u, groupOf.size());
    EXPECT_EQ(L"Security", groupOf[L"Anti-Virus"]);
    EXPECT_EQ(L"System", groupOf[L"Windows Update"]);
    ASSERT_TRUE(translateReminders());
    StringList* groups = getGroups(FALSE);
    std::vector<std::wstring> names;
    for (StringList* g = groups; g; g = g->next) names.push_back(g->string);
    freeStringList(groups);
    EXPECT_EQ((std::vector<std::wstring>{L"Other", L"Security", L"System"}), names);
}

TEST_F(Defaults, CancelledSelectionLeavesEmptyGroups) {
    for (int press : {IDCANCEL, 0 /* closes the window */}) {
        ModalScript script(GetCurrentThreadId(), {{IDNO}, {press}});
        EXPECT_TRUE(restoreDefaultReminders());
        EXPECT_EQ(2u, script.result().size());
        StringList* groups = getGroups(FALSE);
        int count = 0;
        for (StringList* g = groups; g; g = g->next) ++count;
        freeStringList(groups);
        EXPECT_EQ(3, count);
        EXPECT_TRUE(storedBuiltins().empty());
    }
}

TEST_F(Defaults, RestoreNeedsTheBuiltinClass) {
    removeUserSettings();
    EXPECT_FALSE(restoreDefaultReminders());
    EXPECT_EQ(2u, GetLastError());
}

TEST_F(Defaults, TranslateRewritesTemplateTexts) {
    ModalScript script(GetCurrentThreadId(), {{IDNO}, {IDOK}});
    ASSERT_TRUE(restoreDefaultReminders());
    script.result();
    auto corrupt = [](const std::wstring& path) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key));
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"old"), 8);
        RegSetValueExW(key, L"ReminderText", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"old"), 8);
        RegCloseKey(key);
    };
    corrupt(BUILTIN + L"\\System\\Windows Update");
    corrupt(BUILTIN + L"\\Security\\Anti-Virus");
    corrupt(BUILTIN + L"\\System");

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, (BUILTIN + L"\\Security\\Firewall").c_str()));
    EXPECT_TRUE(translateReminders()); // an absent security reminder is passed over
    std::map<std::wstring, Stored> byId;
    for (const auto& s : storedBuiltins()) byId[s.id] = s;
    EXPECT_EQ(text(2647), byId[L"Windows Update"].name);
    EXPECT_EQ(text(2626), byId[L"Windows Update"].group);
    EXPECT_EQ(text(2640), byId[L"Anti-Virus"].name);

    corrupt(BUILTIN + L"\\System\\Disk Cleanup");
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, (BUILTIN + L"\\System\\Backup").c_str()));
    EXPECT_FALSE(translateReminders()); // an absent system reminder fails the pass, the rest is done
    for (const auto& s : storedBuiltins()) {
        if (s.id == L"Disk Cleanup") {
            EXPECT_EQ(text(2645), s.name);
        }
    }
}

TEST(DatabaseLines, Parsing) {
    struct Case {
        const wchar_t* line;
        bool valid;
        const wchar_t* fields[6]; // name, key, value, updater, switches, type token's code as text
        int type;
        HKEY hive;
    } cases[] = {
        {L"Guard Pro,AV,M,SOFTWARE\\Guard,Path,upd.exe,/quiet", true,
         {L"Guard Pro", L"SOFTWARE\\Guard", L"Path", L"upd.exe", L"/quiet"}, TYPE_AV, HKEY_LOCAL_MACHINE},
        {L"Guard Pro,AV,,M,SOFTWARE\\Guard,Path,upd.exe,/quiet", true,
         {L"Guard Pro", L"SOFTWARE\\Guard", L"Path", L"upd.exe", L"/quiet"}, TYPE_AV, HKEY_LOCAL_MACHINE},
        {L",,Wall,SS,User,Software\\Wall,Dir, , ,extra,more", true,
         {L"Wall", L"Software\\Wall", L"Dir", L" ", L" "}, TYPE_SS, HKEY_CURRENT_USER},
        {L" Spaced , OT,Machine,K,V,U,S", true, {L" Spaced ", L"K", L"V", L"U", L"S"}, -1, HKEY_LOCAL_MACHINE},
        {L"Lower,av,M,K,V,U,S", true, {L"Lower", L"K", L"V", L"U", L"S"}, -1, HKEY_LOCAL_MACHINE},
        {L"NoUpdater,AV,M,K,V,,S", false, {}, 0, nullptr}, // the empty field vanishes, one is missing
        {L"BadHive,AV,HKLM,K,V,U,S", false, {}, 0, nullptr},
        {L"Short,AV,M,K,V,U", false, {}, 0, nullptr},
        {L"", false, {}, 0, nullptr},
        {L",,,,,,,", false, {}, 0, nullptr},
        {L"Sub,AV,M,K,V,bin\\upd.exe,/q", true, {L"Sub", L"K", L"V", L"bin\\upd.exe", L"/q"}, TYPE_AV,
         HKEY_LOCAL_MACHINE},
        {L"Lead,AV,M,K,V,\\upd.exe,/q", true, {L"Lead", L"K", L"V", L"\\upd.exe", L"/q"}, TYPE_AV, HKEY_LOCAL_MACHINE},
        // Lines of a database split at the wrong line ends, and updaters outside the program's folder.
        {L"A,AV,M,K,V,U,S\nB,FW,U,K,V,U,S", false, {}, 0, nullptr},
        {L"A,AV,M,K,V,U,S\tx", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,..\\..\\Windows\\System32\\cmd.exe,/c calc", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,bin\\..\\..\\x.exe,/q", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,bin/../../x.exe,/q", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,.. \\x.exe,/q", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,C:\\Windows\\x.exe,/q", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,x.exe\" & calc & \",/q", false, {}, 0, nullptr},
        {L"Up,AV,M,K,V,%SystemRoot%\\x.exe,/q", false, {}, 0, nullptr},
    };
    for (const auto& c : cases) {
        PD* def = createDef(c.line);
        ASSERT_EQ(c.valid, def != nullptr) << c.line;
        if (!def) continue;
        EXPECT_STREQ(c.fields[0], def->name);
        EXPECT_STREQ(c.fields[1], def->key);
        EXPECT_STREQ(c.fields[2], def->value);
        EXPECT_STREQ(c.fields[3], def->updater);
        EXPECT_STREQ(c.fields[4], def->switches);
        EXPECT_EQ(c.type, def->type) << c.line;
        EXPECT_EQ(c.hive, def->hive);
        freeDefs(def);
    }
    EXPECT_EQ(nullptr, createDef(nullptr));
}

PD* parseText(const std::wstring& content) {
    std::wstring path = makeTempFolder(L"db") + L"\\database";
    writeFile(path, utf16(L"\xFEFF" + content));
    File f(_wfopen(path.c_str(), L"rb"));
    return parseDatabase(f);
}

std::vector<std::wstring> names(PD* list) {
    std::vector<std::wstring> out;
    for (PD* p = list; p; p = p->next) out.push_back(p->name);
    freeDefs(list);
    return out;
}

TEST(DatabaseFiles, ReadingStopsAtTheFirstEmptyOrInvalidLine) {
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}),
              names(parseText(L"A,AV,M,K,V,U,S\r\nB,FW,U,K,V,U,S\r\n\r\nC,AV,M,K,V,U,S\r\n")));
    EXPECT_EQ((std::vector<std::wstring>{L"A"}), names(parseText(L"A,AV,M,K,V,U,S\r\nbroken\r\nC,AV,M,K,V,U,S")));
    EXPECT_TRUE(names(parseText(L"")).empty());
    // A line far longer than any real one, then the cap on how many definitions are read at all.
    std::wstring huge = std::wstring(200000, L'x') + L",AV,M,K,V,U,S\r\n";
    EXPECT_EQ(1u, names(parseText(huge + L"B,AV,M,K,V,U")).size());
    std::wstring many;
    for (int i = 0; i < 6000; ++i) many += L"P,AV,M,K,V,U,S\r\n";
    EXPECT_EQ(5000u, names(parseText(many)).size());
}

// Only CR LF and a lone CR end a line; what follows a lone CR starts the next one, whole.
TEST(DatabaseFiles, LineEnds) {
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma"}),
              names(parseText(L"Alpha,AV,M,K,V,U,S\rBeta,FW,U,K,V,U,S\rGamma,AM,M,K,V,U,S\r")));
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Beta"}),
              names(parseText(L"Alpha,AV,M,K,V,U,S\r\nBeta,FW,U,K,V,U,S\rGamma,AM,M,K,V,U\nS\r\n")));
    // LF alone ends no line: the whole file is one line that must not become a command.
    EXPECT_TRUE(names(parseText(L"Alpha,AV,M,K,V,U,S\nBeta,FW,U,K,V,U,S\n")).empty());
}

// What the database turns into: the updater joined to the program's folder. Resolved as Windows
// would, it must stay inside that folder.
bool staysInFolder(const wchar_t* updater) {
    const std::wstring FOLDER = L"C:\\Programs\\Guard\\";
    if (wcscmp(updater, L" ") == 0) return true;
    std::wstring joined = FOLDER + updater;
    if (joined.find(L'"') != std::wstring::npos) return false;
    wchar_t full[4096];
    DWORD n = GetFullPathNameW(joined.c_str(), 4096, full, nullptr);
    return n > 0 && n < 4096 && _wcsnicmp(full, FOLDER.c_str(), FOLDER.size()) == 0;
}

// Lines of good and hostile fields with any line ends: the reader keeps exactly the good lines up
// to the first bad one, and nothing it keeps holds a control character or reaches outside the
// program's folder.
TEST(HostileDatabase, OnlyWholeGoodLinesBecomeDefinitions) {
    Rng rng(1203);
    const wchar_t* GOOD_UPDATERS[] = {L"upd.exe", L"bin\\upd.exe", L"\\upd.exe", L" ", L"a b\\c.d.exe"};
    const wchar_t* BAD_UPDATERS[] = {L"..\\cmd.exe", L"bin\\..\\..\\x.exe", L"C:\\x.exe", L"x\" & calc",
                                     L"%TEMP%\\x.exe", L"a/../../x.exe", L"...\\x.exe"};
    for (int round = 0; round < 300; ++round) {
        std::wstring file;
        std::vector<std::wstring> expected;
        bool stopped = false;
        for (int n = 1 + pick(rng, 8); n > 0; --n) {
            std::wstring name = L"P" + std::to_wstring(round) + L"_" + std::to_wstring(n);
            bool bad = pick(rng, 5) == 0;
            std::wstring updater = bad ? BAD_UPDATERS[pick(rng, int(std::size(BAD_UPDATERS)))]
                                       : GOOD_UPDATERS[pick(rng, int(std::size(GOOD_UPDATERS)))];
            std::wstring line = name + L",AV," + (pick(rng, 2) ? L"M" : L"U") + L",Software\\Guard,Dir," + updater +
                                L",/q";
            if (!bad && pick(rng, 8) == 0) {
                // A control character inside a field, an LF as the line end above all.
                line.insert(1 + pick(rng, int(line.size()) - 1), 1, pick(rng, 2) ? L'\n' : L'\x01');
                bad = true;
            }
            file += line + lineEnd(rng);
            if (bad) stopped = true;
            if (!stopped) expected.push_back(name);
        }
        PD* defs = parseText(file);
        std::vector<std::wstring> names;
        for (PD* p = defs; p; p = p->next) {
            names.push_back(p->name);
            for (const wchar_t* field : {p->name, p->key, p->value, p->updater, p->switches})
                for (const wchar_t* c = field; *c; ++c) ASSERT_GE(*c, 0x20) << "round " << round;
            ASSERT_TRUE(staysInFolder(p->updater)) << "round " << round;
        }
        freeDefs(defs);
        ASSERT_EQ(expected, names) << "round " << round;
    }
}

TEST(Probing, BothRegistryViewsAreSearched) {
    const wchar_t* base = L"Software\\TolvaProbeTest";
    HKEY key;
    // Registered in the current user's hive, in the 32-bit view of the machine, and nowhere.
    RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(base) + L"\\User").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, L"Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\U\\"), 12);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(base) + L"\\Only32").c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr));
    RegSetValueExW(key, L"Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\W\\"), 12);
    RegCloseKey(key);
    PD* list = parseText(L"User,AV,U,Software\\TolvaProbeTest\\User,Dir,u.exe,/u\r\n"
                         L"Only32,FW,M,Software\\TolvaProbeTest\\Only32,Dir,w.exe,/w\r\n"
                         L"Absent,AM,M,Software\\TolvaProbeTest\\Absent,Dir,a.exe,/a\r\n"
                         L"NoValue,AM,U,Software\\TolvaProbeTest\\User,Missing,a.exe,/a\r\n");
    EXPECT_EQ((std::vector<std::wstring>{L"User", L"Only32"}), names(keepInstalled(list)));
    RegDeleteTreeW(HKEY_CURRENT_USER, base);
    RegDeleteKeyW(HKEY_CURRENT_USER, base);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(base) + L"\\Only32").c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, base, KEY_WOW64_32KEY, 0);
}

} // namespace
