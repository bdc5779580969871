// Reminder commands, the temporary-file cleanup, the tray menu and the programs it starts.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "Tolva.h"

#include <winioctl.h>
#include "fixture.h"
#include "modal.h"
#include "ntf_support.h"

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : std::wstring();
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring probeLog() { return testFolder() + L"\\probe.log"; }

// Waits for the probe to write, or for a quiet moment when nothing is expected.
std::wstring probeLines(bool expectSome) {
    std::wstring lines;
    for (int i = 0; i < 100; ++i) {
        lines = readUtf8(probeLog());
        if (expectSome && !lines.empty()) break;
        if (!expectSome && i >= 6) break;
        Sleep(50);
    }
    return lines;
}

// A junction (mount point) from `link` to `target`, as the system's own tools make them.
bool makeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::wstring substitute = L"\\??\\" + target, print = target;
    std::vector<BYTE> buf(8 + 8 + (substitute.size() + print.size() + 2) * 2);
    auto* d = reinterpret_cast<WORD*>(buf.data());
    *reinterpret_cast<DWORD*>(buf.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    d[2] = static_cast<WORD>(buf.size() - 8);                 // data length
    d[4] = 0;                                                  // substitute offset
    d[5] = static_cast<WORD>(substitute.size() * 2);           // substitute length
    d[6] = static_cast<WORD>((substitute.size() + 1) * 2);     // print offset
    d[7] = static_cast<WORD>(print.size() * 2);                // print length
    auto* path = reinterpret_cast<wchar_t*>(buf.data() + 16);
    wcscpy(path, substitute.c_str());
    wcscpy(path + substitute.size() + 1, print.c_str());
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buf.data(), static_cast<DWORD>(buf.size()), nullptr, 0,
                              &got, nullptr);
    CloseHandle(h);
    if (!ok) RemoveDirectoryW(link.c_str());
    return ok;
}

// An installation folder holding the probe as `program` and the language files.
std::wstring installWith(const wchar_t* program) {
    std::wstring dir = makeTempFolder(L"install");
    CreateDirectoryW((dir + L"\\lang").c_str(), nullptr);
    CopyFileW((binFolder() + L"\\lang\\English.lng").c_str(), (dir + L"\\lang\\English.lng").c_str(), FALSE);
    if (program) CopyFileW((testFolder() + L"\\probe.exe").c_str(), (dir + L"\\" + program).c_str(), FALSE);
    installAt(dir);
    return dir;
}

#ifdef LINK_CASE_UNIX
// The folder the test run laid out with host links, as this Windows program sees it.
std::wstring linkCaseFolder() {
    std::wstring host = L"Z:";
    for (const char* p = LINK_CASE_UNIX; *p; ++p) host += *p == '/' ? L'\\' : wchar_t(*p);
    return host;
}
#endif

} // namespace

// Nested folders, a read-only file, a file held open and a junction to a folder outside: what can
// go goes, the folder outside is untouched, and the cleanup says it is done.
TEST(TempCleanup, EmptiesTheFolderWithoutFollowingLinks) {
    prepareStore();
    std::wstring root = makeTempFolder(L"temp"), outside = makeTempFolder(L"outside");
    bool hostLink = false;
#ifdef LINK_CASE_UNIX
    // Wine can't make junctions, but it shows a host symbolic link as a reparse point: the test
    // run lays out such a link (link -> outside) before this program starts.
    std::wstring host = linkCaseFolder();
    if (exists(host + L"\\scratch\\link")) root = host + L"\\scratch", outside = host + L"\\outside", hostLink = true;
#endif
    writeFile(outside + L"\\precious.txt", "keep me");
    writeFile(root + L"\\loose.tmp", "x");
    CreateDirectoryW((root + L"\\nested").c_str(), nullptr);
    CreateDirectoryW((root + L"\\nested\\deeper").c_str(), nullptr);
    writeFile(root + L"\\nested\\a.tmp", "a");
    writeFile(root + L"\\nested\\deeper\\b.tmp", "b");
    writeFile(root + L"\\readonly.tmp", "r");
    SetFileAttributesW((root + L"\\readonly.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    writeFile(root + L"\\inuse.tmp", "o");
    HANDLE open = CreateFileW((root + L"\\inuse.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    // A junction where the file system makes them, else a folder symbolic link.
    bool junction = exists(root + L"\\link") || makeJunction(root + L"\\link", outside) ||
                    CreateSymbolicLinkW((root + L"\\link").c_str(), outside.c_str(),
                                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    junction = junction && exists(root + L"\\link\\precious.txt");
    // And a link to a single file outside: removing it must never remove the file it names.
    if (!hostLink) writeFile(outside + L"\\linked.txt", "keep me\n");
    bool fileLink = exists(root + L"\\filelink") ||
                    CreateSymbolicLinkW((root + L"\\filelink").c_str(), (outside + L"\\linked.txt").c_str(),
                                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);

    ModalAnswer done(GetCurrentThreadId(), IDOK);
    const wchar_t* const folders[] = {root.c_str()};
    cleanTempFolders(folders, 1, false);
    const ModalWindow& box = done.result();
    CloseHandle(open);

    EXPECT_TRUE(box.pressed);
    EXPECT_EQ(box.caption, L"Tolva");
    EXPECT_EQ(box.text, text(IDS_TEMP_CLEANED));
    struct Expect {
        const wchar_t* path;
        bool remains;
    } const AFTER[] = {
        {L"", true},            {L"\\loose.tmp", false},   {L"\\nested", false},
        {L"\\readonly.tmp", true}, {L"\\inuse.tmp", true}, {L"\\link", false},
    };
    for (const auto& e : AFTER) {
        // Wine can delete neither a host link nor what it points to through it; only the outside matters there.
        if (hostLink && wcscmp(e.path, L"\\link") == 0) continue;
        EXPECT_EQ(exists(root + e.path), e.remains) << std::string(e.path, e.path + wcslen(e.path));
    }
    EXPECT_EQ(readUtf8(outside + L"\\precious.txt"), L"keep me");
    EXPECT_EQ(readUtf8(outside + L"\\linked.txt"), L"keep me\n");
    if (!junction || !fileLink) GTEST_SKIP() << "this system cannot make links; a link case was not exercised";
}

// The cleanup acts on what its listing found. A folder listed as a plain one and swapped for a
// link to somewhere else before the cleanup reaches it is not followed.
TEST(TempCleanup, DoesNotFollowAFolderSwappedForALinkAfterTheListing) {
    prepareStore();
    std::wstring root = makeTempFolder(L"swap"), elsewhere = makeTempFolder(L"swapped-to");
    bool linked = false;
#ifdef LINK_CASE_UNIX
    // Wine moves what a host link points to rather than the link, so the fixture lays the link
    // in place beforehand and the listing handed to the cleanup is the one from before the swap.
    std::wstring host = linkCaseFolder();
    if (exists(host + L"\\swap-root\\sub")) root = host + L"\\swap-root", elsewhere = host + L"\\swapped-to", linked = true;
#endif
    if (!linked)
        linked = makeJunction(root + L"\\sub", elsewhere) ||
                 CreateSymbolicLinkW((root + L"\\sub").c_str(), elsewhere.c_str(),
                                     SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!linked) GTEST_SKIP() << "this system cannot make folder links";
    writeFile(elsewhere + L"\\precious.txt", "keep me");
    writeFile(root + L"\\loose.tmp", "x");
    ASSERT_TRUE(exists(root + L"\\sub\\precious.txt"));
    std::wstring folder = emptiableFolder(root.c_str());
    ASSERT_FALSE(folder.empty());

    const std::vector<Found> listedBeforeTheSwap = {{L"sub", FILE_ATTRIBUTE_DIRECTORY},
                                                    {L"loose.tmp", FILE_ATTRIBUTE_ARCHIVE}};
    emptyListed(folder, listedBeforeTheSwap);

    EXPECT_EQ(readUtf8(elsewhere + L"\\precious.txt"), L"keep me");
    EXPECT_FALSE(exists(root + L"\\loose.tmp"));
}

// Nothing is left behind because its path is longer than MAX_PATH.
TEST(TempCleanup, EmptiesTreesDeeperThanMaxPath) {
    prepareStore();
    std::wstring root = makeTempFolder(L"deep");
    std::wstring deep = L"\\\\?\\" + root;
    for (wchar_t letter : {L'a', L'b', L'c'}) {
        deep += L"\\" + std::wstring(100, letter);
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    writeFile(deep + L"\\far.tmp", "f");
    ASSERT_GT(deep.size(), 4u + 300u);
    ASSERT_TRUE(exists(deep + L"\\far.tmp"));

    ModalAnswer done(GetCurrentThreadId(), IDOK);
    const wchar_t* const folders[] = {root.c_str()};
    cleanTempFolders(folders, 1, false);
    EXPECT_TRUE(done.result().pressed);
    EXPECT_FALSE(exists(deep + L"\\far.tmp"));
    EXPECT_FALSE(exists(L"\\\\?\\" + root + L"\\" + std::wstring(100, L'a')));
    EXPECT_TRUE(exists(root));
}

// Which temporary-folder values the cleanup accepts, and the form it works on.
TEST(TempCleanup, ResolvesTheFolderBeforeJudgingIt) {
    SetEnvironmentVariableW(L"TOLVA_TEST_TEMP", L"C:\\Users\\me\\Temp");
    struct Case {
        const wchar_t* value;
        const wchar_t* worksOn; // empty: refused
    } const CASES[] = {
        {L"C:\\Users\\me\\Temp", L"\\\\?\\C:\\Users\\me\\Temp"},
        {L"C:\\Users\\me\\Temp\\", L"\\\\?\\C:\\Users\\me\\Temp"},
        {L"%TOLVA_TEST_TEMP%", L"\\\\?\\C:\\Users\\me\\Temp"},
        {L"C:\\Users\\me\\.\\Temp", L"\\\\?\\C:\\Users\\me\\Temp"},
        {L"\\\\?\\C:\\Users\\me\\Temp", L"\\\\?\\C:\\Users\\me\\Temp"},
        {L"\\\\server\\share\\temp", L"\\\\?\\UNC\\server\\share\\temp"},
        // The whole disk, however it is spelt.
        {L"C:\\", L""},
        {L"C:\\.", L""},
        {L"C:\\.\\", L""},
        {L"C:\\Users\\..", L""},
        {L"C:\\Users\\me\\..\\..\\.", L""},
        {L"\\\\?\\C:\\.", L""},
        {L"\\\\server\\share", L""},
        {L"\\\\server\\share\\.", L""},
        // Relative, unset, empty or a device: never resolved against the current folder.
        {L".", L""},
        {L"Temp", L""},
        {L"C:Temp", L""},
        {L"%TOLVA_NEVER_SET%\\Temp", L""},
        {L"", L""},
        {L"\\\\.\\C:", L""},
    };
    for (const auto& c : CASES) {
        std::wstring got = emptiableFolder(c.value);
        EXPECT_EQ(got, c.worksOn) << std::string(c.value, c.value + wcslen(c.value));
    }
}

TEST(TempCleanup, RefusesFoldersThatAreNotSafelyEmptiable) {
    // An unset variable, a relative name or a bare drive must never be emptied.
    std::wstring root = makeTempFolder(L"cwd");
    writeFile(root + L"\\keep.txt", "k");
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(root.c_str());
    ModalAnswer done(GetCurrentThreadId(), IDOK);
    const wchar_t* const folders[] = {L"%TOLVA_NEVER_SET%", L".", L"keep.txt\\..", L""};
    cleanTempFolders(folders, 4, false);
    EXPECT_TRUE(done.result().pressed);
    SetCurrentDirectoryW(before);
    EXPECT_TRUE(exists(root + L"\\keep.txt"));
}

// Commands start directly with their references expanded, wide names included; a colon name
// that is not an action does nothing; a document is an error that shows the command as stored.
TEST(Commands, StartProgramsOrReportTheCommandAsStored) {
    prepareStore();
    std::wstring wide = makeTempFolder(L"wide") + L"\\Ωμέγα 日本";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((testFolder() + L"\\probe.exe").c_str(), (wide + L"\\probe.exe").c_str(), FALSE));
    SetEnvironmentVariableW(L"TOLVA_TEST_FOLDER", testFolder().c_str());
    std::wstring document = makeTempFolder(L"doc") + L"\\notes.txt";
    writeFile(document, "a document");
    std::wstring wideCommand = L"\"" + wide + L"\\probe.exe\" wide";

    struct Case {
        const wchar_t* what;
        std::wstring command;
        std::wstring probeSays; // empty: nothing started
        bool errorShown;
    } const CASES[] = {
        {L"reference", L"\"%TOLVA_TEST_FOLDER%\\probe.exe\" expanded %TOLVA_NEVER_SET%",
         L"probe.exe|expanded %TOLVA_NEVER_SET%\n", false},
        {L"wide path", wideCommand, L"probe.exe|wide\n", false},
        {L"unknown action", L":nothing", L"", false},
        {L"empty", L"", L"", false},
        {L"document", document, L"", true},
        {L"missing program", L"%TOLVA_TEST_FOLDER%\\absent.exe /x", L"", true},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(std::string(c.what, c.what + wcslen(c.what)));
        DeleteFileW(probeLog().c_str());
        ModalAnswer box(GetCurrentThreadId(), IDOK, c.errorShown ? 15000 : 1500);
        doCommand(c.command.c_str());
        const ModalWindow& w = box.result();
        EXPECT_EQ(w.found, c.errorShown);
        if (c.errorShown) {
            std::wstring format = text(IDS_NO_COMMAND);
            std::wstring message = format.substr(0, format.find(L"%s")) + c.command;
            EXPECT_EQ(w.text.substr(0, message.size()), message);
        }
        EXPECT_EQ(probeLines(!c.probeSays.empty()), c.probeSays);
    }
}

TEST(Commands, BuiltInActionNamesIgnoreCase) {
    // Wine has no defragmenter, so ":DEFRAG" shows the start failure naming the program it tried.
    prepareStore();
    ModalAnswer box(GetCurrentThreadId(), IDOK, 5000);
    doCommand(L":DEFRAG");
    const ModalWindow& w = box.result();
    if (getOSVersion() == OS_UNSUPPORTED) {
        EXPECT_FALSE(w.found);
        return;
    }
    ASSERT_TRUE(w.found);
    EXPECT_NE(w.text.find(L"dfrg"), std::wstring::npos);
}

TEST(TrayMenu, ListsFiveCommandsWithTwoSeparators) {
    prepareStore();
    HMENU menu = buildTrayMenu();
    ASSERT_TRUE(menu);
    struct Item {
        UINT id;
        int label; // 0: separator
    } const EXPECTED[] = {{CMD_MANAGER, IDS_MENU_MANAGER}, {CMD_UPDATE, IDS_MENU_UPDATE}, {0, 0},
                          {CMD_ABOUT, IDS_MENU_ABOUT},     {CMD_HELP, IDS_MENU_HELP},     {0, 0},
                          {CMD_EXIT, IDS_MENU_EXIT}};
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (int i = 0; i < 7; ++i) {
        MENUITEMINFOW info{};
        wchar_t label[128] = L"";
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = label;
        info.cch = 128;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        if (!EXPECTED[i].label) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << i;
            continue;
        }
        EXPECT_EQ(info.wID, EXPECTED[i].id) << i;
        EXPECT_EQ(std::wstring(label), text(EXPECTED[i].label)) << i;
    }
    DestroyMenu(menu);
}

// The manager from the installation folder, with "/about" for the About command; a missing
// installation folder or program is reported.
TEST(TrayMenu, StartsTheManager) {
    struct Case {
        const char* what;
        void (*action)();
        const wchar_t* installed; // null: no InstallDir at all
        std::wstring probeSays;
        int errorText; // 0: none
    } const CASES[] = {
        {"open", launchManager, L"manager.exe", L"manager.exe|\n", 0},
        {"about", launchAbout, L"manager.exe", L"manager.exe|/about\n", 0},
        {"manager missing", launchManager, L"", L"", IDS_NO_MANAGER},
        {"about, manager missing", launchAbout, L"", L"", IDS_NO_MANAGER},
        {"no installation folder", launchManager, nullptr, L"", IDS_NO_INSTALLDIR},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        prepareStore();
        if (c.installed) installWith(*c.installed ? c.installed : nullptr);
        else removeMachineSettings();
        DeleteFileW(probeLog().c_str());
        ModalAnswer box(GetCurrentThreadId(), IDOK, c.errorText ? 15000 : 1500);
        c.action();
        const ModalWindow& w = box.result();
        // Without an installation folder even the message is a placeholder; it must still appear.
        std::wstring expected = c.errorText ? text(c.errorText) : L"";
        EXPECT_EQ(w.found, c.errorText != 0);
        EXPECT_EQ(probeLines(!c.probeSays.empty()), c.probeSays);
        installAt(binFolder());
        if (c.errorText) {
            EXPECT_EQ(w.text.substr(0, expected.size()), expected);
        }
    }
}

TEST(Pictures, ScaleBitmapStretchesOnlyWhenTheSizeDiffers) {
    HBITMAP popup = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_POPUP));
    ASSERT_TRUE(popup);
    BITMAP bm{};
    GetObjectW(popup, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 318);
    EXPECT_EQ(bm.bmHeight, 168);
    EXPECT_EQ(ScaleBitmap(popup, 318, 168), popup);
    HBITMAP big = ScaleBitmap(popup, 477, 252);
    ASSERT_TRUE(big);
    ASSERT_NE(big, popup);
    BITMAP scaled{};
    GetObjectW(big, sizeof scaled, &scaled);
    EXPECT_EQ(scaled.bmWidth, 477);
    EXPECT_EQ(scaled.bmHeight, 252);
    EXPECT_EQ(scaled.bmBitsPixel, bm.bmBitsPixel);
    EXPECT_EQ(scaled.bmPlanes, bm.bmPlanes);
    // The corner keeps the picture's colour: the stretch copied pixels, not a blank.
    HDC screen = GetDC(nullptr);
    HDC a = CreateCompatibleDC(screen), b = CreateCompatibleDC(screen);
    HGDIOBJ oa = SelectObject(a, popup), ob = SelectObject(b, big);
    EXPECT_EQ(GetPixel(a, 150, 10), GetPixel(b, 225, 15));
    SelectObject(a, oa);
    SelectObject(b, ob);
    DeleteDC(a);
    DeleteDC(b);
    ReleaseDC(nullptr, screen);
    DeleteObject(big);
    DeleteObject(popup);
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TOLVA), IMAGE_ICON,
                                               24, 24, 0));
    EXPECT_TRUE(icon);
    if (icon) DestroyIcon(icon);
}

// The threads that start programs through the shell sit in a single-threaded apartment.
TEST(Commands, ShellThreadsAreInAnApartment) {
    HRESULT again = E_FAIL;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID result) -> DWORD {
            initShellThread();
            // Asking for the other model tells which one the thread already has.
            *static_cast<HRESULT*>(result) = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            return 0;
        },
        &again, 0, nullptr);
    ASSERT_TRUE(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(RPC_E_CHANGED_MODE, again);
}
