// The manager's entry point and main window: first-run hand-over to the notifier, the import of a
// double-clicked reminder file, and the editor with its five pages.
#include "manager.h"

#include <uxtheme.h>

#include <cwctype>
#include <string>

const int tab_ids[NUM_TABS] = {IDD_XREMTAB, IDD_REMTAB, IDD_UPDATETAB, IDD_SETTINGSTAB, IDD_ABOUTTAB};
const int tab_strs[NUM_TABS] = {0, 1, 2, 3, 4};
const DLGPROC tab_procs[NUM_TABS] = {XRemTabDlgProc, RemTabDlgProc, UpdateTabDlgProc, SettingsTabDlgProc,
                                     AboutTabDlgProc};
BOOL about = FALSE;
HINSTANCE hInst = nullptr;
HWND mainDlg = nullptr;
HWND tabber = nullptr;
HWND* tabs = nullptr;

static HICON bigIcon = nullptr, smallIcon = nullptr;

// ---- Start-up -----------------------------------------------------------------------------------

static bool startNotifierSetup() {
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        reportError(IDS_NO_INSTALLDIR, GetLastError());
        return false;
    }
    std::wstring path = std::wstring(dir) + L"\\Tolva.exe";
    std::wstring line = L"\"" + path + L"\" /reconfig";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        reportError(IDS_NO_NOTIFIER, GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

// Without a store the notifier's set-up has to run first; the manager never opens then.
static int firstRun() {
    HeapText question(getString(IDS_FIRST_RUN));
    if (msgBox(nullptr, question, L"Tolva", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) != IDYES) return 0;
    return startNotifierSetup() ? 0 : 1;
}

static std::wstring trimmed(const wchar_t* text) {
    std::wstring s = text ? text : L"";
    size_t start = 0;
    while (start < s.size() && iswspace(s[start])) ++start;
    s.erase(0, start);
    while (!s.empty() && iswspace(s.back())) s.pop_back();
    return s;
}

int startUp(const wchar_t* argument) {
    init(0x200);
    HKEY store = openRemindersKey(TRUE, nullptr, KEY_READ);
    if (store == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return firstRun();
        reportError(IDS_STORE_FAILED, code);
        return 1;
    }
    RegCloseKey(store);

    std::wstring arg = trimmed(argument);
    about = _wcsicmp(arg.c_str(), L"/about") == 0;
    if (!about && !arg.empty()) {
        if (arg.front() == L'"') arg.erase(0, 1);
        if (!arg.empty() && arg.back() == L'"') arg.pop_back();
        importReminders(arg.c_str());
        return 0;
    }
    if (isAlreadyRunning(L"Tolva Manager")) return 0;
    return -1;
}

// ---- Main window --------------------------------------------------------------------------------

static void showPage(int index) {
    for (int i = 0; i < NUM_TABS; ++i)
        if (tabs && tabs[i]) ShowWindow(tabs[i], i == index ? SW_SHOW : SW_HIDE);
}

void loadStrings() {
    for (int i = 0; i < NUM_TABS; ++i) {
        HeapText title(getString(tab_strs[i]));
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.get() ? title.get() : const_cast<wchar_t*>(L"");
        TabCtrl_SetItem(tabber, i, &item);
        if (tabs[i]) SendMessageW(tabs[i], WM_COMMAND, CMD_RELABEL, 0);
    }
    // Shorter captions leave the strip's old right end standing unless the whole strip is painted.
    InvalidateRect(tabber, nullptr, TRUE);
    HeapText close(getString(IDS_CLOSE));
    SetDlgItemTextW(mainDlg, IDC_CLOSE, close);
    int selected = TabCtrl_GetCurSel(tabber);
    if (selected >= 0 && tabs[selected]) {
        ShowWindow(tabs[selected], SW_HIDE);
        ShowWindow(tabs[selected], SW_SHOW);
    }
}

static void createPages(HWND dlg) {
    mainDlg = dlg;
    tabber = GetDlgItem(dlg, IDC_TABS);
    tabs = static_cast<HWND*>(calloc(NUM_TABS, sizeof(HWND)));
    if (!tabs) throw std::bad_alloc();
    for (int i = 0; i < NUM_TABS; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"");
        TabCtrl_InsertItem(tabber, i, &item);
        tabs[i] = CreateDialogParamW(hInst, MAKEINTRESOURCEW(tab_ids[i]), tabber, tab_procs[i], 0);
        if (!tabs[i]) {
            DWORD code = GetLastError();
            HeapText title(getString(tab_strs[i])), text(getString(IDS_NO_PAGE));
            SetLastError(code);
            errBox(text, title, TRUE);
            continue;
        }
        // Pages sit on the tab control's own background under visual styles.
        EnableThemeDialogTexture(tabs[i], ETDT_ENABLETAB);
        SetWindowPos(tabs[i], nullptr, 4, 22, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    int first = about ? TAB_ABOUT : TAB_BUILTIN;
    TabCtrl_SetCurSel(tabber, first);
    showPage(first);
    bigIcon = static_cast<HICON>(LoadImageW(hInst, MAKEINTRESOURCEW(IDI_TOLVA), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon = static_cast<HICON>(LoadImageW(hInst, MAKEINTRESOURCEW(IDI_TOLVA), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    SendMessageW(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    loadStrings();
}

// The closing sequence; false when the user chose to stay (or a save failed and was reported).
static bool closeMain() {
    if (isCUnsaved() || isXUnsaved()) {
        HeapText caption(getString(IDS_UNSAVED_CAPTION));
        int answer = ask(mainDlg, IDS_UNSAVED_QUESTION, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) return false;
        if (answer == IDYES) {
            bool saved = saveCReminders();
            saved = saveXReminders(FALSE) && saved;
            // What could not be written is still on the pages; closing now would lose it.
            if (!saved) return false;
        }
    }
    closeCRemTab();
    closeXRemTab();
    DestroyWindow(mainDlg);
    return true;
}

static int visiblePage() { return TabCtrl_GetCurSel(tabber); }

static void selectTab(int index) {
    TabCtrl_SetCurSel(tabber, index);
    showPage(index);
}

static void shortcut(int command) {
    int page = visiblePage();
    HWND target = page >= 0 && tabs ? tabs[page] : nullptr;
    if (!target) return;
    auto click = [&](int button) {
        if (IsWindowEnabled(GetDlgItem(target, button)))
            SendMessageW(target, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(target, button)));
    };
    switch (command) {
    case CMD_KEY_SAVE:
        if (page == TAB_CUSTOM) click(IDC_R_SAVE);
        else if (page == TAB_BUILTIN) click(IDC_X_SAVE);
        break;
    case CMD_KEY_NEW:
        if (page == TAB_CUSTOM) click(IDC_R_NEWREM);
        break;
    case CMD_KEY_RENAME:
        if (page == TAB_CUSTOM) click(IDC_R_RENAME);
        break;
    }
}

INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG:
            createPages(dlg);
            return TRUE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) showPage(visiblePage());
            return TRUE;
        }
        case WM_CLOSE:
            closeMain();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_CLOSE:
            case IDCANCEL: // Escape goes through the unsaved-changes question too
                closeMain();
                return TRUE;
            case CMD_KEY_SAVE:
            case CMD_KEY_NEW:
            case CMD_KEY_RENAME:
                shortcut(LOWORD(wParam));
                return TRUE;
            case CMD_KEY_NEXT_TAB:
                selectTab((visiblePage() + 1) % NUM_TABS);
                return TRUE;
            case CMD_KEY_PREV_TAB:
                selectTab((visiblePage() + NUM_TABS - 1) % NUM_TABS);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            free(tabs);
            tabs = nullptr;
            mainDlg = nullptr;
            if (bigIcon) DestroyIcon(bigIcon);
            if (smallIcon) DestroyIcon(smallIcon);
            bigIcon = smallIcon = nullptr;
            PostQuitMessage(0);
            return TRUE;
        }
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    return FALSE;
}

HWND createMainWindow(BOOL openOnAbout) {
    about = openOnAbout;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HWND dlg = CreateDialogParamW(hInst, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (dlg) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

int runMessageLoop(HWND dlg) {
    HACCEL keys = LoadAcceleratorsW(hInst, MAKEINTRESOURCEW(IDR_ACCEL));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Shortcuts belong to the main window only, not to the boxes and small dialogs it opens.
        bool ours = IsWindow(dlg) && (msg.hwnd == dlg || IsChild(dlg, msg.hwnd));
        if (ours && keys && TranslateAcceleratorW(dlg, keys, &msg)) continue;
        if (IsWindow(dlg) && IsDialogMessageW(dlg, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (keys) DestroyAcceleratorTable(keys);
    return static_cast<int>(msg.wParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    hInst = instance;
    int exitCode = startUp(commandLine);
    if (exitCode >= 0) return exitCode;
    HWND dlg = createMainWindow(about);
    if (!dlg) return 1;
    return runMessageLoop(dlg);
}
