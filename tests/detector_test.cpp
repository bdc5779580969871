#include "fixture.h"
#include "modal.h"
#include "reminders.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// The loopback server's folders, as this Windows program sees the host's files.
std::wstring hostPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : wchar_t(*p);
    return path;
}

std::wstring stateValue(const wchar_t* name) {
    File f(_wfopen((hostPath(DETECTOR_STATE) + L"\\" + name).c_str(), L"r"));
    char buf[32] = "";
    if (f) fgets(buf, sizeof buf, f);
    std::wstring value;
    for (char* p = buf; *p >= '0' && *p <= '9'; ++p) value += wchar_t(*p);
    return value;
}

std::wstring text(int id) {
    HeapText t(getString(id));
    return std::wstring(t);
}

void setMachineText(const wchar_t* name, const std::wstring& value) {
    HKEY key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD((value.size() + 1) * 2));
    RegCloseKey(key);
}

void registerProgram(HKEY hive, const std::wstring& key, const wchar_t* path, REGSAM view = 0) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr));
    RegSetValueExW(k, L"Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), DWORD((wcslen(path) + 1) * 2));
    RegCloseKey(k);
}

struct Found {
    std::wstring group, cmd, yes;
};

std::map<std::wstring, Found> builtins() {
    std::map<std::wstring, Found> out;
    StringList* groups = getGroups(FALSE);
    for (StringList* g = groups; g; g = g->next) {
        ReminderList* list = getReminders(FALSE, g->string);
        for (ReminderList* n = list; n; n = n->next) {
            out[n->reminder->id] = {g->string, n->reminder->cmd, n->reminder->yesText};
            freeReminder(n->reminder);
        }
        freeReminderList(list);
    }
    freeStringList(groups);
    return out;
}

struct Detector : ::testing::Test {
    void SetUp() override {
        removeUserSettings();
        installAt();
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Built-in", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        RegCloseKey(key);
        registerProgram(HKEY_CURRENT_USER, L"Software\\TolvaDetect\\Suite", L"C:\\Suite\\");
        registerProgram(HKEY_CURRENT_USER, L"Software\\TolvaDetect\\Tune", L"C:\\Tune");
        registerProgram(HKEY_LOCAL_MACHINE, L"Software\\TolvaDetect\\Old32", L"C:\\Wall\\", KEY_WOW64_32KEY);
    }
    void TearDown() override {
        removeUserSettings();
        removeMachineSettings();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TolvaDetect");
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TolvaDetect\\Old32", KEY_WOW64_32KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TolvaDetect", KEY_WOW64_32KEY, 0);
    }
};

// The loopback server's tree for one case of detector_trees.py, as a mirror host.
std::wstring mirror(const wchar_t* tree) { return L"127.0.0.1:" + stateValue(L"port") + L"/" + tree; }

TEST_F(Detector, DetectedProgramsReplaceTheGenericReminders) {
    setMachineText(L"UpdateMirrors", mirror(L"signed"));
    ModalScript script(GetCurrentThreadId(), {{IDYES}, {IDOK}});
    EXPECT_TRUE(restoreDefaultReminders());
    ASSERT_EQ(2u, script.result().size());

    auto found = builtins();
    EXPECT_EQ(0u, found.count(L"Anti-Virus")); // the suite covers both
    EXPECT_EQ(0u, found.count(L"Firewall"));
    EXPECT_EQ(1u, found.count(L"Anti-Malware"));
    EXPECT_EQ(0u, found.count(L"Not Here"));
    EXPECT_EQ(5u + 1 + 3, found.size());

    EXPECT_EQ(text(2625), found[L"Shield Suite"].group);
    EXPECT_EQ(L"\"C:\\Suite\\update.exe\" /silent", found[L"Shield Suite"].cmd);
    EXPECT_EQ(text(788), found[L"Shield Suite"].yes);
    // Registered only in the 32-bit view, found by the 64-bit build too.
    EXPECT_EQ(L"\"C:\\Wall\\fw.exe\" /u /q", found[L"Old Wall"].cmd);
    // No updater: the launch caption and no command; an OT program goes to Other.
    EXPECT_EQ(text(2627), found[L"Tune Tool"].group);
    EXPECT_EQ(L"", found[L"Tune Tool"].cmd);
    EXPECT_EQ(text(2597), found[L"Tune Tool"].yes);
}

TEST_F(Detector, AFailedDownloadIsReportedAndTheGenericRemindersStay) {
    setMachineText(L"UpdateMirrors", L"127.0.0.1:" + stateValue(L"refused"));
    ModalScript script(GetCurrentThreadId(), {{IDYES}, {IDOK}, {IDOK}});
    EXPECT_TRUE(restoreDefaultReminders());
    const auto& windows = script.result();
    ASSERT_EQ(3u, windows.size());
    EXPECT_EQ(0u, windows[1].text.find(text(17)));
    EXPECT_EQ(text(0xA05), windows[1].caption);
    auto found = builtins();
    EXPECT_EQ(8u, found.size());
    EXPECT_EQ(1u, found.count(L"Anti-Virus"));
}

// The database becomes commands the user starts: one without the release key's signature, or
// with a signature of other contents, is a failed download and nothing of it is used.
TEST_F(Detector, OnlyASignedDatabaseIsUsed) {
    const std::pair<const wchar_t*, DWORD> CASES[] = {{L"unsigned", 404}, {L"forged", DWORD(NTE_BAD_SIGNATURE)}};
    for (const auto& [tree, code] : CASES) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(tree)));
        setMachineText(L"UpdateMirrors", mirror(tree));
        ModalScript script(GetCurrentThreadId(), {{IDYES}, {IDOK}, {IDOK}});
        EXPECT_TRUE(restoreDefaultReminders());
        const auto& windows = script.result();
        ASSERT_EQ(3u, windows.size());
        EXPECT_EQ(0u, windows[1].text.find(text(17))) << testing::PrintToString(windows[1].text);
        EXPECT_NE(std::wstring::npos, windows[1].text.find(std::to_wstring(code)));
        auto found = builtins();
        EXPECT_EQ(8u, found.size());
        EXPECT_EQ(0u, found.count(L"Shield Suite"));
        for (const auto& [id, f] : found) EXPECT_EQ(std::wstring::npos, f.cmd.find(L"calc")) << id;
    }
}

} // namespace
