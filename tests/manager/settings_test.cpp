// The Settings and About pages, driven in the test's own thread; reg.exe reads what they wrote.
#include <gtest/gtest.h>

#include "fixture.h"
#include "mgr_support.h"

namespace {

const DWORD ME = GetCurrentThreadId();
const wchar_t RUN[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class SettingsPage : public ::testing::Test {
  protected:
    void SetUp() override {
        prepareStore();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN, L"Tolva");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\.tlm");
        setUserDword(L"DisplayDueDate", 0);
    }
    void TearDown() override { installAt(binFolder()); }
};

// What a click on an automatic check box does: the box flips and its page hears of it.
void toggle(HWND page, int id) {
    CheckDlgButton(page, id, IsDlgButtonChecked(page, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    click(page, id);
}

bool isChecked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

std::wstring regQuery(const std::wstring& key, const wchar_t* value) {
    return runCapture(L"reg query \"HKCU\\" + key + L"\"" + (value ? std::wstring(L" /v ") + value : L" /ve"));
}

std::wstring userString(const wchar_t* key, const wchar_t* value) {
    wchar_t buf[1024] = L"";
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return L"<none>";
    return buf;
}

DWORD userDword(const wchar_t* value) {
    DWORD data = 99, size = sizeof data;
    RegGetValueW(HKEY_CURRENT_USER, TOLVA_KEY, value, RRF_RT_REG_DWORD, nullptr, &data, &size);
    return data;
}

// Types a path into a standard Open or Save dialog and presses OK.
ModalStep typePath(std::wstring path) {
    return {IDOK, [path](HWND dlg) {
                for (int id : {0x47c, 0x480}) // the file name box: a combo box or an edit
                    if (HWND box = GetDlgItem(dlg, id)) SetWindowTextW(box, path.c_str());
            }};
}

} // namespace

TEST_F(SettingsPage, CheckBoxesAreWrittenAtOnceAndReadBackOnTheNextStart) {
    std::wstring tolva = L"\"" + binFolder() + L"\\Tolva.exe\"";
    std::wstring command = L"\"" + binFolder() + L"\\manager.exe\" \"%1\"";
    {
        MainWindow win;
        HWND page = win.page(TAB_SETTINGS);
        for (int id : {IDC_S_RUN, IDC_S_ASSOC, IDC_S_DUEDATE}) EXPECT_FALSE(isChecked(page, id)) << id;
        toggle(page, IDC_S_RUN);
        toggle(page, IDC_S_ASSOC);
        toggle(page, IDC_S_DUEDATE);
        EXPECT_EQ(tolva, userString(RUN, L"Tolva"));
        EXPECT_EQ(L"TolvaReminders", userString(L"Software\\Classes\\.tlm", nullptr));
        EXPECT_EQ(command, userString(L"Software\\Classes\\TolvaReminders\\shell\\open\\command", nullptr));
        EXPECT_EQ(1u, userDword(L"DisplayDueDate"));
        EXPECT_NE(std::wstring::npos, regQuery(RUN, L"Tolva").find(tolva));
        EXPECT_NE(std::wstring::npos,
                  regQuery(L"Software\\Classes\\TolvaReminders\\shell\\open\\command", nullptr).find(command));
    }
    {
        MainWindow win;
        HWND page = win.page(TAB_SETTINGS);
        for (int id : {IDC_S_RUN, IDC_S_ASSOC, IDC_S_DUEDATE}) EXPECT_TRUE(isChecked(page, id)) << id;
        toggle(page, IDC_S_RUN);
        toggle(page, IDC_S_ASSOC);
        toggle(page, IDC_S_DUEDATE);
        EXPECT_EQ(L"<none>", userString(RUN, L"Tolva"));
        EXPECT_EQ(L"TolvaReminders", userString(L"Software\\Classes\\.tlm", nullptr)); // the extension key stays
        HKEY gone;
        EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\TolvaReminders", 0, KEY_READ, &gone));
        EXPECT_EQ(0u, userDword(L"DisplayDueDate"));
        // Clearing start-up again with the value already gone says nothing.
        CheckDlgButton(page, IDC_S_RUN, BST_UNCHECKED);
        click(page, IDC_S_RUN);
    }
    MainWindow win;
    HWND page = win.page(TAB_SETTINGS);
    for (int id : {IDC_S_RUN, IDC_S_ASSOC, IDC_S_DUEDATE}) EXPECT_FALSE(isChecked(page, id)) << id;
    EXPECT_EQ(1, selectedIndex(page, IDC_S_LANG)); // English
}

TEST_F(SettingsPage, WithoutAnInstallationFolderTheBoxesShowWhatIsStored) {
    MainWindow win;
    HWND page = win.page(TAB_SETTINGS);
    removeMachineSettings();
    for (int id : {IDC_S_RUN, IDC_S_ASSOC}) {
        ModalAnswer box(ME, IDOK);
        toggle(page, id);
        EXPECT_TRUE(box.result().found) << id;
    }
    // Start-up keeps its tick (what the user asked for stands; only the path was missing), the
    // association is taken back because its command was never written.
    EXPECT_TRUE(isChecked(page, IDC_S_RUN));
    EXPECT_FALSE(isChecked(page, IDC_S_ASSOC));
    EXPECT_EQ(L"<none>", userString(RUN, L"Tolva"));
    EXPECT_EQ(L"<none>", userString(L"Software\\Classes\\TolvaReminders\\shell\\open\\command", nullptr));
}

TEST_F(SettingsPage, ALanguageChangeRelabelsEveryPageAndTranslatesTheBuiltIns) {
    installWithSecondLanguage({{L"200=Built-in Reminders", L"200=Eingebaute Erinnerungen"},
                               {L"28c=&New Reminder", L"28c=&Neue Erinnerung"},
                               {L"2a4=&Start Tolva", L"2a4=Tolva beim &Anmelden starten; &Start Tolva"},
                               {L"2b3=&Help", L"2b3=&Hilfe"},
                               {L"2c4=Check &Now", L"2c4=Jetzt &suchen"},
                               {L"a42=System", L"a42=Systemwerkzeuge"},
                               {L"a54=Disk Defragmentation", L"a54=Defragmentierung"}});
    // The three built-in groups of a set-up user.
    createGroup(FALSE, L"Security");
    createGroup(FALSE, L"Other");
    storeReminder({L"Defrag", false, nowPlusMinutes(24 * 60), FREQ_MONTHLY, true, L":defrag", L"&Launch"});
    MainWindow win;
    HWND builtin = win.page(TAB_BUILTIN), settings = win.page(TAB_SETTINGS);
    ASSERT_TRUE(selectItem(builtin, IDC_X_TREE, L"System", L"Defrag"));
    chooseIndex(builtin, IDC_X_FREQ, FREQ_YEARLY); // not saved yet: the change must write it first

    chooseIndex(settings, IDC_S_LANG, 0);
    EXPECT_EQ(static_cast<DWORD>(getLangCode(0)), userDword(L"Language"));
    EXPECT_EQ(L"Eingebaute Erinnerungen", tabTitle(TAB_BUILTIN));
    EXPECT_EQ(L"&Neue Erinnerung", itemTextOf(win.page(TAB_CUSTOM), IDC_R_NEWREM));
    EXPECT_EQ(L"&Hilfe", itemTextOf(win.page(TAB_ABOUT), IDC_A_HELP));
    EXPECT_EQ(L"Jetzt &suchen", itemTextOf(win.page(TAB_UPDATE), IDC_U_CHECK));
    EXPECT_EQ(0u, itemTextOf(settings, IDC_S_RUN).find(L"Tolva beim &Anmelden starten"));
    EXPECT_TRUE(findItem(GetDlgItem(builtin, IDC_X_TREE), L"Systemwerkzeuge", L"Defragmentierung"));
    ReminderList* list = getReminders(FALSE, L"Systemwerkzeuge");
    ASSERT_TRUE(list);
    EXPECT_STREQ(L"Defragmentierung", list->reminder->name);
    EXPECT_EQ(FREQ_YEARLY, list->reminder->frequency);
    freeReminder(list->reminder);
    freeReminderList(list);
}

// The shipped language files, read here on their own: what every page shows after the change.
std::wstring shippedText(const wchar_t* language, int id) {
    std::string bytes = readFileBytes(binFolder() + L"\\lang\\" + language + L".lng");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    wchar_t key[16];
    swprintf(key, 16, L"\n%x=", id);
    size_t at = text.find(key);
    if (at == std::wstring::npos) return L"<missing>";
    at += wcslen(key);
    return text.substr(at, text.find(L'\r', at) - at);
}

TEST_F(SettingsPage, TheShippedLanguagesRelabelEveryPageAndTranslateTheBuiltIns) {
    createGroup(FALSE, L"Security");
    createGroup(FALSE, L"Other");
    // Stored under its template's key, as the set-up stores it.
    storeReminder({L"Defrag", false, nowPlusMinutes(24 * 60), FREQ_MONTHLY, true, L":defrag", L"&Launch"});
    MainWindow win;
    HWND settings = win.page(TAB_SETTINGS);
    struct Case {
        int index;
        const wchar_t* file;
    } cases[] = {{0, L"German"}, {2, L"Spanish"}, {1, L"English"}};
    for (const Case& c : cases) {
        chooseIndex(settings, IDC_S_LANG, c.index);
        std::string what(c.file, c.file + wcslen(c.file));
        EXPECT_EQ(shippedText(c.file, 0x200), tabTitle(TAB_BUILTIN)) << what;
        EXPECT_EQ(shippedText(c.file, 0x28c), itemTextOf(win.page(TAB_CUSTOM), IDC_R_NEWREM)) << what;
        EXPECT_EQ(shippedText(c.file, 0x2c4), itemTextOf(win.page(TAB_UPDATE), IDC_U_CHECK)) << what;
        EXPECT_EQ(shippedText(c.file, 0x2a4), itemTextOf(settings, IDC_S_RUN)) << what;
        EXPECT_EQ(shippedText(c.file, 0x2b3), itemTextOf(win.page(TAB_ABOUT), IDC_A_HELP)) << what;
        EXPECT_EQ(shippedText(c.file, IDS_CLOSE), itemTextOf(mainDlg, IDC_CLOSE)) << what;
        std::wstring group = shippedText(c.file, 0xa42), name = shippedText(c.file, 0xa54);
        EXPECT_TRUE(findItem(GetDlgItem(win.page(TAB_BUILTIN), IDC_X_TREE), group.c_str(), name.c_str())) << what;
        ReminderList* list = getReminders(FALSE, group.c_str());
        ASSERT_TRUE(list) << what;
        EXPECT_EQ(name, list->reminder->name) << what;
        freeReminder(list->reminder);
        freeReminderList(list);
    }
}

TEST_F(SettingsPage, ImportAndExportThroughTheFileDialogs) {
    std::wstring folder = makeTempFolder(L"dialogs");
    storeCustom(L"Default", L"Mine", nowPlusMinutes(24 * 60), L"stored");
    MainWindow win;
    HWND settings = win.page(TAB_SETTINGS), custom = win.page(TAB_CUSTOM);
    ASSERT_TRUE(selectItem(custom, IDC_R_TREE, L"Default", L"Mine"));
    typeText(custom, IDC_R_TEXT, L"edited before the export");
    std::wstring path = folder + L"\\mine";
    {
        ModalScript answers(ME, {typePath(path), {IDOK}});
        click(settings, IDC_S_EXPORT);
        ASSERT_EQ(2u, answers.result().size());
        EXPECT_EQ(lang(0x232), answers.result()[0].caption);
        EXPECT_EQ(0u, answers.result()[1].text.find(lang(0x223)));
    }
    EXPECT_FALSE(isCUnsaved()); // saved without a question before the export
    std::string bytes = readFileBytes(path + L".tlm");
    EXPECT_NE(std::string::npos, bytes.find(utf16(L"Mine,1,edited before the export,")));

    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default");
    typeText(custom, IDC_R_TEXT, L"unsaved");
    {
        ModalScript cancel(ME, {{IDCANCEL}});
        click(settings, IDC_S_IMPORT);
        ASSERT_EQ(1u, cancel.result().size());
        EXPECT_EQ(lang(IDS_UNSAVED_QUESTION), cancel.result()[0].text);
    }
    EXPECT_TRUE(isCUnsaved());
    {
        ModalScript answers(ME, {{IDNO}, typePath(path + L".tlm"), {IDC_APPEND}, {IDOK}});
        click(settings, IDC_S_IMPORT);
        ASSERT_EQ(4u, answers.result().size());
        EXPECT_EQ(lang(0x231), answers.result()[1].caption);
        EXPECT_EQ(lang(0x2A7), answers.result()[2].caption);
        EXPECT_EQ(0u, answers.result()[3].text.find(lang(0x221)));
    }
    EXPECT_STREQ(L"edited before the export", storedCustom(L"Default", L"Mine")->reminderText);
    // Both pages show what the store now holds.
    EXPECT_FALSE(isCUnsaved());
    ASSERT_TRUE(selectItem(custom, IDC_R_TREE, L"Default", L"Mine"));
    EXPECT_EQ(L"edited before the export", itemTextOf(custom, IDC_R_TEXT));
}

TEST(AboutPage, TitlePictureAndLicence) {
    prepareStore();
    MainWindow win;
    HWND page = win.page(TAB_ABOUT);
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(page, IDC_A_TITLE, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    RECT picture{};
    GetWindowRect(GetDlgItem(page, IDC_A_PICTURE), &picture);
    EXPECT_EQ(164, picture.right - picture.left); // sized to the bitmap it draws
    EXPECT_EQ(163, picture.bottom - picture.top);
    EXPECT_EQ(lang(0x2B0), itemTextOf(page, IDC_A_TITLE));

    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((binFolder() + L"\\EULA.txt").c_str()));
    click(page, IDC_A_EULA);
    HWND notepad = nullptr;
    for (DWORD start = GetTickCount(); !notepad && GetTickCount() - start < 15000; Sleep(100)) {
        HWND w = FindWindowW(L"Notepad", nullptr);
        wchar_t title[256] = L"";
        if (w) GetWindowTextW(w, title, 256);
        if (w && wcsstr(title, L"EULA")) notepad = w;
    }
    ASSERT_TRUE(notepad);
    PostMessageW(notepad, WM_CLOSE, 0, 0);
}
