// The Updates page, driven in the test's own thread beside the stand-in update.dll of this
// program's folder (fake_update.cpp), which answers downloads and checks as each test chose.
// The page's worker threads show their boxes themselves; the test thread owns the window those
// boxes belong to, so it keeps pumping its messages while it waits for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fixture.h"
#include "mgr_support.h"

using namespace std::string_literals;

namespace {

std::wstring fakeLog() { return testFolder() + L"\\fake.log"; }
std::wstring probeLog() { return testFolder() + L"\\probe.log"; }

std::wstring newsDestination() {
    HeapText path(expand(L"%TEMP%\\tolva_news.txt"));
    return path.get() ? std::wstring(path) : std::wstring();
}

const wchar_t* const FAKE_SETTINGS[] = {L"TOLVA_FAKE_MIRRORS", L"TOLVA_FAKE_DEAD",  L"TOLVA_FAKE_DOWNLOAD",
                                        L"TOLVA_FAKE_NEWS",    L"TOLVA_FAKE_CHECK", L"TOLVA_FAKE_STALL"};

void setEnv(const wchar_t* name, const std::wstring& value) { SetEnvironmentVariableW(name, value.c_str()); }

void pump(DWORD ms) {
    DWORD start = GetTickCount();
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        pump(20);
    }
    return true;
}

// The whole text, however long: a line cut short by the reader would hide an unbounded one.
std::wstring fullText(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> newsShown(HWND page) {
    return {fullText(page, IDC_U_NEWS1), fullText(page, IDC_U_NEWS2), fullText(page, IDC_U_NEWS3)};
}

// The calls the fake noted of one kind ("download", "check"), without the kind.
std::vector<std::wstring> logged(const std::wstring& kind) {
    std::vector<std::wstring> calls;
    std::wstring all = readUtf8(fakeLog());
    for (size_t start = 0, end; start < all.size(); start = end + 1) {
        end = all.find(L'\n', start);
        if (end == std::wstring::npos) end = all.size();
        std::wstring line = all.substr(start, end - start);
        if (line.rfind(kind + L" ", 0) == 0) calls.push_back(line.substr(kind.size() + 1));
    }
    return calls;
}

std::vector<std::wstring> downloadedUrls() {
    std::vector<std::wstring> urls;
    for (const std::wstring& call : logged(L"signed")) urls.push_back(call.substr(0, call.find(L'|')));
    return urls;
}

std::wstring newsError(DWORD code) { return fillNumber(lang(0x2C6).c_str(), code); }

// UTF-16LE with its byte-order mark, as the mirrors publish the news.
std::wstring writeNews(const std::wstring& text) {
    std::wstring path = makeTempFolder(L"news") + L"\\news.txt";
    writeFile(path, "\xFF\xFE" + utf16(text));
    return path;
}

void setMachineText(const wchar_t* name, const std::wstring& value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void setMachineBinary(const wchar_t* name, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void setLastUpdate(const SYSTEMTIME& t) { setMachineBinary(L"LastUpdate", &t, sizeof t); }

DWORD userDword(const wchar_t* value) {
    DWORD data = 99, size = sizeof data;
    RegGetValueW(HKEY_CURRENT_USER, TOLVA_KEY, value, RRF_RT_REG_DWORD, nullptr, &data, &size);
    return data;
}

std::wstring comboEntry(HWND page, int id, int index) {
    wchar_t buf[256] = L"";
    SendDlgItemMessageW(page, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buf));
    return buf;
}

BOOL CALLBACK findIcon(HWND child, LPARAM param) {
    wchar_t cls[16] = L"";
    GetClassNameW(child, cls, 16);
    if (_wcsicmp(cls, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(param) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

struct Box {
    ModalWindow window;
    HWND owner = nullptr;
    HICON icon = nullptr;
};

// Waits for the box titled `caption`, reads it, runs `meanwhile` while it is up, presses `press`
// and waits until it has gone.
Box answerBox(const std::wstring& caption, int press, const std::function<void()>& meanwhile = {},
              DWORD timeoutMs = 15000) {
    Box box;
    HWND found = nullptr;
    if (!pumpUntil([&] { return (found = FindWindowW(L"#32770", caption.c_str())) && IsWindowVisible(found); },
                   timeoutMs))
        return box;
    pump(200); // the button captions are set when the box first activates
    box.window = readWindow(found);
    box.owner = GetWindow(found, GW_OWNER);
    EnumChildWindows(found, findIcon, reinterpret_cast<LPARAM>(&box.icon));
    if (meanwhile) meanwhile();
    HWND button = GetDlgItem(found, press);
    box.window.pressed = button && box.window.button(press);
    PostMessageW(found, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    pumpUntil([&] { return !IsWindow(found); }, 10000);
    return box;
}

bool boxShown(const std::wstring& caption) { return FindWindowW(L"#32770", caption.c_str()) != nullptr; }

std::vector<int> buttonIds(const ModalWindow& w) {
    std::vector<int> ids;
    for (const ModalButton& b : w.buttons) ids.push_back(b.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// An installation folder with the language files and, unless left out, the probe as the updater.
std::wstring installWithUpdater(bool updater = true) {
    std::wstring dir = makeTempFolder(L"install");
    CreateDirectoryW((dir + L"\\lang").c_str(), nullptr);
    CopyFileW((binFolder() + L"\\lang\\English.lng").c_str(), (dir + L"\\lang\\English.lng").c_str(), FALSE);
    if (updater) CopyFileW((testFolder() + L"\\probe.exe").c_str(), (dir + L"\\TolvaUpdater.exe").c_str(), FALSE);
    installAt(dir);
    return dir;
}

class UpdatePage : public ::testing::Test {
  protected:
    void SetUp() override {
        removeMachineSettings();
        prepareStore();
        for (const wchar_t* name : FAKE_SETTINGS) SetEnvironmentVariableW(name, nullptr);
        setEnv(L"TOLVA_FAKE_LOG", fakeLog());
        setEnv(L"TOLVA_PROBE_LOG", probeLog());
        DeleteFileW(fakeLog().c_str());
        DeleteFileW(probeLog().c_str());
        DeleteFileW(newsDestination().c_str());
    }
    void TearDown() override {
        release();
        if (stall) CloseHandle(stall);
        // The page's threads of this test see the stall gone and finish before the next one.
        pump(300);
        installAt(binFolder());
    }
    // The fake's downloads and checks wait until release().
    void holdFake() {
        std::wstring name = L"TolvaFakeStall-" + std::to_wstring(GetCurrentProcessId());
        stall = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        ResetEvent(stall);
        setEnv(L"TOLVA_FAKE_STALL", name);
    }
    void release() {
        if (stall) SetEvent(stall);
    }
    HANDLE stall = nullptr;
};

} // namespace

TEST_F(UpdatePage, ShowsTheInstalledVersionAndTheLastUpdateOrUnknown) {
    struct Case {
        const char* what;
        const wchar_t* version; // null: no value
        std::optional<SYSTEMTIME> last;
        std::wstring versionShown, lastShown;
    } const CASES[] = {
        {"nothing stored", nullptr, std::nullopt, lang(0x224), lang(0x224)},
        {"both stored", L"1.2.3", at(2024, 3, 5, 7, 9), L"1.2.3", L"05/03/2024 07:09"},
        {"two-digit fields", L"10.0.12", at(1999, 12, 31, 23, 59), L"10.0.12", L"31/12/1999 23:59"},
        {"empty version, no date", L"", std::nullopt, lang(0x224), lang(0x224)},
        {"a date that is none", L"2.0", at(2024, 13, 40, 25, 61), L"2.0", lang(0x224)},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        removeMachineSettings();
        installAt(binFolder());
        if (c.version) setMachineText(L"CurrentVersion", c.version);
        if (c.last) setLastUpdate(*c.last);
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        EXPECT_EQ(c.versionShown, fullText(page, IDC_U_VERSION));
        EXPECT_EQ(c.lastShown, fullText(page, IDC_U_LAST));
    }
    // A value of the wrong size is no date either.
    const BYTE shortValue[8] = {0xE8, 0x07, 3, 0, 0, 0, 5, 0};
    setMachineBinary(L"LastUpdate", shortValue, sizeof shortValue);
    MainWindow win;
    EXPECT_EQ(lang(0x224), fullText(win.page(TAB_UPDATE), IDC_U_LAST));
}

TEST_F(UpdatePage, ADamagedDateFormatIsFilledByHand) {
    setLastUpdate(at(2024, 3, 5, 7, 9));
    MainWindow win;
    HWND page = win.page(TAB_UPDATE);
    struct Case {
        std::wstring format, shown;
    } const CASES[] = {
        {L"%d.%d.%d", L"5.3.2024"},
        {L"%s %n %x %d", L"%s %n %x 5"},
        {L"%d %d %d %d %d %d %d", L"5 3 2024 7 9 %d %d"},
        {L"%%d %02d%", L"%d 05%"},
        {L"%99d|%ld|%5i", L"%99d|5|    3"},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(testing::PrintToString(c.format));
        installWithSecondLanguage({{L"225=%02d/%02d/%d %02d:%02d", L"225=" + c.format}});
        setUserDword(L"Language", static_cast<DWORD>(getLangCode(0)));
        loadStrings();
        EXPECT_EQ(c.shown, fullText(page, IDC_U_LAST));
    }
}

TEST_F(UpdatePage, ALanguageChangeRelabelsRefillsAndRereadsThePage) {
    MainWindow win;
    HWND page = win.page(TAB_UPDATE);
    EXPECT_EQ(0, selectedIndex(page, IDC_U_PREF));
    EXPECT_EQ(lang(0x224), fullText(page, IDC_U_VERSION));
    installWithSecondLanguage({{L"2c0=&Automatic updates:", L"2c0=&Automatische Updates:"},
                               {L"2c4=Check &Now", L"2c4=Jetzt &suchen"},
                               {L"2c5=Latest News", L"2c5=Neuigkeiten"},
                               {L"a29=Do not check for updates", L"a29=Nicht suchen"},
                               {L"a2a=Ask me before installing updates", L"a2a=Vorher fragen"},
                               {L"a2b=Install updates automatically", L"a2b=Automatisch installieren"},
                               {L"224=Unknown", L"224=Unbekannt"}});
    setUserDword(L"AutoUpdate", 2);
    setMachineText(L"CurrentVersion", L"3.1");
    setUserDword(L"Language", static_cast<DWORD>(getLangCode(0)));
    loadStrings();
    EXPECT_EQ(L"&Automatische Updates:", fullText(page, IDC_U_PREF_LABEL));
    EXPECT_EQ(L"Jetzt &suchen", fullText(page, IDC_U_CHECK));
    EXPECT_EQ(L"Neuigkeiten", fullText(page, IDC_U_NEWS));
    EXPECT_EQ(lang(0x2C1), fullText(page, IDC_U_INFO));
    EXPECT_EQ(lang(0x2C2), fullText(page, IDC_U_LAST_LABEL));
    EXPECT_EQ(lang(0x2C3), fullText(page, IDC_U_VERSION_LABEL));
    ASSERT_EQ(3, SendDlgItemMessageW(page, IDC_U_PREF, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Nicht suchen", comboEntry(page, IDC_U_PREF, 0));
    EXPECT_EQ(L"Vorher fragen", comboEntry(page, IDC_U_PREF, 1));
    EXPECT_EQ(L"Automatisch installieren", comboEntry(page, IDC_U_PREF, 2));
    EXPECT_EQ(2, selectedIndex(page, IDC_U_PREF));
    EXPECT_EQ(L"3.1", fullText(page, IDC_U_VERSION));
    EXPECT_EQ(L"Unbekannt", fullText(page, IDC_U_LAST));
}

TEST_F(UpdatePage, ThePreferenceIsWrittenAtOnceAndShownByTheNextWindow) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, TOLVA_KEY, 0, KEY_SET_VALUE, &key));
    RegDeleteValueW(key, L"AutoUpdate");
    RegCloseKey(key);
    {
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        EXPECT_EQ(CB_ERR, selectedIndex(page, IDC_U_PREF)); // no choice made yet, none pretended
        ASSERT_EQ(3, SendDlgItemMessageW(page, IDC_U_PREF, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(lang(0xA29 + i), comboEntry(page, IDC_U_PREF, i));
    }
    for (int index : {2, 0, 1}) {
        SCOPED_TRACE(index);
        {
            MainWindow win;
            chooseIndex(win.page(TAB_UPDATE), IDC_U_PREF, index);
            EXPECT_EQ(static_cast<DWORD>(index), userDword(L"AutoUpdate"));
        }
        MainWindow win;
        EXPECT_EQ(index, selectedIndex(win.page(TAB_UPDATE), IDC_U_PREF));
    }
}

TEST_F(UpdatePage, NewsLinesGoToTheirControls) {
    struct Case {
        const char* what;
        std::wstring file;
        std::vector<std::wstring> shown;
    } const CASES[] = {
        {"one line", L"Tolva 1.1 is out.\r\n", {L"Tolva 1.1 is out.", L"", L""}},
        {"an empty second line", L"First\r\n\r\nThird\r\nFourth\r\n", {L"First", L"", L"Third"}},
        {"no line end at the end", L"Only & line", {L"Only & line", L"", L""}},
        {"controls and marks", L"A\tB\0C\x1b[1mD\x202E" L"E\x2028" L"F\r\nG\x85H\r\n"s, {L"A B C [1mD E F", L"G H", L""}},
        {"blanks around", L"  \t \r\n   Second  \r\n\0\0\0\r\n"s, {L"", L"Second", L""}},
        {"a long line", std::wstring(500, L'x') + L"\r\nnext\r\n", {std::wstring(200, L'x'), L"next", L""}},
        {"a pair cut at the limit", std::wstring(199, L'y') + L"\xD83D\xDE00 tail\r\n", {std::wstring(199, L'y'), L"", L""}},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        DeleteFileW(fakeLog().c_str());
        setEnv(L"TOLVA_FAKE_NEWS", writeNews(c.file));
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        EXPECT_TRUE(pumpUntil([&] { return newsShown(page) == c.shown; }, 10000));
        pump(200); // nothing more arrives
        EXPECT_EQ(c.shown, newsShown(page));
        std::vector<std::wstring> calls = logged(L"signed");
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(L"http://www.ondrel.example/program/news.txt|" + newsDestination(), calls[0]);
    }
}

TEST_F(UpdatePage, TenMegabytesOfGarbageShowAtMostThreeShortCleanLines) {
    constexpr size_t SIZE = 10 * 1024 * 1024;
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    std::string random(SIZE, '\0'), hostile(SIZE, '\0');
    for (char& b : random) b = static_cast<char>(next());
    // Many short lines of the characters a reader trips over.
    const wchar_t ALPHABET[] = {L'\0', L'\r', L'\n', 0x1B, 0x202E, L'A', 0xD800, L' ', 0xFFFF, L'%'};
    for (size_t i = 0; i + 1 < SIZE; i += 2) {
        wchar_t c = ALPHABET[next() % std::size(ALPHABET)];
        hostile[i] = static_cast<char>(c & 0xFF);
        hostile[i + 1] = static_cast<char>(c >> 8);
    }
    struct Case {
        const char* what;
        std::string bytes;
        bool firstShown;       // whether the first line is sure to hold something
        std::wstring firstLine; // what it holds, when that is known
    } const CASES[] = {
        {"random bytes", random, true, L""},
        {"hostile lines", hostile, false, L""},
        {"one endless line", "\xFF\xFE" + utf16(std::wstring(SIZE / 2 - 1, L'A')), true, std::wstring(200, L'A')},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        DeleteFileW(fakeLog().c_str());
        std::wstring path = makeTempFolder(L"garbage") + L"\\news.txt";
        writeFile(path, c.bytes);
        setEnv(L"TOLVA_FAKE_NEWS", path);
        DWORD start = GetTickCount();
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        ASSERT_TRUE(pumpUntil([] { return !logged(L"signed").empty(); }, 10000));
        if (c.firstShown) {
            EXPECT_TRUE(pumpUntil([&] { return !fullText(page, IDC_U_NEWS1).empty(); }, 10000));
        }
        pump(500);
        EXPECT_LT(GetTickCount() - start, 8000u);
        for (const std::wstring& line : newsShown(page)) {
            EXPECT_LE(line.size(), 200u);
            EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](wchar_t ch) {
                return ch < 0x20 || ch == 0x202E || ch == 0x2028;
            })) << testing::PrintToString(line);
        }
        if (!c.firstLine.empty()) {
            EXPECT_EQ(c.firstLine, fullText(page, IDC_U_NEWS1));
        }
        DeleteFileW(path.c_str());
    }
    DeleteFileW(newsDestination().c_str());
}

TEST_F(UpdatePage, NewsComeFromTheFirstMirrorThatAnswers) {
    const std::wstring NEWS = L"From a mirror\r\n", DEFAULT_URL = L"http://www.ondrel.example/program/news.txt";
    std::wstring newsFile = writeNews(NEWS);
    auto url = [](const wchar_t* host) { return L"http://"s + host + L"/program/news.txt"; };
    struct Case {
        const char* what;
        const wchar_t* mirrors;  // null: the library names none
        const wchar_t* dead;
        const wchar_t* download; // null: the fake delivers the news file
        std::vector<std::wstring> urls;
        std::wstring firstLine;
    } const CASES[] = {
        {"no mirror named", nullptr, L"", nullptr, {DEFAULT_URL}, L"From a mirror"},
        {"the first answers", L"m1.example;m2.example", L"", nullptr, {url(L"m1.example")}, L"From a mirror"},
        {"the first is down", L"m1.example;127.0.0.1:8080/tree", L"m1.example", nullptr,
         {url(L"m1.example"), url(L"127.0.0.1:8080/tree")}, L"From a mirror"},
        {"one host listed twice", L"solo.example;SOLO.example", L"solo.example", nullptr, {url(L"solo.example")},
         newsError(2)},
        {"every mirror down", L"m1.example;m2.example", L"m1.example;m2.example", nullptr,
         {url(L"m1.example"), url(L"m2.example")}, newsError(2)},
        {"an HTTP error everywhere", L"m1.example;m2.example", L"", L"4", {url(L"m1.example"), url(L"m2.example")},
         newsError(4)},
        {"an unsigned copy everywhere", L"m1.example;m2.example", L"", L"7", {url(L"m1.example"), url(L"m2.example")},
         newsError(7)},
        {"no file can be written here", L"m1.example;m2.example", L"", L"3", {url(L"m1.example")}, newsError(3)},
        {"a success that left no file", nullptr, L"", L"0", {DEFAULT_URL}, newsError(ERROR_FILE_NOT_FOUND)},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        DeleteFileW(fakeLog().c_str());
        DeleteFileW(newsDestination().c_str());
        SetEnvironmentVariableW(L"TOLVA_FAKE_MIRRORS", c.mirrors);
        setEnv(L"TOLVA_FAKE_DEAD", c.dead);
        SetEnvironmentVariableW(L"TOLVA_FAKE_DOWNLOAD", c.download);
        setEnv(L"TOLVA_FAKE_NEWS", newsFile);
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        EXPECT_TRUE(pumpUntil([&] { return fullText(page, IDC_U_NEWS1) == c.firstLine; }, 10000))
            << testing::PrintToString(fullText(page, IDC_U_NEWS1));
        EXPECT_EQ(c.urls, downloadedUrls());
        EXPECT_EQ(L"", fullText(page, IDC_U_NEWS2));
    }
}

TEST_F(UpdatePage, TheWindowOpensAtOnceWhileTheNewsServerIsSilent) {
    holdFake();
    DWORD start = GetTickCount();
    MainWindow win;
    DWORD took = GetTickCount() - start;
    ASSERT_TRUE(win.dlg);
    EXPECT_LT(took, 2000u);
    HWND page = win.page(TAB_UPDATE);
    // The download has begun and hangs; the page waits without a word and stays usable.
    ASSERT_TRUE(pumpUntil([] { return logged(L"signed").size() == 1; }, 5000));
    pump(300);
    EXPECT_EQ(std::vector<std::wstring>(3), newsShown(page));
    chooseIndex(page, IDC_U_PREF, 1);
    EXPECT_EQ(1u, userDword(L"AutoUpdate"));
    release();
    EXPECT_TRUE(pumpUntil([&] { return fullText(page, IDC_U_NEWS1) == newsError(2); }, 10000))
        << testing::PrintToString(fullText(page, IDC_U_NEWS1));
}

TEST_F(UpdatePage, CheckNowReturnsAtOnceAndRunsOneCheckAtATime) {
    installWithUpdater();
    setEnv(L"TOLVA_FAKE_CHECK", L"0");
    MainWindow win;
    HWND page = win.page(TAB_UPDATE);
    holdFake();
    DWORD start = GetTickCount();
    click(page, IDC_U_CHECK);
    click(page, IDC_U_CHECK); // while the first check is still going
    EXPECT_LT(GetTickCount() - start, 1000u);
    ASSERT_TRUE(pumpUntil([] { return !logged(L"check").empty(); }, 5000));
    pump(300);
    release();
    Box box = answerBox(lang(0xA26), IDOK);
    ASSERT_TRUE(box.window.found);
    EXPECT_EQ(lang(0xA28), box.window.text);
    EXPECT_EQ(std::vector<int>{IDOK}, buttonIds(box.window));
    EXPECT_EQ(LoadIconW(nullptr, IDI_INFORMATION), box.icon);
    EXPECT_EQ(win.dlg, box.owner);
    pump(500);
    EXPECT_FALSE(boxShown(lang(0xA26))); // the second click asked nothing
    EXPECT_EQ(std::vector<std::wstring>{L"0,0"}, logged(L"check"));
    EXPECT_EQ(L"", readUtf8(probeLog()));
}

TEST_F(UpdatePage, CheckNowActsOnTheAnswer) {
    struct Case {
        const char* what;
        int check;
        int press;     // 0: no question is asked
        bool updater;  // TolvaUpdater.exe in the installation folder
        bool started;  // the updater ran and the fields were read again after it
        bool failure;  // the updater could not be started: an error box
    } const CASES[] = {
        {"the check failed", -1, 0, true, false, false},
        {"an unknown answer", 7, 0, true, false, false},
        {"an update declined", 2, IDNO, true, false, false},
        {"an update", 2, IDYES, true, true, false},
        {"a self-update", 1, IDYES, true, true, false},
        {"a re-install", 3, IDYES, true, true, false},
        {"no updater to start", 2, IDYES, false, false, true},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        DeleteFileW(fakeLog().c_str());
        DeleteFileW(probeLog().c_str());
        removeMachineSettings();
        installWithUpdater(c.updater);
        setMachineText(L"CurrentVersion", L"1.0.0");
        setEnv(L"TOLVA_FAKE_CHECK", std::to_wstring(c.check));
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        ASSERT_EQ(L"1.0.0", fullText(page, IDC_U_VERSION));
        click(page, IDC_U_CHECK);
        ASSERT_TRUE(pumpUntil([] { return logged(L"check").size() == 1; }, 5000));
        // What an updater leaves behind, written while the question is up: read again only after
        // the updater has run.
        auto updated = [] {
            setMachineText(L"CurrentVersion", L"1.1.0");
            setLastUpdate(at(2025, 6, 1, 12, 30));
        };
        if (!c.press) {
            pump(1000);
            EXPECT_FALSE(boxShown(lang(0xA26)));
            updated();
        } else {
            Box box = answerBox(lang(0xA26), c.press, updated);
            ASSERT_TRUE(box.window.found);
            EXPECT_TRUE(box.window.pressed);
            EXPECT_EQ(lang(0xA27), box.window.text);
            EXPECT_EQ((std::vector<int>{IDYES, IDNO}), buttonIds(box.window));
            EXPECT_EQ(LoadIconW(nullptr, IDI_QUESTION), box.icon);
            EXPECT_EQ(win.dlg, box.owner);
        }
        if (c.failure) {
            Box error = answerBox(lang(IDS_ERROR_CAPTION), IDOK);
            EXPECT_EQ(lang(0xA04) + fillNumber(lang(IDS_ERROR_CODE).c_str(), ERROR_FILE_NOT_FOUND), error.window.text);
        }
        if (c.started) {
            EXPECT_TRUE(pumpUntil([&] { return fullText(page, IDC_U_VERSION) == L"1.1.0"; }, 15000));
            EXPECT_EQ(L"01/06/2025 12:30", fullText(page, IDC_U_LAST));
            EXPECT_EQ(L"TolvaUpdater.exe|\n", readUtf8(probeLog())); // no parameters
        } else {
            pump(800);
            EXPECT_EQ(L"1.0.0", fullText(page, IDC_U_VERSION));
            EXPECT_EQ(L"", readUtf8(probeLog()));
        }
        pump(300); // the check's thread ends
    }
}

TEST_F(UpdatePage, TheWaitForTheUpdaterLastsWhileAnUpdaterMutexIsHeld) {
    for (const wchar_t* mutex : {L"Tolva Updater Main", L"Tolva Updater Install"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(mutex)));
        removeMachineSettings();
        installWithUpdater();
        setMachineText(L"CurrentVersion", L"1.0.0");
        setEnv(L"TOLVA_FAKE_CHECK", L"2");
        MainWindow win;
        HWND page = win.page(TAB_UPDATE);
        click(page, IDC_U_CHECK);
        // The stand-in updater exits at once without a mutex; the holder stands for the updater's
        // next process, which has taken over.
        std::unique_ptr<Program> holder;
        Box box = answerBox(lang(0xA26), IDYES, [&] {
            holder = std::make_unique<Program>(binFolder() + L"\\mutex_probe.exe", L"\"" + std::wstring(mutex) + L"\" 3000");
            pumpUntil([&] {
                HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, mutex);
                if (m) CloseHandle(m);
                return m != nullptr;
            }, 5000);
            setMachineText(L"CurrentVersion", L"1.1.0");
        });
        ASSERT_TRUE(box.window.pressed);
        ASSERT_TRUE(pumpUntil([] { return !readUtf8(probeLog()).empty(); }, 10000));
        pump(1000);
        EXPECT_EQ(L"1.0.0", fullText(page, IDC_U_VERSION)); // still waiting for the holder
        ASSERT_TRUE(pumpUntil([&] { return holder->waitExit(0); }, 10000));
        EXPECT_TRUE(pumpUntil([&] { return fullText(page, IDC_U_VERSION) == L"1.1.0"; }, 5000));
        pump(300);
    }
}
