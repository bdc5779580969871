#include "fixture.h"

#include <commctrl.h>

#include "common.h"

#include <stdexcept>

std::wstring exeFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\'));
}

void installAt(const std::wstring& folder) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        throw std::runtime_error("cannot create the machine-wide key");
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * 2));
    RegCloseKey(key);
}

void removeMachineSettings() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, TOLVA_KEY); RegDeleteKeyW(HKEY_LOCAL_MACHINE, TOLVA_KEY); }

void removeUserSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, TOLVA_KEY); RegDeleteKeyW(HKEY_CURRENT_USER, TOLVA_KEY); }

void setUserDword(const wchar_t* name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        throw std::runtime_error("cannot create the per-user key");
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::wstring makeTempFolder(const wchar_t* tag) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    for (;;) {
        std::wstring path = std::wstring(temp) + L"tolva-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(++serial);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temp folder");
    }
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a file");
    DWORD written;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::string readFileBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(f, nullptr), '\0');
    DWORD got = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(f);
    bytes.resize(got);
    return bytes;
}

std::string utf16(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::wstring runCapture(const std::wstring& commandLine, DWORD* exitCode) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &sa, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        throw std::runtime_error("cannot start a child process");
    }
    CloseHandle(writeEnd);
    std::string out;
    char buf[4096];
    DWORD got;
    while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (exitCode) *exitCode = code;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    int n = MultiByteToWideChar(CP_OEMCP, 0, out.data(), static_cast<int>(out.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, out.data(), static_cast<int>(out.size()), wide.data(), n);
    return wide;
}

bool saveScreenshot(const std::wstring& path) {
    int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
           SRCCOPY);
    GdiFlush();
    DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::string out(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.append(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    out.append(static_cast<const char*>(bits), size);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    try {
        writeFile(path, out);
    } catch (...) {
        return false;
    }
    return true;
}

namespace {

struct Found {
    DWORD pid;
    const wchar_t* cls;
    HWND skip;
    HWND hwnd = nullptr;
};

BOOL CALLBACK findTopLevel(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid || hwnd == f->skip || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    if (wcscmp(cls, f->cls) != 0) return TRUE;
    f->hwnd = hwnd;
    return FALSE;
}

} // namespace

HWND findWindowOf(DWORD pid, const wchar_t* cls, DWORD timeoutMs, HWND skip) {
    DWORD start = GetTickCount();
    do {
        Found f{pid, cls, skip};
        EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd) return f.hwnd;
        Sleep(25);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring tabTitle(HWND tabs, int tab) {
    wchar_t title[256] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = 256;
    SendMessageW(tabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    return title;
}
