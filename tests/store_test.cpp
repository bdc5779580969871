#include "fixture.h"
#include "hostile.h"
#include "owned.h"
#include "reminders.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

#include <map>
#include <vector>

namespace {

const std::wstring CUSTOM = REMINDERS_KEY L"\\Custom";
const std::wstring BUILTIN = REMINDERS_KEY L"\\Built-in";

SYSTEMTIME at(int y, int mo, int d, int h, int mi) {
    SYSTEMTIME t{};
    t.wYear = WORD(y), t.wMonth = WORD(mo), t.wDay = WORD(d), t.wHour = WORD(h), t.wMinute = WORD(mi);
    t.wDayOfWeek = 3;
    return t;
}

void createKey(const std::wstring& path, const wchar_t* defaultValue = nullptr) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    if (defaultValue)
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue),
                       DWORD((wcslen(defaultValue) + 1) * 2));
    RegCloseKey(key);
}

bool keyExists(const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key)) return false;
    RegCloseKey(key);
    return true;
}

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool present = false;
};

RawValue raw(const std::wstring& path, const wchar_t* name) {
    RawValue v;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key)) return v;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &v.type, v.bytes.data(), &size);
        v.present = true;
    }
    RegCloseKey(key);
    return v;
}

void setRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key));
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void deleteValue(const std::wstring& path, const wchar_t* name) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key));
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

// A command in the form the store keeps it.
std::string protect(const std::wstring& text) {
    DATA_BLOB in{DWORD((text.size() + 1) * sizeof(wchar_t)), reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str()))};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) return {};
    std::string blob(reinterpret_cast<char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return blob;
}

// A read list with its reminders, freed together.
struct Listing {
    ReminderList* head;
    explicit Listing(ReminderList* h) : head(h) {}
    ~Listing() {
        for (ReminderList* n = head; n; n = n->next) freeReminder(n->reminder);
        freeReminderList(head);
    }
    std::vector<std::wstring> names() const {
        std::vector<std::wstring> out;
        for (ReminderList* n = head; n; n = n->next) out.push_back(n->reminder->name);
        return out;
    }
};

std::vector<std::wstring> groups(BOOL custom) {
    std::vector<std::wstring> out;
    StringList* list = getGroups(custom);
    for (StringList* n = list; n; n = n->next) out.push_back(n->string);
    freeStringList(list);
    return out;
}

Reminder* custom(const wchar_t* name, const wchar_t* group = nullptr, const wchar_t* cmd = L"notepad.exe") {
    std::wstring n = name, text = L"Text of " + n;
    SYSTEMTIME due = at(2026, 12, 24, 18, 30);
    return createReminder(n.data(), TRUE, text.data(), FREQ_WEEKLY, &due, TRUE, nullptr, L"&Launch", cmd, group);
}

// The tree as first-run set-up leaves it: both classes, the three built-in groups and "Default".
struct Store : ::testing::Test {
    void SetUp() override {
        removeUserSettings();
        installAt();
        createKey(CUSTOM + L"\\Default");
        createKey(BUILTIN + L"\\Security", L"Security");
        createKey(BUILTIN + L"\\System", L"System Care");
        createKey(BUILTIN + L"\\Other", L"Other");
    }
    void TearDown() override {
        removeUserSettings();
        removeMachineSettings();
    }
};

TEST_F(Store, RegistryLayoutByteByByte) {
    Owned rem(custom(L"Backup", L"Default", L"C:\\Tools\\backup.exe /all"));
    rem->frequency = FREQ_ONCE; // 32 bits, low byte first
    rem->active = 7;     // any true value is stored as 1
    SetLastError(99);
    ASSERT_TRUE(saveReminder(rem));
    EXPECT_EQ(0u, GetLastError());
    std::wstring key = CUSTOM + L"\\Default\\Backup";

    RawValue text = raw(key, L"ReminderText");
    EXPECT_EQ(DWORD(REG_SZ), text.type);
    EXPECT_EQ(utf16(L"Text of Backup") + std::string(2, '\0'), std::string(text.bytes.begin(), text.bytes.end()));
    RawValue freq = raw(key, L"Frequency");
    EXPECT_EQ(DWORD(REG_BINARY), freq.type);
    EXPECT_EQ((std::vector<BYTE>{8, 0, 0, 0}), freq.bytes);
    RawValue due = raw(key, L"Due");
    EXPECT_EQ(DWORD(REG_BINARY), due.type);
    EXPECT_EQ((std::vector<BYTE>{0xEA, 0x07, 12, 0, 3, 0, 24, 0, 18, 0, 30, 0, 0, 0, 0, 0}), due.bytes);
    RawValue active = raw(key, L"Active");
    EXPECT_EQ(DWORD(REG_BINARY), active.type);
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), active.bytes);
    RawValue later = raw(key, L"RemindLater");
    EXPECT_EQ(DWORD(REG_BINARY), later.type);
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 0}), later.bytes);
    RawValue yes = raw(key, L"YesText");
    EXPECT_EQ(DWORD(REG_SZ), yes.type);
    EXPECT_EQ(utf16(L"&Launch") + std::string(2, '\0'), std::string(yes.bytes.begin(), yes.bytes.end()));
    EXPECT_FALSE(raw(key, nullptr).present); // custom reminders carry no display name

    // The command is protected for this user; unprotected it is the text with its terminating zero.
    RawValue cmd = raw(key, L"Cmd");
    EXPECT_EQ(DWORD(REG_BINARY), cmd.type);
    std::string plain = utf16(L"C:\\Tools\\backup.exe /all") + std::string(2, '\0');
    EXPECT_EQ(std::string::npos, std::string(cmd.bytes.begin(), cmd.bytes.end()).find(plain));
    DATA_BLOB in{DWORD(cmd.bytes.size()), cmd.bytes.data()}, out{};
    ASSERT_TRUE(CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out));
    EXPECT_EQ(plain, std::string(reinterpret_cast<char*>(out.pbData), out.cbData));
    LocalFree(out.pbData);

    // A postponed built-in reminder: 16-byte RemindLater and its display name as default value.
    Owned builtin(custom(L"Virus scan", L"security"));
    builtin->isCustom = FALSE;
    builtin->id = wcsdupHeap(L"Anti-Virus");
    builtin->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
    *builtin->remindLater = at(2027, 1, 2, 3, 4);
    builtin->active = FALSE;
    ASSERT_TRUE(saveReminder(builtin));
    std::wstring bkey = BUILTIN + L"\\Security\\Anti-Virus";
    EXPECT_EQ((std::vector<BYTE>{0xEB, 0x07, 1, 0, 3, 0, 2, 0, 3, 0, 4, 0, 0, 0, 0, 0}), raw(bkey, L"RemindLater").bytes);
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 0}), raw(bkey, L"Active").bytes);
    RawValue display = raw(bkey, nullptr);
    EXPECT_EQ(DWORD(REG_SZ), display.type);
    EXPECT_EQ(utf16(L"Virus scan") + std::string(2, '\0'), std::string(display.bytes.begin(), display.bytes.end()));
}

// Wine's own reg.exe, an independent reader, sees the types and sizes of the layout.
TEST_F(Store, WinesRegToolReadsTheLayout) {
    Owned rem(custom(L"Cleanup", nullptr, L":temp"));
    rem->frequency = FREQ_MONTHLY;
    ASSERT_TRUE(saveReminder(rem));
    DWORD code;
    std::wstring out = runCapture(L"reg.exe query \"HKCU\\" + CUSTOM + L"\\Default\\Cleanup\"", &code);
    ASSERT_EQ(0u, code) << out;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> values; // name -> type, data
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find(L'\n', pos);
        std::wstring line = out.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
        pos = end == std::wstring::npos ? out.size() : end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        size_t t = line.find(L"    REG_");
        if (line.rfind(L"    ", 0) != 0 || t == std::wstring::npos) continue;
        std::wstring name = line.substr(4, t - 4);
        size_t data = line.find(L"    ", t + 4);
        std::wstring type = line.substr(t + 4, data == std::wstring::npos ? std::wstring::npos : data - t - 4);
        values[name] = {type, data == std::wstring::npos ? L"" : line.substr(data + 4)};
    }
    EXPECT_EQ(L"REG_SZ", values[L"ReminderText"].first);
    EXPECT_EQ(L"Text of Cleanup", values[L"ReminderText"].second);
    EXPECT_EQ(L"REG_BINARY", values[L"Frequency"].first);
    EXPECT_EQ(L"06000000", values[L"Frequency"].second);
    EXPECT_EQ(L"REG_BINARY", values[L"Due"].first);
    EXPECT_EQ(L"EA070C00030018001200", values[L"Due"].second.substr(0, 20));
    EXPECT_EQ(32u, values[L"Due"].second.size());
    EXPECT_EQ(L"01000000", values[L"Active"].second);
    EXPECT_EQ(L"00000000", values[L"RemindLater"].second);
    EXPECT_EQ(L"REG_SZ", values[L"YesText"].first);
    EXPECT_EQ(L"REG_BINARY", values[L"Cmd"].first);
    EXPECT_GT(values[L"Cmd"].second.size(), 8u);
}

TEST_F(Store, SavedRemindersReadBackWhole) {
    Owned a(custom(L"Backup", nullptr, L""));
    a->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
    *a->remindLater = at(2026, 12, 24, 19, 30);
    ASSERT_TRUE(saveReminder(a));
    Owned b(custom(L"\x00c9t\x00e9 \x4e2d,=;%s", nullptr, L"\"C:\\Program Files\\x.exe\" --flag \x00e9"));
    ASSERT_TRUE(saveReminder(b));

    Listing list(getReminders(TRUE, nullptr));
    ASSERT_EQ(2u, list.names().size());
    for (ReminderList* n = list.head; n; n = n->next) {
        Reminder* got = n->reminder;
        Reminder* want = wcscmp(got->name, L"Backup") == 0 ? a.r : b.r;
        EXPECT_STREQ(want->reminderText, got->reminderText);
        EXPECT_STREQ(want->yesText, got->yesText);
        EXPECT_STREQ(want->cmd, got->cmd);
        EXPECT_EQ(want->frequency, got->frequency);
        EXPECT_EQ(0, memcmp(want->nextDue, got->nextDue, sizeof(SYSTEMTIME)));
        EXPECT_EQ(want->remindLater == nullptr, got->remindLater == nullptr);
        if (want->remindLater) {
            EXPECT_EQ(0, memcmp(want->remindLater, got->remindLater, sizeof(SYSTEMTIME)));
        }
        EXPECT_TRUE(got->isCustom);
        EXPECT_EQ(nullptr, got->group); // asked with a null group
        EXPECT_EQ(nullptr, got->id);
    }
    // Asked by name, the group is carried in each record.
    Listing named(getReminders(TRUE, L"default"));
    ASSERT_NE(nullptr, named.head);
    EXPECT_STREQ(L"default", named.head->reminder->group);
}

// One malformed value makes that reminder unreadable; its neighbours are still listed.
TEST_F(Store, DamagedRemindersAreSkipped) {
    const BYTE twelve[12] = {0xEA, 0x07, 1, 0, 0, 0, 1, 0};
    SYSTEMTIME month13 = at(2026, 13, 1, 0, 0), month0 = at(2026, 0, 1, 0, 0);
    const BYTE garbage[40] = {1, 2, 3};
    struct Case {
        const wchar_t* what;
        const wchar_t* value;
        const void* data; // null: delete the value
        DWORD size;
    } cases[] = {
        {L"no text", L"ReminderText", nullptr, 0},     {L"no frequency", L"Frequency", nullptr, 0},
        {L"no due", L"Due", nullptr, 0},               {L"no postponement", L"RemindLater", nullptr, 0},
        {L"no active", L"Active", nullptr, 0},         {L"no yes text", L"YesText", nullptr, 0},
        {L"no command", L"Cmd", nullptr, 0},           {L"short due", L"Due", twelve, 12},
        {L"month 13", L"Due", &month13, 16},           {L"month 0 later", L"RemindLater", &month0, 16},
        {L"8-byte later", L"RemindLater", twelve, 8},  {L"short frequency", L"Frequency", twelve, 2},
        {L"long active", L"Active", twelve, 12},       {L"foreign command", L"Cmd", garbage, 40},
    };
    Owned first(custom(L"First")), last(custom(L"Last"));
    ASSERT_TRUE(saveReminder(first));
    ASSERT_TRUE(saveReminder(last));
    for (const auto& c : cases) {
        Owned broken(custom(L"Broken"));
        ASSERT_TRUE(saveReminder(broken));
        std::wstring key = CUSTOM + L"\\Default\\Broken";
        if (c.data) setRaw(key, c.value, REG_BINARY, c.data, c.size);
        else deleteValue(key, c.value);
        Listing list(getReminders(TRUE, nullptr));
        EXPECT_EQ((std::vector<std::wstring>{L"First", L"Last"}), list.names()) << c.what;
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()));
    }
}

TEST_F(Store, NamesFromTheDefaultValueAndOverlongKeys) {
    // A custom reminder's default value only spells its key name; any other text there would make
    // the next save write a second key and leave this one due for ever.
    struct Case {
        const wchar_t* defaultValue;
        const wchar_t* shown;
    } const CASES[] = {{L"BACKUP", L"BACKUP"}, {L"Weekly backup", L"Backup"}, {L"", L"Backup"}};
    const SYSTEMTIME NEXT = at(2027, 1, 7, 9, 0);
    for (const Case& c : CASES) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.defaultValue)));
        Owned rem(custom(L"Backup"));
        ASSERT_TRUE(saveReminder(rem));
        setRaw(CUSTOM + L"\\Default\\Backup", nullptr, REG_SZ, c.defaultValue, DWORD((wcslen(c.defaultValue) + 1) * 2));
        Listing list(getReminders(TRUE, nullptr));
        ASSERT_EQ(std::vector<std::wstring>{c.shown}, list.names());
        *list.head->reminder->nextDue = NEXT;
        ASSERT_TRUE(saveReminder(list.head->reminder));
        Listing after(getReminders(TRUE, nullptr));
        ASSERT_EQ(std::vector<std::wstring>{c.shown}, after.names());
        EXPECT_EQ(0, memcmp(&NEXT, after.head->reminder->nextDue, sizeof NEXT));
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, (CUSTOM + L"\\Default\\Backup").c_str()));
    }

    // A key written by other means, with a name longer than any the suite writes.
    Owned other(custom(L"x"));
    ASSERT_TRUE(saveReminder(other));
    std::wstring longName = CUSTOM + L"\\Default\\" + std::wstring(30, L'z');
    createKey(longName);
    HKEY from, to;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, (CUSTOM + L"\\Default\\x").c_str(), 0, KEY_READ, &from));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, longName.c_str(), 0, KEY_ALL_ACCESS, &to));
    ASSERT_EQ(ERROR_SUCCESS, RegCopyTreeW(from, nullptr, to));
    RegCloseKey(from);
    RegCloseKey(to);
    Listing list(getReminders(TRUE, nullptr));
    EXPECT_EQ((std::vector<std::wstring>{L"x"}), list.names());
}

// What the reader would drop is refused on the way in, with nothing written: otherwise the call
// succeeds and the reminder (or group) is never seen again.
TEST_F(Store, WhatCouldNotBeReadBackIsNotWritten) {
    const std::wstring NAME25(25, L'n'), NAME26(26, L'n'), GROUP30(30, L'g');
    Owned kept(custom(L"Kept"));
    ASSERT_TRUE(saveReminder(kept));
    const RawValue keptDue = raw(CUSTOM + L"\\Default\\Kept", L"Due");

    EXPECT_FALSE(renameReminder(TRUE, nullptr, L"Kept", NAME26.c_str()));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(createGroup(TRUE, GROUP30.c_str()));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(createGroup(FALSE, GROUP30.c_str()));
    // Even where such a group exists (made by hand), nothing is moved into it.
    createKey(CUSTOM + L"\\" + NAME26);
    EXPECT_FALSE(moveReminder(kept, nullptr, NAME26.c_str()));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
    EXPECT_EQ(nullptr, kept->group);
    Owned longName(custom(L"Long"));
    free(longName->name);
    longName->name = wcsdupHeap(NAME26.c_str());
    EXPECT_FALSE(saveReminder(longName));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());

    struct DateCase {
        const char* what;
        SYSTEMTIME due;
        bool postponed;
    } const DATES[] = {
        {"month 13", at(2026, 13, 1, 9, 0), false}, {"month 0", at(2026, 0, 1, 9, 0), false},
        {"day 32", at(2026, 1, 32, 9, 0), false},   {"day 0", at(2026, 1, 0, 9, 0), false},
        {"31 April", at(2026, 4, 31, 9, 0), false}, {"hour 24", at(2026, 1, 5, 24, 0), false},
        {"minute 60", at(2026, 1, 5, 9, 60), false}, {"postponed to month 13", at(2026, 13, 1, 9, 0), true},
        {"postponed to hour 24", at(2026, 1, 5, 24, 0), true},
    };
    for (const DateCase& c : DATES) {
        SCOPED_TRACE(c.what);
        Owned rem(cloneReminder(kept));
        ASSERT_TRUE(rem.r);
        if (c.postponed) {
            rem->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
            *rem->remindLater = c.due;
        } else {
            *rem->nextDue = c.due;
        }
        EXPECT_FALSE(saveReminder(rem));
        EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError());
        EXPECT_EQ(keptDue.bytes, raw(CUSTOM + L"\\Default\\Kept", L"Due").bytes);
        EXPECT_FALSE(raw(CUSTOM + L"\\Default\\Kept", L"RemindLater").bytes.size() == sizeof(SYSTEMTIME));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Kept"}), Listing(getReminders(TRUE, nullptr)).names());

    // The edges that are real: a 25-character name and group, and a 29th of February in a year
    // without one, which the yearly step carries a leap day into.
    EXPECT_TRUE(renameReminder(TRUE, nullptr, L"Kept", NAME25.c_str()));
    EXPECT_TRUE(createGroup(TRUE, NAME25.c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"Default", NAME25}), groups(TRUE));
    Owned leap(custom(L"Leap"));
    *leap->nextDue = at(2027, 2, 29, 23, 59);
    EXPECT_TRUE(saveReminder(leap));
    EXPECT_EQ((std::vector<std::wstring>{L"Leap", NAME25}), Listing(getReminders(TRUE, nullptr)).names());
}

// A frequency the schedule does not know would leave the reminder due at every check.
TEST_F(Store, FrequenciesOutsideTheScheduleAreUnreadable) {
    for (DWORD frequency : {0u, 8u, 9u, 99u, 0xFFFFFFFFu}) {
        Owned rem(custom(L"Often"));
        ASSERT_TRUE(saveReminder(rem));
        setRaw(CUSTOM + L"\\Default\\Often", L"Frequency", REG_BINARY, &frequency, 4);
        EXPECT_EQ(frequency <= FREQ_ONCE ? 1u : 0u, Listing(getReminders(TRUE, nullptr)).names().size()) << frequency;
        rem->frequency = int(frequency);
        EXPECT_EQ(frequency <= FREQ_ONCE, saveReminder(rem) != FALSE) << frequency;
    }
}

// A command is one Windows command line at most; a stored longer one is skipped, not decrypted
// at every check.
TEST_F(Store, CommandsAreOneCommandLineAtMost) {
    const std::wstring LONGEST(32767, L'c');
    Owned rem(custom(L"Long", nullptr, LONGEST.c_str()));
    ASSERT_TRUE(saveReminder(rem));
    Listing list(getReminders(TRUE, nullptr));
    ASSERT_EQ(1u, list.names().size());
    EXPECT_EQ(LONGEST, list.head->reminder->cmd);

    Owned tooLong(custom(L"Too long", nullptr, (LONGEST + L"c").c_str()));
    EXPECT_FALSE(saveReminder(tooLong));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError());
    EXPECT_FALSE(keyExists(CUSTOM + L"\\Default\\Too long"));

    for (size_t chars : {size_t(32768), size_t(1024 * 1024)}) {
        std::string blob = protect(std::wstring(chars, L'x'));
        ASSERT_FALSE(blob.empty());
        setRaw(CUSTOM + L"\\Default\\Long", L"Cmd", REG_BINARY, blob.data(), DWORD(blob.size()));
        EXPECT_TRUE(Listing(getReminders(TRUE, nullptr)).names().empty()) << chars;
    }
}

TEST_F(Store, OpeningGroupKeys) {
    HKEY key = openRemindersKey(TRUE, nullptr, KEY_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, static_cast<HANDLE>(key));
    RegCloseKey(key);
    SetLastError(1234);
    EXPECT_EQ(INVALID_HANDLE_VALUE, static_cast<HANDLE>(openRemindersKey(FALSE, nullptr, KEY_READ)));
    EXPECT_EQ(1234u, GetLastError());
    key = openRemindersKey(FALSE, L"system care", KEY_READ); // display names, any case
    ASSERT_NE(INVALID_HANDLE_VALUE, static_cast<HANDLE>(key));
    RegCloseKey(key);
    EXPECT_EQ(INVALID_HANDLE_VALUE, static_cast<HANDLE>(openRemindersKey(FALSE, L"System", KEY_READ)));

    // How a first run is recognised: "Default" is missing.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, (CUSTOM + L"\\Default").c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, static_cast<HANDLE>(openRemindersKey(TRUE, nullptr, KEY_READ)));
    EXPECT_EQ(2u, GetLastError());
}

TEST_F(Store, BuiltinGroupNames) {
    createKey(BUILTIN + L"\\Nameless"); // no display name: passed over, never compared
    HeapText key(findBuiltinGroupName(L"SYSTEM CARE"));
    EXPECT_STREQ(L"System", key.get());
    EXPECT_EQ(nullptr, findBuiltinGroupName(L"Nameless"));
    EXPECT_EQ(nullptr, findBuiltinGroupName(L"System"));
    EXPECT_EQ((std::vector<std::wstring>{L"Nameless", L"Other", L"Security", L"System Care"}), groups(FALSE));
    EXPECT_EQ((std::vector<std::wstring>{L"Default"}), groups(TRUE));
}

TEST_F(Store, SavingIntoAMissingGroupCreatesNothing) {
    Owned rem(custom(L"Lost", L"Nowhere"));
    EXPECT_FALSE(saveReminder(rem));
    EXPECT_EQ(2u, GetLastError());
    EXPECT_FALSE(keyExists(CUSTOM + L"\\Nowhere"));
}

// Key names that would address the group itself or a hidden nested key are refused.
TEST_F(Store, NamesThatAreNotKeyNamesAreRefused) {
    for (const wchar_t* name : {L"", L"a\\b", L"\\", L"..\\..\\x"}) {
        Owned rem(custom(name));
        EXPECT_FALSE(saveReminder(rem)) << name;
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
        EXPECT_FALSE(deleteReminder(rem));
        EXPECT_FALSE(createGroup(TRUE, name));
        EXPECT_FALSE(deleteGroup(TRUE, name));
    }
    EXPECT_TRUE(keyExists(CUSTOM + L"\\Default"));
    EXPECT_TRUE(keyExists(CUSTOM));
    EXPECT_EQ((std::vector<std::wstring>{L"Default"}), groups(TRUE));
}

TEST_F(Store, GroupsAreCreatedAndDeleted) {
    Owned rem(custom(L"Keep", L"Work"));
    ASSERT_TRUE(createGroup(TRUE, L"Work"));
    ASSERT_TRUE(saveReminder(rem));
    EXPECT_TRUE(createGroup(TRUE, L"work")); // exists: opened, its reminders stay
    EXPECT_EQ(1u, Listing(getReminders(TRUE, L"Work")).names().size());
    EXPECT_TRUE(deleteGroup(TRUE, L"Work"));
    EXPECT_FALSE(keyExists(CUSTOM + L"\\Work"));

    // A built-in group: its reminders go, then the group.
    Owned av(custom(L"Scan", L"Security"));
    av->isCustom = FALSE;
    av->id = wcsdupHeap(L"Anti-Virus");
    ASSERT_TRUE(saveReminder(av));
    EXPECT_TRUE(deleteGroup(FALSE, L"security"));
    EXPECT_EQ((std::vector<std::wstring>{L"Other", L"System Care"}), groups(FALSE));
    EXPECT_TRUE(createGroup(FALSE, L"Security"));
    EXPECT_EQ(L"Security", std::wstring(reinterpret_cast<wchar_t*>(raw(BUILTIN + L"\\Security", nullptr).bytes.data())));
}

TEST_F(Store, AGroupWithAnUnreadableReminderIsKept) {
    ASSERT_TRUE(createGroup(TRUE, L"Work"));
    Owned good(custom(L"Good", L"Work")), bad(custom(L"Bad", L"Work"));
    ASSERT_TRUE(saveReminder(good));
    ASSERT_TRUE(saveReminder(bad));
    deleteValue(CUSTOM + L"\\Work\\Bad", L"YesText");
    EXPECT_FALSE(deleteGroup(TRUE, L"Work"));
    EXPECT_TRUE(keyExists(CUSTOM + L"\\Work\\Bad"));
}

TEST_F(Store, DeleteAllEmptiesBothClasses) {
    ASSERT_TRUE(createGroup(TRUE, L"Work"));
    Owned a(custom(L"A", L"Work")), b(custom(L"B"));
    ASSERT_TRUE(saveReminder(a));
    ASSERT_TRUE(saveReminder(b));
    EXPECT_TRUE(deleteAllReminders());
    EXPECT_TRUE(groups(TRUE).empty());
    EXPECT_TRUE(groups(FALSE).empty());
    EXPECT_TRUE(keyExists(CUSTOM));
}

TEST_F(Store, Rename) {
    Owned a(custom(L"Backup")), b(custom(L"Other"));
    ASSERT_TRUE(saveReminder(a));
    ASSERT_TRUE(saveReminder(b));

    EXPECT_FALSE(renameReminder(TRUE, nullptr, L"Missing", L"X"));
    EXPECT_EQ(2u, GetLastError());

    SetLastError(99);
    EXPECT_TRUE(renameReminder(TRUE, nullptr, L"backup", L"Nightly"));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ((std::vector<std::wstring>{L"Nightly", L"Other"}), Listing(getReminders(TRUE, nullptr)).names());
    EXPECT_FALSE(keyExists(CUSTOM + L"\\Default\\Backup"));

    // Only the letter case changes: the reminder stays and shows the new spelling.
    EXPECT_TRUE(renameReminder(TRUE, nullptr, L"Nightly", L"NIGHTLY"));
    EXPECT_EQ((std::vector<std::wstring>{L"NIGHTLY", L"Other"}), Listing(getReminders(TRUE, nullptr)).names());
    EXPECT_TRUE(renameReminder(TRUE, nullptr, L"nightly", L"Nightly2"));
    EXPECT_EQ((std::vector<std::wstring>{L"Nightly2", L"Other"}), Listing(getReminders(TRUE, nullptr)).names());

    // Onto another reminder of the group: refused, both kept.
    EXPECT_FALSE(renameReminder(TRUE, nullptr, L"Nightly2", L"other"));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(2u, Listing(getReminders(TRUE, nullptr)).names().size());
}

TEST_F(Store, Move) {
    ASSERT_TRUE(createGroup(TRUE, L"Work"));
    Owned rem(custom(L"Report"));
    ASSERT_TRUE(saveReminder(rem));

    EXPECT_FALSE(moveReminder(rem, nullptr, L"Nowhere"));
    EXPECT_EQ(nullptr, rem->group);
    EXPECT_EQ(1u, Listing(getReminders(TRUE, nullptr)).names().size());

    // Into its own group (any spelling): it stays.
    EXPECT_TRUE(moveReminder(rem, nullptr, L"default"));
    EXPECT_EQ(1u, Listing(getReminders(TRUE, nullptr)).names().size());

    EXPECT_TRUE(moveReminder(rem, nullptr, L"Work"));
    EXPECT_STREQ(L"Work", rem->group);
    EXPECT_TRUE(Listing(getReminders(TRUE, nullptr)).names().empty());
    EXPECT_EQ(1u, Listing(getReminders(TRUE, L"Work")).names().size());

    // Onto a reminder of the same name in the target: refused, both kept.
    Owned twin(custom(L"report"));
    ASSERT_TRUE(saveReminder(twin));
    EXPECT_FALSE(moveReminder(twin, nullptr, L"Work"));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(1u, Listing(getReminders(TRUE, nullptr)).names().size());
    EXPECT_EQ(1u, Listing(getReminders(TRUE, L"Work")).names().size());
}

TEST_F(Store, DeleteLeavesTheRecord) {
    Owned rem(custom(L"Gone"));
    ASSERT_TRUE(saveReminder(rem));
    EXPECT_TRUE(deleteReminder(rem));
    EXPECT_STREQ(L"Gone", rem->name);
    EXPECT_FALSE(deleteReminder(rem));
    EXPECT_EQ(2u, GetLastError());
}

const std::wstring GROUP = CUSTOM + L"\\Default";

SYSTEMTIME hostileDate(Rng& rng) {
    SYSTEMTIME t{};
    t.wYear = WORD(pick(rng, 4) ? 2020 + pick(rng, 10) : pick(rng, 65536));
    t.wMonth = WORD(pick(rng, 4) ? 1 + pick(rng, 12) : pick(rng, 15));
    t.wDay = WORD(pick(rng, 4) ? 1 + pick(rng, 28) : pick(rng, 40));
    t.wHour = WORD(pick(rng, 4) ? pick(rng, 24) : pick(rng, 30));
    t.wMinute = WORD(pick(rng, 4) ? pick(rng, 60) : pick(rng, 70));
    return t;
}

// One record as anyone with the registry editor might leave it.
void writeHostileRecord(Rng& rng, const std::wstring& keyName, const std::string& shortCmd) {
    const std::wstring path = GROUP + L"\\" + keyName;
    createKey(path);
    auto setValue = [&](const wchar_t* name, DWORD type, const void* data, size_t size) {
        setRaw(path, name, type, data, DWORD(size));
    };
    auto setText = [&](const wchar_t* name, const std::wstring& text) {
        setValue(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    };
    switch (pick(rng, 5)) {
    case 0: break; // no default value
    case 1: setText(nullptr, keyName); break;
    case 2: setText(nullptr, L"Weekly " + keyName); break;
    case 3: {
        std::wstring upper = keyName;
        CharUpperW(upper.data());
        setText(nullptr, upper);
        break;
    }
    default: setText(nullptr, noise(rng, 40));
    }
    if (pick(rng, 12)) setText(L"ReminderText", noise(rng, 60));
    const DWORD FREQUENCIES[] = {0, 1, 5, 6, 7, 8, 9, 99, 0xFFFFFFFF};
    DWORD frequency = FREQUENCIES[pick(rng, int(std::size(FREQUENCIES)))];
    if (pick(rng, 12)) setValue(L"Frequency", REG_BINARY, &frequency, pick(rng, 10) ? 4 : 2);
    SYSTEMTIME due = hostileDate(rng), later = hostileDate(rng);
    if (pick(rng, 12)) setValue(L"Due", REG_BINARY, &due, pick(rng, 10) ? sizeof due : 12);
    const DWORD none = 0;
    if (pick(rng, 2)) setValue(L"RemindLater", REG_BINARY, &none, 4);
    else setValue(L"RemindLater", REG_BINARY, &later, pick(rng, 10) ? sizeof later : 8);
    DWORD active = pick(rng, 3);
    if (pick(rng, 12)) setValue(L"Active", REG_BINARY, &active, 4);
    if (pick(rng, 12)) setText(L"YesText", noise(rng, 20));
    switch (pick(rng, 6)) {
    case 0: break;
    case 1: {
        std::string junk;
        for (int n = pick(rng, 300); n > 0; --n) junk += char(pick(rng, 256));
        setValue(L"Cmd", REG_BINARY, junk.data(), junk.size());
        break;
    }
    default: setValue(L"Cmd", REG_BINARY, shortCmd.data(), shortCmd.size());
    }
}

std::vector<std::wstring> subkeys() {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, GROUP.c_str(), 0, KEY_READ, &key)) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

// Whatever the records hold, what the store lists can be scheduled, answered and saved: a listed
// reminder is under its own key, its dates and frequency are real, its next date moves past now,
// and saving the answer neither fails nor makes a second key.
TEST_F(Store, HostileRecordsThatAreListedCanBeAnsweredAndSaved) {
    Rng rng(1204);
    const std::string SHORT_CMD = protect(L"notepad.exe");
    ASSERT_FALSE(SHORT_CMD.empty());
    const wchar_t* NAMES[] = {L"Backup", L"backup2", L" lead", L"Weekly backup", L"x", L"Twenty-five characters..",
                              L"Scan & clean", L"Z"};
    SYSTEMTIME now;
    GetLocalTime(&now);
    int listedInAll = 0;
    for (int round = 0; round < 300; ++round) {
        RegDeleteTreeW(HKEY_CURRENT_USER, GROUP.c_str());
        for (int n = 1 + pick(rng, 3); n > 0; --n) {
            std::wstring name = NAMES[pick(rng, int(std::size(NAMES)))];
            writeHostileRecord(rng, name, SHORT_CMD);
        }
        const std::vector<std::wstring> keysBefore = subkeys();
        Listing list(getReminders(TRUE, nullptr));
        for (ReminderList* n = list.head; n; n = n->next) {
            Reminder* rem = n->reminder;
            ++listedInAll;
            SCOPED_TRACE(testing::Message() << "round " << round << " reminder " << testing::PrintToString(std::wstring(rem->name)));
            bool ownKey = false;
            for (const std::wstring& k : keysBefore) ownKey = ownKey || _wcsicmp(k.c_str(), rem->name) == 0;
            ASSERT_TRUE(ownKey);
            ASSERT_GE(rem->frequency, FREQ_DAILY);
            ASSERT_LE(rem->frequency, FREQ_ONCE);
            incrementReminder(rem, FALSE);
            if (rem->frequency != FREQ_ONCE) {
                ASSERT_FALSE(isRemDue(rem, &now));
            }
            ASSERT_TRUE(saveReminder(rem)) << GetLastError();
        }
        ASSERT_EQ(keysBefore, subkeys()) << "round " << round;
    }
    // The generator must leave enough readable records for the checks above to mean something.
    EXPECT_GT(listedInAll, 30);
}

} // namespace
