#include "common.h"
#include "fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Settings : ::testing::Test {
    void SetUp() override {
        removeUserSettings();
        removeMachineSettings();
    }
    void TearDown() override {
        removeUserSettings();
        removeMachineSettings();
    }
};

void setMachineValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

TEST_F(Settings, MissingKeysGiveTheDocumentedDefaults) {
    EXPECT_EQ(-1, getLanguage());
    EXPECT_EQ(-1, getAutoUpdate());
    EXPECT_EQ(1, isDisplayDueDate());
    EXPECT_EQ(nullptr, getLastUpdate());
    SetLastError(0);
    EXPECT_EQ(nullptr, getStringSetting(L"InstallDir"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    // The key present but the values missing: the same defaults.
    setUserDword(L"Unrelated", 1);
    EXPECT_EQ(-1, getLanguage());
    EXPECT_EQ(-1, getAutoUpdate());
    EXPECT_EQ(1, isDisplayDueDate());
}

TEST_F(Settings, StoredValuesAreReadBackOnEveryCall) {
    setUserDword(L"Language", 3);
    setUserDword(L"AutoUpdate", 2);
    setUserDword(L"DisplayDueDate", 0);
    EXPECT_EQ(3, getLanguage());
    EXPECT_EQ(2, getAutoUpdate());
    EXPECT_EQ(0, isDisplayDueDate());
    // Nothing is cached: another program's change is seen at the next read.
    setUserDword(L"Language", 5);
    EXPECT_EQ(5, getLanguage());
}

TEST_F(Settings, TextWithoutTerminatorIsStillTerminated) {
    struct Case {
        const char* bytes;
        DWORD size;
        const wchar_t* expected;
    } cases[] = {
        {"a\0b\0c\0", 6, L"abc"},        // no terminating zero stored
        {"a\0b\0c\0d", 7, L"abc" L"d"},  // odd byte count: the last byte lands in a zeroed character
        {"", 0, L""},                    // empty data
        {"x\0\0\0", 4, L"x"},            // the usual stored form
    };
    for (const auto& c : cases) {
        setMachineValue(L"InstallDir", REG_SZ, c.bytes, c.size);
        HeapText text(getStringSetting(L"InstallDir"));
        ASSERT_NE(nullptr, text.get());
        // The odd byte is the low half of a character whose high half is zero.
        EXPECT_STREQ(c.expected, text.get()) << "size " << c.size;
    }
}

TEST_F(Settings, LastUpdateMustBeSixteenBytes) {
    SYSTEMTIME st{2026, 12, 4, 10, 9, 30, 15, 250};
    setMachineValue(L"LastUpdate", REG_BINARY, &st, sizeof st);
    SYSTEMTIME* got = getLastUpdate();
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(0, memcmp(&st, got, sizeof st));
    free(got);
    setMachineValue(L"LastUpdate", REG_BINARY, &st, 12);
    EXPECT_EQ(nullptr, getLastUpdate());
    setMachineValue(L"LastUpdate", REG_BINARY, &st, 4);
    EXPECT_EQ(nullptr, getLastUpdate());
}

TEST(Languages, CodesAndIndexesConvertOnlyWithinTheTable) {
    for (int i = 0; i < NUM_LANGUAGES; ++i) {
        EXPECT_EQ(i, getLangIndex(getLangCode(i)));
    }
    EXPECT_STREQ(L"English", LANGUAGE_FILES[getLangIndex(1)]);
    EXPECT_STREQ(L"BrazilianPortuguese", LANGUAGE_FILES[getLangIndex(6)]);
    for (int bad : {7, -1, 100, INT_MIN, INT_MAX}) {
        EXPECT_EQ(-1, getLangIndex(bad)) << bad;
        EXPECT_EQ(-1, getLangCode(bad)) << bad;
    }
}

TEST(Environment, WindowsVersionCodes) {
    struct Case {
        DWORD major, minor;
        BYTE type;
        int code;
    } cases[] = {
        {5, 0, VER_NT_WORKSTATION, 1}, {5, 0, VER_NT_SERVER, 1},      {5, 1, VER_NT_WORKSTATION, 2},
        {5, 2, VER_NT_WORKSTATION, 0}, {5, 2, VER_NT_SERVER, 0},      {6, 0, VER_NT_WORKSTATION, 3},
        {6, 0, VER_NT_SERVER, 0},      {6, 1, VER_NT_WORKSTATION, 4}, {6, 1, VER_NT_DOMAIN_CONTROLLER, 0},
        {6, 2, VER_NT_WORKSTATION, 5}, {6, 3, VER_NT_WORKSTATION, 5},   {6, 2, VER_NT_SERVER, 0},
        {10, 0, VER_NT_WORKSTATION, 6}, {10, 0, VER_NT_SERVER, 0},     {6, 4, VER_NT_WORKSTATION, 0},
        {11, 0, VER_NT_WORKSTATION, 0}, {4, 0, VER_NT_WORKSTATION, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, osVersionCode(c.major, c.minor, c.type)) << c.major << "." << c.minor << " " << int(c.type);
    // Wine reports Windows 7 unless told otherwise.
    EXPECT_EQ(4, getOSVersion());
}

// A token group list larger than a fixed 1024-byte buffer still finds the Administrators group.
TEST(Environment, AdministratorsFoundInALongGroupList) {
    const DWORD count = 200;
    std::vector<BYTE> buffer(sizeof(TOKEN_GROUPS) + count * sizeof(SID_AND_ATTRIBUTES));
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
    groups->GroupCount = count;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    std::vector<PSID> sids;
    for (DWORD i = 0; i < count; ++i) {
        PSID sid;
        ASSERT_TRUE(AllocateAndInitializeSid(&nt, 5, SECURITY_NT_NON_UNIQUE, 11, 22, 33, 1000 + i, 0, 0, 0, &sid));
        sids.push_back(sid);
        groups->Groups[i].Sid = sid;
    }
    EXPECT_FALSE(tokenGroupsHoldAdmin(groups));
    PSID admins;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                         0, 0, &admins));
    groups->Groups[count - 1].Sid = admins;
    groups->Groups[count - 1].Attributes = SE_GROUP_USE_FOR_DENY_ONLY; // a filtered token still counts
    EXPECT_TRUE(tokenGroupsHoldAdmin(groups));
    for (PSID sid : sids) FreeSid(sid);
    FreeSid(admins);
    // Wine's default user belongs to the Administrators group.
    EXPECT_TRUE(isAdmin());
}

TEST(Environment, SingleInstanceAcrossProcesses) {
    std::wstring probe = L"\"" + exeFolder() + L"\\mutex_probe.exe\" ";
    std::wstring name = L"Tolva Test " + std::to_wstring(GetCurrentProcessId());
    DWORD code;
    // The name is free: a first start.
    EXPECT_EQ(L"first\r\n", runCapture(probe + L"\"" + name + L"\"", &code));
    // Its holder has exited, so the next start is a first start again.
    EXPECT_EQ(L"first\r\n", runCapture(probe + L"\"" + name + L"\"", &code));
    // While this process holds it, another process is told it is already running.
    EXPECT_FALSE(isAlreadyRunning(name.c_str()));
    EXPECT_EQ(L"running\r\n", runCapture(probe + L"\"" + name + L"\"", &code));
    EXPECT_EQ(1u, code);
}

TEST(Environment, ExpandKeepsUnknownVariables) {
    SetEnvironmentVariableW(L"TOLVA_TEST_VAR", L"C:\\x");
    HeapText a(expand(L"%TOLVA_TEST_VAR%\\y %TOLVA_UNDEFINED_VAR%"));
    EXPECT_STREQ(L"C:\\x\\y %TOLVA_UNDEFINED_VAR%", a.get());
    std::wstring longText(5000, L'a');
    HeapText b(expand((longText + L"%TOLVA_TEST_VAR%").c_str()));
    EXPECT_EQ(longText + L"C:\\x", std::wstring(b.get()));
}

TEST(StringLists, AppendKeepsOrder) {
    freeStringList(nullptr);
    StringList* list = addString(nullptr, L"a");
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(list, addString(list, L"b"));
    addString(list, L"c");
    std::wstring joined;
    for (StringList* n = list; n; n = n->next) joined += n->string;
    EXPECT_EQ(L"abc", joined);
    freeStringList(list);
}

} // namespace
