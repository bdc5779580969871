// Stands in for the programs the notifier starts (manager, updater, a reminder's command): it
// appends its own file name and arguments as one UTF-8 line to probe.log beside the test program
// that set TOLVA_PROBE_LOG, or beside itself, and exits.
#include <windows.h>
#include <string>

int wmain() {
    wchar_t log[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"TOLVA_PROBE_LOG", log, MAX_PATH)) return 1;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = self;
    line = line.substr(line.find_last_of(L'\\') + 1);
    const wchar_t* args = GetCommandLineW();
    // Skip the program token, quoted or not.
    if (*args == L'"') {
        args = wcschr(args + 1, L'"');
        args = args ? args + 1 : L"";
    } else {
        while (*args && *args != L' ') ++args;
    }
    while (*args == L' ') ++args;
    line += L"|";
    line += args;
    line += L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    HANDLE f = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    DWORD written;
    WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
    CloseHandle(f);
    return 0;
}
