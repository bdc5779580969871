// The Updates page: the automatic-update preference, the installed version, the news and the
// manual check. The network and the updater are waited for on threads of their own, so the window
// opens at once and stays live without a connection; those threads never touch a control, they
// post what they found to the page.
#include "manager.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "update.h"

// Posted to the page by its threads. WM_NEWS_LINE: wParam the control, lParam a malloc'ed text
// that the page frees. WM_UPDATER_DONE: the updater has finished, the version may have changed.
enum : UINT { WM_NEWS_LINE = WM_APP + 1, WM_UPDATER_DONE = WM_APP + 2 };

static const Label LABELS[] = {
    {IDC_U_PREF_LABEL, 0x2C0}, {IDC_U_CHECK, 0x2C4}, {IDC_U_INFO, 0x2C1},
    {IDC_U_VERSION_LABEL, 0x2C3}, {IDC_U_LAST_LABEL, 0x2C2}, {IDC_U_NEWS, 0x2C5},
};
static const int CHOICES[] = {0xA29, 0xA2A, 0xA2B};
static const int NEWS_CONTROLS[] = {IDC_U_NEWS1, IDC_U_NEWS2, IDC_U_NEWS3};

// Only when the library names no mirror; every mirror carries the same tree.
static const wchar_t NEWS_HOST[] = L"www.ondrel.example";
static const wchar_t NEWS_PATH[] = L"/program/news.txt";
static const wchar_t NEWS_FILE[] = L"%TEMP%\\tolva_news.txt";
// The file comes from the network and may be anything: only its start is read, and no line is
// longer than the control could ever show.
constexpr DWORD NEWS_READ_LIMIT = 64 * 1024;
constexpr size_t NEWS_LINE_LIMIT = 200;

static const wchar_t* const UPDATER_MUTEXES[] = {L"Tolva Updater Main", L"Tolva Updater Install"};
constexpr DWORD UPDATER_POLL_MS = 100;
// A self-update hands over from one updater process to the next; a few empty polls in a row
// bridge the moment between one letting go and the next taking hold.
constexpr int UPDATER_QUIET_POLLS = 3;

// One check at a time, for the whole program: a second click while the updater runs would start
// another one over it. Set by the click, cleared by the check's thread when it ends.
static std::atomic<bool> checking{false};

// update.dll as every program of the suite loads it, by name, freed on every path.
struct UpdateLibrary {
    HMODULE h;
    UpdateLibrary() : h(LoadLibraryW(L"update.dll")) {}
    ~UpdateLibrary() {
        if (h) FreeLibrary(h);
    }
    UpdateLibrary(const UpdateLibrary&) = delete;
    UpdateLibrary& operator=(const UpdateLibrary&) = delete;
};

// ---- Preference and program information ---------------------------------------------------------

static void fillPreferences(HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_U_PREF);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int id : CHOICES) {
        HeapText text(getString(id));
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.get() ? text.get() : L""));
    }
    // A value no entry stands for leaves the list without a selection rather than guessing one.
    SendMessageW(list, CB_SETCURSEL, getAutoUpdate(), 0);
}

static void savePreference(HWND dlg) {
    LRESULT index = SendDlgItemMessageW(dlg, IDC_U_PREF, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    RegKey key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        key.h = nullptr;
    } else {
        DWORD value = static_cast<DWORD>(index);
        rc = RegSetValueExW(key, L"AutoUpdate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    if (rc != ERROR_SUCCESS) reportError(0x226, rc);
}

static void loadUpdateDetails(HWND dlg) {
    HeapText unknown(getString(0x224));
    HeapText version(getStringSetting(L"CurrentVersion"));
    SetDlgItemTextW(dlg, IDC_U_VERSION, version.get() && *version.get() ? version.get() : unknown.get());

    std::wstring last = unknown.get() ? unknown.get() : L"";
    SYSTEMTIME* stored = getLastUpdate();
    FILETIME check;
    // A value that is no date at all (month 13, say) says as little as no value.
    if (stored && SystemTimeToFileTime(stored, &check)) {
        HeapText format(getString(0x225));
        if (format.get()) last = fillNumbers(format, {stored->wDay, stored->wMonth, stored->wYear, stored->wHour, stored->wMinute});
    }
    free(stored);
    SetDlgItemTextW(dlg, IDC_U_LAST, last.c_str());
}

// ---- News -----------------------------------------------------------------------------------------

// The mirrors in the library's order, each once (a single configured host is listed twice).
static std::vector<std::wstring> newsHosts(SHUFFLEMIRRORS shuffle) {
    std::vector<std::wstring> hosts;
    if (wchar_t** mirrors = shuffle ? shuffle() : nullptr) {
        for (wchar_t** m = mirrors; *m; ++m) {
            bool seen = std::any_of(hosts.begin(), hosts.end(),
                                    [&](const std::wstring& h) { return _wcsicmp(h.c_str(), *m) == 0; });
            if (!seen) hosts.emplace_back(*m);
        }
        free(mirrors);
    }
    if (hosts.empty()) hosts.emplace_back(NEWS_HOST);
    return hosts;
}

// Fetches the news into `destination`; 0, or the code the user is shown.
static DWORD downloadNews(const wchar_t* destination) {
    UpdateLibrary library;
    if (!library.h) return GetLastError();
    auto openCon = updateProc<OPENCON>(library.h, "openCon");
    // The news is shown as ours: only a copy signed with the release key is taken.
    auto downloadSigned = updateProc<DOWNLOADSIGNED>(library.h, "downloadSigned");
    if (!openCon || !downloadSigned) return GetLastError();
    HINTERNET session = openCon();
    if (!session) return GetLastError();
    int result = DOWNLOAD_NO_RESPONSE;
    for (const std::wstring& host : newsHosts(updateProc<SHUFFLEMIRRORS>(library.h, "shuffleMirrors"))) {
        std::wstring url = L"http://" + host + NEWS_PATH;
        result = downloadSigned(session, url.c_str(), destination, 0);
        // A mirror that is down, behind or serves an unsigned copy is passed over; a file that cannot be written here
        // would fail the same way with every mirror.
        if (result == DOWNLOAD_OK || result == DOWNLOAD_CREATE_FAILED || result == DOWNLOAD_WRITE_FAILED) break;
    }
    InternetCloseHandle(session);
    return static_cast<DWORD>(result);
}

// Whatever could break the one-line static or mislead its reader: controls, the separators that
// start new lines, the marks that reorder text, a stray byte-order mark.
static bool hiddenCharacter(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

static std::wstring shownLine(const wchar_t* p, size_t n) {
    std::wstring line;
    for (size_t i = 0; i < n && line.size() < NEWS_LINE_LIMIT; ++i) {
        wchar_t c = hiddenCharacter(p[i]) ? L' ' : p[i];
        if (c != L' ' || !line.empty()) line += c;
    }
    // Cut at the limit, the first half of a surrogate pair would show as a box of its own.
    if (!line.empty() && IS_HIGH_SURROGATE(line.back())) line.pop_back();
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return line;
}

// The first three lines of the file (UTF-16LE, a byte-order mark, CR LF), each ready to show;
// an empty one leaves its control alone. 0, or the code the user is shown.
static DWORD readNews(const wchar_t* path, std::wstring (&lines)[3]) {
    Handle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return GetLastError();
    std::vector<wchar_t> text(NEWS_READ_LIMIT / sizeof(wchar_t));
    auto* bytes = reinterpret_cast<BYTE*>(text.data());
    DWORD have = 0, got = 0;
    while (have < NEWS_READ_LIMIT && ReadFile(file, bytes + have, NEWS_READ_LIMIT - have, &got, nullptr) && got)
        have += got;
    size_t count = have / sizeof(wchar_t), at = count && text[0] == 0xFEFF ? 1 : 0;
    for (std::wstring& line : lines) {
        if (at >= count) break;
        size_t end = at;
        while (end < count && text[end] != L'\r' && text[end] != L'\n') ++end;
        line = shownLine(text.data() + at, end - at);
        at = end;
        if (at < count && text[at] == L'\r') ++at;
        if (at < count && text[at] == L'\n') ++at;
    }
    return 0;
}

static std::wstring newsError(DWORD code) {
    HeapText format(getString(0x2C6));
    return format.get() ? fillNumber(format, static_cast<long long>(code)) : std::wstring();
}

// The page shows and frees the text; a page that has gone meanwhile gets nothing and loses nothing.
static void postLine(HWND page, int control, const std::wstring& text) {
    wchar_t* copy = wcsdupHeap(text.c_str());
    if (copy && !PostMessageW(page, WM_NEWS_LINE, static_cast<WPARAM>(control), reinterpret_cast<LPARAM>(copy)))
        free(copy);
}

static DWORD WINAPI newsThread(void* param) {
    auto page = static_cast<HWND>(param);
    try {
        std::wstring lines[3];
        HeapText path(expand(NEWS_FILE));
        DWORD code = path.get() ? downloadNews(path) : GetLastError();
        if (code == 0) code = readNews(path, lines);
        if (code != 0) {
            lines[0] = newsError(code);
            lines[1].clear();
            lines[2].clear();
        }
        for (size_t i = 0; i < std::size(lines); ++i)
            if (!lines[i].empty()) postLine(page, NEWS_CONTROLS[i], lines[i]);
    } catch (const std::bad_alloc&) {
        // Without memory there is no news to show either; the page stays as it is.
    }
    return 0;
}

static void loadNews(HWND dlg) {
    HANDLE thread = CreateThread(nullptr, 0, newsThread, dlg, 0, nullptr);
    if (!thread) {
        SetDlgItemTextW(dlg, IDC_U_NEWS1, newsError(GetLastError()).c_str());
        return;
    }
    CloseHandle(thread);
}

// Texts still queued when the page goes would be lost with it. PeekMessage hands out the quit
// message whatever the filter, and the main window posts it just before its pages go: it is put
// back, or the program would never end.
static void dropQueuedNews(HWND dlg) {
    MSG msg;
    while (PeekMessageW(&msg, dlg, WM_NEWS_LINE, WM_NEWS_LINE, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        free(reinterpret_cast<wchar_t*>(msg.lParam));
    }
}

// ---- Check Now ----------------------------------------------------------------------------------

static bool updaterMutexExists() {
    for (const wchar_t* name : UPDATER_MUTEXES) {
        // Only looked for, never waited on: owning it even for a moment, or keeping it open,
        // would tell the updater's next process that another updater is already running.
        if (HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name)) {
            CloseHandle(mutex);
            return true;
        }
        // An elevated updater's mutex is there, just not ours to open.
        if (GetLastError() == ERROR_ACCESS_DENIED) return true;
    }
    return false;
}

// Returns once the started process has ended and no updater process holds a mutex any more. An
// updater that ends without ever creating one ends the wait as well; nothing here waits without
// a time-out.
static void waitForUpdater(HANDLE process) {
    bool running = process != nullptr;
    for (int quiet = 0; quiet < UPDATER_QUIET_POLLS;) {
        if (running) running = WaitForSingleObject(process, UPDATER_POLL_MS) == WAIT_TIMEOUT;
        else Sleep(UPDATER_POLL_MS);
        quiet = !running && !updaterMutexExists() ? quiet + 1 : 0;
    }
}

// False when nothing was started (reported).
static bool runUpdater(HWND page) {
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        reportError(IDS_NO_INSTALLDIR, GetLastError());
        return false;
    }
    std::wstring path = std::wstring(dir) + L"\\TolvaUpdater.exe";
    // Through the shell, so an updater that needs an administrator gets the elevation prompt;
    // the process handle is what the wait starts from.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = IsWindow(page) ? GetAncestor(page, GA_ROOT) : nullptr;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    if (!ShellExecuteExW(&info)) {
        DWORD code = GetLastError();
        reportError(0xA04, code ? code : static_cast<DWORD>(reinterpret_cast<INT_PTR>(info.hInstApp)));
        return false;
    }
    Handle process(info.hProcess);
    waitForUpdater(process);
    return true;
}

static void runUpdateCheck(HWND page) {
    int result;
    {
        UpdateLibrary library;
        auto checkUpdates = library.h ? updateProc<CHECKUPDATES>(library.h, "checkUpdates") : nullptr;
        if (!checkUpdates) {
            reportError(0xA03, GetLastError());
            return;
        }
        result = checkUpdates(0, 0);
    }
    // Anything else is an error the library could not explain; the user asked and learns nothing new.
    if (result < 0 || result > 3) return;
    HWND owner = IsWindow(page) ? page : nullptr;
    HeapText caption(getString(0xA26));
    if (result == 0) {
        HeapText text(getString(0xA28));
        msgBox(owner, text, caption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (ask(owner, 0xA27, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (runUpdater(page)) PostMessageW(page, WM_UPDATER_DONE, 0, 0);
}

static DWORD WINAPI updateThread(void* param) {
    try {
        runUpdateCheck(static_cast<HWND>(param));
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    checking = false;
    return 0;
}

static void checkNow(HWND dlg) {
    if (checking.exchange(true)) return;
    HANDLE thread = CreateThread(nullptr, 0, updateThread, dlg, 0, nullptr);
    if (!thread) {
        DWORD code = GetLastError();
        checking = false;
        reportError(0xA03, code);
        return;
    }
    CloseHandle(thread);
}

INT_PTR CALLBACK UpdateTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG:
            loadNews(dlg);
            return TRUE;
        case WM_NEWS_LINE: {
            HeapText text(reinterpret_cast<wchar_t*>(lParam));
            int control = static_cast<int>(wParam);
            if (std::find(std::begin(NEWS_CONTROLS), std::end(NEWS_CONTROLS), control) != std::end(NEWS_CONTROLS))
                SetDlgItemTextW(dlg, control, text);
            return TRUE;
        }
        case WM_UPDATER_DONE:
            loadUpdateDetails(dlg);
            return TRUE;
        case WM_DESTROY:
            dropQueuedNews(dlg);
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case CMD_RELABEL:
                relabel(dlg, LABELS);
                fillPreferences(dlg);
                loadUpdateDetails(dlg);
                return TRUE;
            case IDC_U_PREF:
                if (HIWORD(wParam) == CBN_SELCHANGE) savePreference(dlg);
                return TRUE;
            case IDC_U_CHECK:
                if (HIWORD(wParam) == BN_CLICKED) checkNow(dlg);
                return TRUE;
            }
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    return FALSE;
}
