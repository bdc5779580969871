// Stands in for the setup program a re-install downloads: leaves "<its own name>.ran" beside
// itself with the command line it was given, so a test can tell that, and how, it was started.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int, wchar_t**) {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!n || n == MAX_PATH) return 2;
    std::wstring marker = std::wstring(self, n) + L".ran";
    FILE* f = _wfopen(marker.c_str(), L"wb");
    if (!f) return 2;
    const wchar_t* line = GetCommandLineW();
    fwrite(line, sizeof(wchar_t), wcslen(line), f);
    fclose(f);
    return 0;
}
