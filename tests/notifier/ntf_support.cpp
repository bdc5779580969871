#include "ntf_support.h"

#include <vector>

#include "fixture.h"

namespace {

std::wstring fromUnix(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

void createKeyWithDefault(const std::wstring& path, const wchar_t* defaultValue) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    if (defaultValue)
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue),
                       static_cast<DWORD>((wcslen(defaultValue) + 1) * 2));
    RegCloseKey(key);
}

struct Hidden {
    DWORD pid;
    HWND hwnd = nullptr;
};

BOOL CALLBACK findHidden(HWND hwnd, LPARAM param) {
    auto* h = reinterpret_cast<Hidden*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = L"", title[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, title, 64);
    if (pid == h->pid && wcscmp(cls, L"WindowsApp") == 0 && wcscmp(title, L"Tolva") == 0) {
        h->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::wstring binFolder() { return fromUnix(TOLVA_BIN_UNIX); }
std::wstring artifactsFolder() {
    std::wstring folder = fromUnix(TOLVA_ARTIFACTS_UNIX);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}
std::wstring testFolder() { return exeFolder(); }

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    return t;
}

static long long toMinutes(const SYSTEMTIME& t) {
    SYSTEMTIME copy = t;
    copy.wSecond = copy.wMilliseconds = 0;
    copy.wDayOfWeek = 0;
    FILETIME ft;
    SystemTimeToFileTime(&copy, &ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    return static_cast<long long>(u.QuadPart / 600000000ULL);
}

long long minutesBetween(const SYSTEMTIME& a, const SYSTEMTIME& b) { return toMinutes(b) - toMinutes(a); }

SYSTEMTIME nowPlusMinutes(int minutes) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    now.wSecond = now.wMilliseconds = 0;
    FILETIME ft;
    SystemTimeToFileTime(&now, &ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    u.QuadPart += static_cast<long long>(minutes) * 600000000LL;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    SYSTEMTIME out;
    FileTimeToSystemTime(&ft, &out);
    return out;
}

void prepareStore(DWORD autoUpdate) {
    removeUserSettings();
    installAt(binFolder());
    setUserDword(L"Language", 1);
    setUserDword(L"AutoUpdate", autoUpdate);
    createKeyWithDefault(REMINDERS_KEY L"\\Custom\\Default", nullptr);
    createKeyWithDefault(REMINDERS_KEY L"\\Built-in\\System", L"System");
}

void storeReminder(const StoredReminder& s) {
    std::wstring name = s.name, text = s.text;
    Reminder* rem = createReminder(name.data(), s.custom, text.data(), s.frequency, &s.due, s.active, s.later,
                                   s.yesText, s.cmd, s.custom ? L"Default" : L"System");
    if (!rem) return;
    if (!s.custom) rem->id = wcsdupHeap(s.name);
    saveReminder(rem);
    freeReminder(rem);
}

ReminderPtr loadReminder(const wchar_t* name, bool custom) {
    ReminderList* list = getReminders(custom, custom ? L"Default" : L"System");
    Reminder* found = nullptr;
    for (ReminderList* n = list; n; n = n->next) {
        const wchar_t* key = custom ? n->reminder->name : n->reminder->id;
        if (!found && key && _wcsicmp(key, name) == 0) found = cloneReminder(n->reminder);
        freeReminder(n->reminder);
    }
    freeReminderList(list);
    return ReminderPtr(found);
}

std::wstring readUtf8(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buf[4096];
    DWORD got;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    CloseHandle(f);
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}


ModalWindow answerWindowOf(DWORD pid, int press, DWORD timeoutMs, const std::function<void(HWND)>& before) {
    ModalWindow w;
    HWND dlg = findWindowOf(pid, L"#32770", timeoutMs);
    if (!dlg) return w;
    // Captions are set when a window first activates, and popups slide in first.
    Sleep(700);
    w = readWindow(dlg);
    if (before) before(dlg);
    if (HWND button = GetDlgItem(dlg, press); button && w.button(press)) {
        w.pressed = true;
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else {
        PostMessageW(dlg, WM_COMMAND, press, 0);
    }
    DWORD start = GetTickCount();
    while (IsWindow(dlg) && GetTickCount() - start < 10000) Sleep(20);
    return w;
}

Program::Program(const std::wstring& exe, const std::wstring& args, const wchar_t* folder) {
    std::wstring line = L"\"" + exe + L"\"";
    if (!args.empty()) line += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi);
}

Program::~Program() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

bool Program::waitExit(DWORD timeoutMs, DWORD* code) const {
    if (!pi.hProcess || WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    if (code) GetExitCodeProcess(pi.hProcess, code);
    return true;
}

Notifier::Notifier(const wchar_t* args)
    : process(binFolder() + L"\\Tolva.exe", args ? args : L"", binFolder().c_str()) {}

HWND Notifier::hiddenWindow(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    do {
        Hidden h{pid()};
        EnumWindows(findHidden, reinterpret_cast<LPARAM>(&h));
        if (h.hwnd) return h.hwnd;
        Sleep(25);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool Notifier::exitFromMenu() {
    HWND window = hiddenWindow(2000);
    if (!window) return false;
    PostMessageW(window, WM_COMMAND, 5, 0);
    DWORD code = 1;
    return waitExit(10000, &code) && code == 0;
}
