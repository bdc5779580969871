#include "setup_support.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "fixture.h"

std::vector<DWORD> processChildren(DWORD pid) {
    std::vector<DWORD> found;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (e.th32ParentProcessID == pid && e.th32ProcessID != pid) found.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return found;
}

namespace {

std::wstring fromUnix(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

std::wstring quoted(const std::wstring& s) {
    return L"\"" + s + L"\"";
}

// Waits for `process` and then for its children, depth first; false when the time ran out.
bool waitTree(HANDLE process, DWORD pid, DWORD deadline, DWORD& code) {
    DWORD left = deadline - GetTickCount();
    if (static_cast<LONG>(left) <= 0 || WaitForSingleObject(process, left) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process, &code);
    for (DWORD child : processChildren(pid)) {
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child);
        if (!h) continue; // gone already
        bool ended = waitTree(h, child, deadline, code);
        CloseHandle(h);
        if (!ended) return false;
    }
    return true;
}

struct Hidden {
    DWORD notPid;
    HWND hwnd = nullptr;
    DWORD pid = 0;
};

BOOL CALLBACK findHidden(HWND hwnd, LPARAM param) {
    auto* h = reinterpret_cast<Hidden*>(param);
    wchar_t cls[64] = L"", title[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, title, 64);
    if (wcscmp(cls, L"WindowsApp") != 0 || wcscmp(title, L"Tolva") != 0) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == h->notPid) return TRUE;
    h->hwnd = hwnd;
    h->pid = pid;
    return FALSE;
}

} // namespace

std::wstring buildBin() {
    return fromUnix(TOLVA_BIN_UNIX);
}
std::wstring setupProgram() {
    return fromUnix(TOLVA_SETUP_UNIX);
}

std::wstring artifactsFolder() {
    std::wstring folder = fromUnix(TOLVA_ARTIFACTS_UNIX);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

RegValue regQuery(const std::wstring& key, const wchar_t* name) {
    DWORD code = 1;
    std::wstring out =
        runCapture(L"reg query " + quoted(key) + (name ? L" /v " + quoted(name) : L" /ve"), &code);
    RegValue v;
    if (code != 0) return v;
    // Each value is printed as four blanks, name, four blanks, type, four blanks, data.
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find(L'\n', start);
        if (end == std::wstring::npos) end = out.size();
        std::wstring line = out.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        size_t type = line.find(L"    REG_", 4);
        if (line.rfind(L"    ", 0) != 0 || type == std::wstring::npos) continue;
        size_t data = line.find(L"    ", type + 4);
        v.found = true;
        v.type = line.substr(type + 4, data == std::wstring::npos ? std::wstring::npos : data - type - 4);
        v.data = data == std::wstring::npos ? L"" : line.substr(data + 4);
        return v;
    }
    return v;
}

bool regKeyExists(const std::wstring& key) {
    DWORD code = 1;
    runCapture(L"reg query " + quoted(key), &code);
    return code == 0;
}

std::wstring regDump(const std::wstring& key) {
    DWORD code = 1;
    std::wstring out = runCapture(L"reg query " + quoted(key) + L" /s", &code);
    return code == 0 ? out : L"";
}

DWORD runToEnd(const std::wstring& exe, const std::wstring& args, bool andChildren, DWORD timeoutMs) {
    std::wstring line = quoted(exe) + L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-1);
    DWORD deadline = GetTickCount() + timeoutMs, code = static_cast<DWORD>(-1);
    bool ended = andChildren ? waitTree(pi.hProcess, pi.dwProcessId, deadline, code)
                             : WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
                                   GetExitCodeProcess(pi.hProcess, &code);
    if (!ended) {
        TerminateProcess(pi.hProcess, 1);
        code = static_cast<DWORD>(-1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

Process::Process(const std::wstring& exe, const std::wstring& args) {
    std::wstring line = quoted(exe) + (args.empty() ? L"" : L" " + args);
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                        &pi))
        pi = {};
}

Process::Process(DWORD pid) {
    pi.hProcess =
        OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    pi.dwProcessId = pid;
}

Process::~Process() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
}

bool Process::waitExit(DWORD timeoutMs, DWORD* code) const {
    if (!pi.hProcess || WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    if (code) GetExitCodeProcess(pi.hProcess, code);
    return true;
}

std::wstring Process::imagePath() const {
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!pi.hProcess || !QueryFullProcessImageNameW(pi.hProcess, 0, path, &size)) return L"";
    return std::wstring(path, size);
}

HWND notifierWindow(DWORD* pid, DWORD timeoutMs, DWORD notPid) {
    DWORD start = GetTickCount();
    do {
        Hidden h{notPid};
        EnumWindows(findHidden, reinterpret_cast<LPARAM>(&h));
        if (h.hwnd) {
            if (pid) *pid = h.pid;
            return h.hwnd;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

HWND dialogOf(DWORD pid, DWORD timeoutMs, HWND skip) { return findWindowOf(pid, L"#32770", timeoutMs, skip); }

std::wstring commonPrograms() {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring shortcutTarget(const std::wstring& lnk) {
    std::wstring target;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return target;
}

std::vector<std::wstring> filesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(d.cFileName);
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return names;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
