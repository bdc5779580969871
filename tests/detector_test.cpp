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
        std::wstring db = L"\xFEFF"
                          L"Shield Suite,SS,U,Software\\TolvaDetect\\Suite,Dir,update.exe,/silent\r\n"
                          L"Tune Tool,OT,U,Software\\TolvaDetect\\Tune,Dir, , \r\n"
                          L"Old Wall,FW,M,Software\\TolvaDetect\\Old32,Dir,fw.exe,/u /q\r\n"
                          L"Not Here,AM,M,Software\\TolvaDetect\\None,Dir,x.exe,/x\r\n";
        std::wstring www = hostPath(DETECTOR_WWW);
        CreateDirectoryW(www.c_str(), nullptr);
        CreateDirectoryW((www + L"\\development").c_str(), nullptr);
        writeFile(www + L"\\development\\database", utf16(db));
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

TEST_F(Detector, DetectedProgramsReplaceTheGenericReminders) {
    setMachineText(L"UpdateMirrors", L"127.0.0.1:" + stateValue(L"port"));
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

} // namespace
