// Run once by the installation: a fresh installation counts as up to date from the moment it was made.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    HKEY key;
    // The key is the installation's; if it is missing the suite is not installed and nothing is created.
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Ondrel\\Tolva", 0, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) return static_cast<int>(rc);
    SYSTEMTIME now;
    GetLocalTime(&now);
    rc = RegSetValueExW(key, L"LastUpdate", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&now), sizeof now);
    LONG closed = RegCloseKey(key);
    // A failed write must not look like success to the installation.
    return static_cast<int>(rc != ERROR_SUCCESS ? rc : closed);
}
