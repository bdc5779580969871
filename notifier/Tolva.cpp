// The notifier: first-run set-up, the tray icon and its menu, the check thread with its popup, and
// the update checks. Everything runs on two threads: the window thread (icon, menu, on-demand
// update check) and the check thread, which owns every popup it shows.
#include "Tolva.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "update.h"

HINSTANCE hInst = nullptr;
HWND hwnd = nullptr;
NOTIFYICONDATAW tnd{};
BOOL admin = FALSE;
Reminder* target = nullptr;
const wchar_t className[] = L"WindowsApp";

// Explorer broadcasts this after it restarts; every tray icon has to be added again then.
static UINT taskbarCreated = 0;

namespace {

struct Library {
    HMODULE h;
    explicit Library(HMODULE x) : h(x) {}
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() { if (h) FreeLibrary(h); }
};

// Opens or creates `name` below `parent`; a failure is reported with `failText` and its own code.
bool createKey(HKEY parent, const wchar_t* name, RegKey& key, int failText) {
    LONG rc = RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr);
    if (rc == ERROR_SUCCESS) return true;
    key.h = nullptr;
    reportError(failText, rc);
    return false;
}

bool setDword(HKEY key, const wchar_t* name, DWORD value, int failText) {
    LONG rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (rc == ERROR_SUCCESS) return true;
    reportError(failText, rc);
    return false;
}

DWORD defaultLanguageIndex() {
    HeapText language(getStringSetting(L"DefaultLanguage"));
    if (language.get())
        for (int i = 0; i < NUM_LANGUAGES; ++i)
            if (_wcsicmp(language, LANGUAGE_FILES[i]) == 0) return static_cast<DWORD>(i);
    // 7 is no language at all, which every reader shows in English.
    return NUM_LANGUAGES;
}

// False only when the Run key itself is out of reach; set-up stops there.
bool writeRunValue() {
    RegKey run;
    // A fresh profile may lack the Run key; creating it is what the user asked for by setting up.
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, run.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        run.h = nullptr;
        reportError(IDS_NO_RUN_VALUE, rc);
        return false;
    }
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        reportError(IDS_NO_INSTALLDIR, GetLastError());
        return true;
    }
    // Quoted: unquoted, a folder with a blank would start "C:\Program.exe" if someone put one there.
    std::wstring path = L"\"" + std::wstring(dir) + L"\\Tolva.exe\"";
    rc = RegSetValueExW(run, L"Tolva", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) reportError(IDS_NO_RUN_VALUE, rc);
    return true;
}

// Path of one of the suite's programs in the installation folder, or empty after reporting 0xA02.
std::wstring installedProgram(const wchar_t* file) {
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        reportError(IDS_NO_INSTALLDIR, GetLastError());
        return {};
    }
    return std::wstring(dir) + L"\\" + file;
}

bool startUpdater(const wchar_t* parameters, bool reportFailure) {
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        if (reportFailure) reportError(IDS_NO_INSTALLDIR, GetLastError());
        return false;
    }
    std::wstring path = std::wstring(dir) + L"\\TolvaUpdater.exe";
    auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), parameters, nullptr, SW_SHOWNOACTIVATE));
    if (rc > 32) return true;
    if (reportFailure) reportError(IDS_NO_UPDATER, static_cast<DWORD>(rc));
    return false;
}

void trimArguments(std::wstring& args) {
    while (!args.empty() && iswspace(args.back())) args.pop_back();
    size_t start = 0;
    while (start < args.size() && iswspace(args[start])) ++start;
    args.erase(0, start);
}

// ---- Popups -------------------------------------------------------------------------------------

const wchar_t PICTURE_PROP[] = L"Tolva.Picture";
const wchar_t FONT_PROP[] = L"Tolva.BoldFont";

// Bottom-right corner of the work area, above every other window, without taking the focus.
void placeInCorner(HWND dlg) {
    RECT area{}, own{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(dlg, &own);
    SetWindowPos(dlg, HWND_TOPMOST, area.right - (own.right - own.left), area.bottom - (own.bottom - own.top), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

// Puts bitmap `id`, stretched to the dialog's own size in dialog units, behind the controls.
void setPicture(HWND dlg, int id, int widthDlu, int heightDlu) {
    RECT size{0, 0, widthDlu, heightDlu};
    MapDialogRect(dlg, &size);
    HBITMAP loaded = LoadBitmapW(hInst, MAKEINTRESOURCEW(id));
    if (!loaded) return;
    HBITMAP picture = ScaleBitmap(loaded, size.right, size.bottom);
    if (picture != loaded) DeleteObject(loaded);
    if (!picture) return;
    SetPropW(dlg, PICTURE_PROP, picture);
    SendDlgItemMessageW(dlg, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

void roundAndSlideIn(HWND dlg) {
    RECT own{};
    GetWindowRect(dlg, &own);
    // The window owns the region from here on and frees it itself.
    SetWindowRgn(dlg, CreateRoundRectRgn(0, 0, own.right - own.left + 1, own.bottom - own.top + 1, 4, 4), FALSE);
    // Without the slide the popup must still be seen, or its answer would be one nobody gave.
    if (!AnimateWindow(dlg, 500, AW_SLIDE | AW_VER_NEGATIVE)) ShowWindow(dlg, SW_SHOWNA);
}

void releasePopupResources(HWND dlg) {
    if (auto picture = static_cast<HBITMAP>(RemovePropW(dlg, PICTURE_PROP))) {
        // Version 6 statics keep a copy of some bitmaps; that copy is ours to free as well.
        auto shown = reinterpret_cast<HBITMAP>(
            SendDlgItemMessageW(dlg, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (shown && shown != picture) DeleteObject(shown);
        DeleteObject(picture);
    }
    if (auto font = static_cast<HFONT>(RemovePropW(dlg, FONT_PROP))) {
        SendDlgItemMessageW(dlg, IDC_NAME, WM_SETFONT, 0, FALSE);
        DeleteObject(font);
    }
}

void setBoldName(HWND dlg) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (!font || !GetObjectW(font, sizeof lf, &lf)) return;
    lf.lfWeight = FW_BOLD;
    HFONT bold = CreateFontIndirectW(&lf);
    if (!bold) return;
    SetPropW(dlg, FONT_PROP, bold);
    SendDlgItemMessageW(dlg, IDC_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
}

INT_PTR transparentStatic(WPARAM wParam) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

// The language file may be damaged; only integer fields are handed to the formatter.
bool onlyIntegerFields(const wchar_t* format) {
    int fields = 0;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') continue;
        if (p[1] == L'%') {
            ++p;
            continue;
        }
        ++p;
        while (*p && wcschr(L"-+ 0#123456789", *p)) ++p;
        if (*p != L'd' && *p != L'i' && *p != L'u') return false;
        ++fields;
    }
    return fields <= 5;
}

} // namespace

// ---- Start-up -----------------------------------------------------------------------------------

bool firstRunSetup() {
    RegKey settings;
    if (!createKey(HKEY_CURRENT_USER, TOLVA_KEY, settings, IDS_NO_SETTINGS_KEY)) return false;
    if (!setDword(settings, L"Language", defaultLanguageIndex(), IDS_NO_LANGUAGE)) return false;

    INT_PTR choice = DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_AUTOUPDATE), nullptr, AUProc, 0);
    if (choice < 0 || choice > 2) {
        reportPlain(IDS_SETUP_CANCELLED);
        return false;
    }
    if (!setDword(settings, L"AutoUpdate", static_cast<DWORD>(choice), IDS_NO_AUTOUPDATE)) return false;

    RegKey reminders, builtin;
    if (!createKey(settings, L"Reminders", reminders, IDS_NO_REMINDERS_KEY)) return false;
    if (!createKey(reminders, BUILTIN_CLASS, builtin, IDS_NO_BUILTIN_KEY)) return false;
    if (!restoreDefaultReminders()) {
        reportError(IDS_NO_BUILTINS, GetLastError());
        return false;
    }
    RegKey custom, defaultGroup;
    if (!createKey(reminders, CUSTOM_CLASS, custom, IDS_NO_CUSTOM_KEY)) return false;
    if (!createKey(custom, DEFAULT_GROUP, defaultGroup, IDS_NO_DEFAULT_GROUP)) return false;

    if (!writeRunValue()) return false;
    if (ask(nullptr, IDS_OPEN_MANAGER, L"Tolva", MB_YESNO | MB_ICONQUESTION) == IDYES) launchManager();
    return true;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    init(0x100);
    if (isAlreadyRunning(L"Tolva SysTray")) return 0;
    admin = isAdmin();
    hInst = instance;
    // Both threads start programs through the shell, which wants its callers in an apartment
    // (shell extensions, "ms-settings:" links). Left to the end of the process, like the thread.
    initShellThread();

    std::wstring args = commandLine ? commandLine : L"";
    trimArguments(args);
    bool setup = _wcsicmp(args.c_str(), L"/reconfig") == 0;
    if (!setup) {
        HKEY store = openRemindersKey(TRUE, nullptr, KEY_READ);
        DWORD rc = GetLastError();
        if (store != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
            RegCloseKey(store);
        } else if (rc == ERROR_FILE_NOT_FOUND) {
            HeapText question(getString(IDS_SETUP_QUESTION));
            if (MessageBoxW(nullptr, question, L"Tolva", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) != IDYES)
                return 0;
            setup = true;
        } else {
            reportError(IDS_STORE_FAILED, rc);
            return 0;
        }
    }
    if (setup && !firstRunSetup()) return 0;

    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = hInst;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) {
        reportError(IDS_NO_WINDOW_CLASS, GetLastError());
        return 0;
    }
    hwnd = CreateWindowExW(0, className, L"Tolva", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                           nullptr, hInst, nullptr);
    // Without its window the program could never be reached or ended by the user: leave instead.
    if (!hwnd) return 0;

    tnd.cbSize = sizeof tnd;
    tnd.hWnd = hwnd;
    tnd.uID = TRAY_ICON_ID;
    tnd.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tnd.uCallbackMessage = TRAY_CALLBACK;
    // The small-icon size follows the display's scaling, so the tray gets a drawn frame, not a shrunk one.
    tnd.hIcon = static_cast<HICON>(LoadImageW(hInst, MAKEINTRESOURCEW(IDI_TOLVA), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wcscpy_s(tnd.szTip, L"Tolva");
    Shell_NotifyIconW(NIM_ADD, &tnd);

    recheckNow = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (HANDLE thread = CreateThread(nullptr, 0, mainThread, hwnd, 0, nullptr)) CloseHandle(thread);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// ---- Tray window --------------------------------------------------------------------------------

HMENU buildTrayMenu() {
    static const struct {
        UINT command;
        int text; // 0: separator
    } ITEMS[] = {{CMD_EXIT, IDS_MENU_EXIT}, {0, 0},
                 {CMD_HELP, IDS_MENU_HELP}, {CMD_ABOUT, IDS_MENU_ABOUT}, {0, 0},
                 {CMD_UPDATE, IDS_MENU_UPDATE}, {CMD_MANAGER, IDS_MENU_MANAGER}};
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    // Each item goes in at the top, so the table reads bottom-up.
    for (const auto& item : ITEMS) {
        if (!item.text) {
            InsertMenuW(menu, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
            continue;
        }
        HeapText label(getString(item.text));
        InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, item.command, label);
    }
    return menu;
}

static void showTrayMenu(HWND window) {
    HMENU menu = buildTrayMenu();
    if (!menu) return;
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would stay open when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(menu, TPM_BOTTOMALIGN, at.x, at.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (taskbarCreated && msg == taskbarCreated) {
        Shell_NotifyIconW(NIM_ADD, &tnd);
        return 0;
    }
    switch (msg) {
    case TRAY_CALLBACK:
        if (lParam == WM_LBUTTONDBLCLK) launchManager();
        else if (lParam == WM_RBUTTONDOWN) showTrayMenu(window);
        return 0;
    case WM_COMMAND:
        switch (wParam) {
        case CMD_MANAGER: launchManager(); break;
        case CMD_UPDATE: checkUpdatesNow(); break;
        case CMD_ABOUT: launchAbout(); break;
        case CMD_HELP: openHelp(); break;
        case CMD_EXIT:
            PostQuitMessage(0);
            Shell_NotifyIconW(NIM_DELETE, &tnd);
            break;
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        Shell_NotifyIconW(NIM_DELETE, &tnd);
        return 0;
    case WM_TIMECHANGE:
        // The clock or the zone moved: reminders that fell due in a skipped stretch come up now.
        if (recheckNow) SetEvent(recheckNow);
        return 0;
    case WM_POWERBROADCAST:
        // Back from sleep: whatever fell due meanwhile appears right away, not at the next minute.
        if ((wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) && recheckNow) SetEvent(recheckNow);
        return TRUE;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void launchManager() {
    std::wstring path = installedProgram(L"manager.exe");
    if (path.empty()) return;
    if (!startProcess(path.c_str(), (L"\"" + path + L"\"").c_str())) reportError(IDS_NO_MANAGER, GetLastError());
}

void launchAbout() {
    std::wstring path = installedProgram(L"manager.exe");
    if (path.empty()) return;
    if (!startProcess(nullptr, (L"\"" + path + L"\" /about").c_str())) reportError(IDS_NO_MANAGER, GetLastError());
}

HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height) {
    BITMAP bm{};
    if (!GetObjectW(bitmap, sizeof bm, &bm)) return nullptr;
    if (bm.bmWidth == width && bm.bmHeight == height) return bitmap;
    HBITMAP scaled = CreateBitmap(width, height, bm.bmPlanes, bm.bmBitsPixel, nullptr);
    if (!scaled) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, scaled);
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(nullptr, screen);
    return scaled;
}

// ---- Check cycle --------------------------------------------------------------------------------

int showReminderPopup(HWND owner, Reminder* rem) {
    // Remind Later is a split button, which only the version 6 controls draw and report.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    target = rem;
    auto result = static_cast<int>(DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_REMINDER), owner, RemProc, 0));
    target = nullptr;
    return result;
}

int postponementMinutes(int answer) {
    switch (answer) {
    case IDC_LATER_5MIN: return 5;
    case IDC_LATER_15MIN: return 15;
    case IDC_LATER_30MIN: return 30;
    case IDC_LATER: // the button itself
    case IDC_LATER_1HOUR: return 60;
    case IDC_LATER_4HOURS: return 4 * 60;
    case IDC_LATER_TOMORROW: return 24 * 60;
    }
    return 0;
}

// Postpones to the clock time `minutes` from now, stored as Remind Later always stores it. The
// arithmetic is on the clock's own reading, so "tomorrow" keeps the time of day across a change
// to or from summer time.
static void postpone(Reminder* rem, int minutes) {
    if (minutes == 60) {
        incrementReminder(rem, TRUE);
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME ft;
    if (!SystemTimeToFileTime(&now, &ft)) return;
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += static_cast<ULONGLONG>(minutes) * 60 * 10000000;
    ft = {t.LowPart, t.HighPart};
    SYSTEMTIME later;
    if (!FileTimeToSystemTime(&ft, &later)) return;
    if (!rem->remindLater) rem->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
    if (rem->remindLater) *rem->remindLater = later;
}

// The record the store holds now under the shown one's group and key, or null when the manager
// deleted, renamed or moved it while the popup was open.
static Reminder* rereadReminder(const Reminder* shown) {
    const wchar_t* key = shown->isCustom ? shown->name : shown->id;
    if (!key) return nullptr;
    ReminderList* list = getReminders(shown->isCustom, shown->group);
    Reminder* found = nullptr;
    for (ReminderList* node = list; node; node = node->next) {
        Reminder* r = node->reminder;
        const wchar_t* other = r->isCustom ? r->name : r->id;
        if (!found && other && _wcsicmp(other, key) == 0) found = r;
        else freeReminder(r);
    }
    freeReminderList(list);
    return found;
}

// Writes what the answer changed (due date, postponement, active) into the record as it is now, so
// an edit the manager made meanwhile survives and a reminder it removed does not come back.
static void saveAnswer(const Reminder* answered) {
    Reminder* current = rereadReminder(answered);
    if (!current) return;
    *current->nextDue = *answered->nextDue;
    if (answered->remindLater) {
        if (!current->remindLater) current->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
        // Out of memory: better unwritten (the reminder comes up again) than written without its postponement.
        if (!current->remindLater) {
            freeReminder(current);
            return;
        }
        *current->remindLater = *answered->remindLater;
    } else {
        free(current->remindLater);
        current->remindLater = nullptr;
    }
    current->active = answered->active;
    saveReminder(current);
    freeReminder(current);
}

void checkRemindersWith(const SYSTEMTIME* time, PopupAnswer answer) {
    // Own reminders first, then the built-in ones.
    for (BOOL custom : {TRUE, FALSE}) {
        StringList* groups = getGroups(custom);
        for (StringList* group = groups; group; group = group->next) {
            ReminderList* list = getReminders(custom, group->string);
            for (ReminderList* node = list; node; node = node->next) {
                Reminder* rem = node->reminder;
                if (!rem->active || !isRemDue(rem, time)) continue;
                int result = answer(hwnd, rem);
                // A popup that could not open was never seen: the next check shows it again.
                if (result <= 0) continue;
                if (result == IDC_LAUNCH && rem->cmd && *rem->cmd) doCommand(rem->cmd);
                int later = postponementMinutes(result);
                if (later) postpone(rem, later);
                else incrementReminder(rem, FALSE);
                saveAnswer(rem);
            }
            // The list owns nothing, but this pass owns every record it read.
            for (ReminderList* node = list; node; node = node->next) freeReminder(node->reminder);
            freeReminderList(list);
        }
        freeStringList(groups);
    }
}

void checkReminders(const SYSTEMTIME* time) { checkRemindersWith(time, showReminderPopup); }

void initShellThread() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }

HANDLE recheckNow = nullptr;

namespace {

constexpr ULONGLONG TICKS_PER_MINUTE = 60ULL * 10000000ULL;

ULONGLONG utcNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// Every time zone is a whole number of minutes from UTC, so the next whole minute of UTC is the
// next whole minute of local time, summer time or not.
ULONGLONG nextWholeMinute() { return (utcNow() / TICKS_PER_MINUTE + 1) * TICKS_PER_MINUTE; }

SYSTEMTIME localTimeAt(ULONGLONG utc) {
    FILETIME ft{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    SYSTEMTIME universal{}, local{};
    FileTimeToSystemTime(&ft, &universal);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) GetLocalTime(&local);
    return local;
}

} // namespace

void checkLoop(DWORD firstDelayMs, HANDLE stop) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    if (stop ? WaitForSingleObject(stop, firstDelayMs) == WAIT_OBJECT_0 : (Sleep(firstDelayMs), false)) return;
    checkReminders(&t);
    if (admin) updateCheck();
    // An absolute due time, unlike a timeout, keeps to the clock when the clock is set.
    Handle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    HANDLE waits[3];
    DWORD count = 0;
    if (timer.h) waits[count++] = timer;
    if (recheckNow) waits[count++] = recheckNow;
    if (stop) waits[count++] = stop;
    ULONGLONG lastUpdateHour = 0;
    for (;;) {
        ULONGLONG armed = nextWholeMinute();
        DWORD timeout = INFINITE;
        if (timer.h) {
            LARGE_INTEGER due;
            due.QuadPart = static_cast<LONGLONG>(armed);
            SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
        } else {
            timeout = static_cast<DWORD>((armed - std::min(armed, utcNow())) / 10000 + 1);
        }
        DWORD woke = count ? WaitForMultipleObjects(count, waits, FALSE, timeout) : (Sleep(timeout), WAIT_TIMEOUT);
        HANDLE by = woke < WAIT_OBJECT_0 + count ? waits[woke - WAIT_OBJECT_0] : nullptr;
        if (stop && by == stop) return;
        if (woke == WAIT_FAILED) {
            Sleep(1000);
            continue;
        }
        bool wholeMinute = by != recheckNow;
        // A timer a hair early must not check the minute that just ended again.
        ULONGLONG now = wholeMinute ? std::max(utcNow(), armed) : utcNow();
        t = localTimeAt(now);
        checkReminders(&t);
        // The update check belongs to minute 0 of an hour, once, whatever woke the thread then.
        ULONGLONG hour = now / (60 * TICKS_PER_MINUTE);
        if (wholeMinute && t.wMinute == 0 && admin && hour != lastUpdateHour) {
            lastUpdateHour = hour;
            updateCheck();
        }
    }
}

DWORD WINAPI mainThread(LPVOID) {
    initShellThread();
    checkLoop(60000, nullptr);
    return 0;
}

std::wstring formatDueDate(const wchar_t* format, const SYSTEMTIME& due) {
    if (!format || !onlyIntegerFields(format)) format = L"%02d/%02d/%d %02d:%02d";
    wchar_t text[64] = L"";
    _snwprintf(text, 63, format, due.wDay, due.wMonth, due.wYear, due.wHour, due.wMinute);
    text[20] = L'\0';
    return text;
}

// Remind Later's drop-down: the chosen command, or 0 when the menu was dismissed.
static int chooseLater(HWND dlg, HWND button) {
    static const Label CHOICES[] = {{IDC_LATER_5MIN, IDS_LATER_5MIN},     {IDC_LATER_15MIN, IDS_LATER_15MIN},
                                    {IDC_LATER_30MIN, IDS_LATER_30MIN},   {IDC_LATER_1HOUR, IDS_LATER_1HOUR},
                                    {IDC_LATER_4HOURS, IDS_LATER_4HOURS}, {IDC_LATER_TOMORROW, IDS_LATER_TOMORROW}};
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    for (const Label& choice : CHOICES) {
        HeapText label(getString(choice.text));
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(choice.control), label);
    }
    // Above the button: the popup sits at the bottom of the work area. Where there is no room
    // above, the system moves the menu, but never over the button.
    TPMPARAMS around{sizeof around, {}};
    GetWindowRect(button, &around.rcExclude);
    int chosen = static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_VERTICAL,
                                                   around.rcExclude.left, around.rcExclude.top, dlg, &around));
    DestroyMenu(menu);
    return chosen;
}

INT_PTR CALLBACK RemProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        static const Label LABELS[] = {{IDC_LAUNCH, IDS_LAUNCH}, {IDC_DONE, IDS_DONE}, {IDC_LATER, IDS_REMIND_LATER}};
        relabel(dlg, LABELS);
        placeInCorner(dlg);
        if (target) {
            SetDlgItemTextW(dlg, IDC_NAME, target->name);
            SetDlgItemTextW(dlg, IDC_TEXT, target->reminderText);
            if (isDisplayDueDate()) {
                HeapText format(getString(IDS_DUE_FORMAT));
                SetDlgItemTextW(dlg, IDC_DUE, formatDueDate(format, *target->nextDue).c_str());
            }
        }
        setBoldName(dlg);
        if (target && target->cmd && *target->cmd) {
            // A reminder stored without a button text keeps the standard one, not a blank button.
            if (target->yesText && *target->yesText) SetDlgItemTextW(dlg, IDC_LAUNCH, target->yesText);
            EnableWindow(GetDlgItem(dlg, IDC_LAUNCH), TRUE);
        }
        setPicture(dlg, IDB_POPUP, 212, 104);
        roundAndSlideIn(dlg);
        return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return transparentStatic(wParam);
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->idFrom == IDC_LATER && hdr->code == BCN_DROPDOWN) {
            if (int choice = chooseLater(dlg, hdr->hwndFrom)) EndDialog(dlg, choice);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        EndDialog(dlg, static_cast<INT_PTR>(wParam));
        return TRUE;
    case WM_DESTROY:
        releasePopupResources(dlg);
        return FALSE;
    }
    return FALSE;
}

// ---- Updates ------------------------------------------------------------------------------------

INT_PTR CALLBACK AUProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        HeapText caption(getString(IDS_AU_CAPTION));
        SetWindowTextW(dlg, caption);
        static const Label LABELS[] = {{IDOK, IDS_BTN_OK}, {IDCANCEL, IDS_BTN_CANCEL}, {IDC_AU_QUESTION, IDS_AU_QUESTION}};
        relabel(dlg, LABELS);
        for (int entry : {IDS_AU_NEVER, IDS_AU_ASK, IDS_AU_AUTOMATIC}) {
            HeapText text(getString(entry));
            SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.get()));
        }
        SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_SETCURSEL, 2, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dlg, SendDlgItemMessageW(dlg, IDC_AU_CHOICE, CB_GETCURSEL, 0, 0));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, -1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK UpdateProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        static const Label LABELS[] = {
            {IDC_TEXT, IDS_UPDATES_FOUND}, {IDC_INSTALL, IDS_INSTALL_UPDATES}, {IDC_UPDATE_LATER, IDS_REMIND_LATER}};
        relabel(dlg, LABELS);
        placeInCorner(dlg);
        setPicture(dlg, IDB_UPDATE, 196, 88);
        roundAndSlideIn(dlg);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        return transparentStatic(wParam);
    case WM_COMMAND:
        EndDialog(dlg, static_cast<INT_PTR>(wParam));
        return TRUE;
    case WM_DESTROY:
        releasePopupResources(dlg);
        return FALSE;
    }
    return FALSE;
}

bool callCheckUpdates(int quiet, int definition, int* result) {
    Library lib(LoadLibraryW(L"update.dll"));
    if (!lib.h) return false;
    auto check = updateProc<CHECKUPDATES>(lib.h, "checkUpdates");
    if (!check) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    *result = check(quiet, definition);
    return true;
}

void updateCheck() {
    int preference = getAutoUpdate();
    if (preference == 0 || preference == -1) return;
    int result = 0;
    if (!callCheckUpdates(1, 0, &result)) return;
    if (result < 1 || result > 3) return;
    if (preference == 1 &&
        DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_UPDATE), hwnd, UpdateProc, 0) != IDC_INSTALL)
        return;
    // A silent installation must stay silent, even when the updater is missing.
    if (preference == 2) startUpdater(L"/silent", false);
    else {
        HeapText dir(getStringSetting(L"InstallDir"));
        if (dir.get()) startUpdater(nullptr, true);
    }
}

void checkUpdatesNow() {
    int result = 0;
    if (!callCheckUpdates(0, 0, &result)) {
        reportError(IDS_NO_UPDATE_DLL, GetLastError());
        return;
    }
    if (result >= 1 && result <= 3) {
        HeapText caption(getString(IDS_UPDATE_CAPTION));
        if (ask(nullptr, IDS_UPDATES_FOUND, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) startUpdater(nullptr, true);
    } else if (result == 0) {
        ask(hwnd, IDS_NO_UPDATES, L"Tolva", MB_OK | MB_ICONINFORMATION);
    }
}
