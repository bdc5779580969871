#include "update_test_support.h"

#include "common.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

std::wstring treesFolder() {
    std::wstring path = L"Z:";
    for (const char* p = UPDATE_TREES_UNIX; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

static std::wstring portFrom(const wchar_t* name) {
    std::string port = readWholeFile(treesFolder() + L"\\server\\" + name);
    if (port.empty()) throw std::runtime_error("the test server is not running");
    return L"127.0.0.1:" + std::wstring(port.begin(), port.end());
}

std::wstring serverHost() { return portFrom(L"port"); }
std::wstring refusedHost() { return portFrom(L"refused"); }

std::string readWholeFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void copyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot list a folder to copy");
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            copyTree(from + L"\\" + name, to + L"\\" + name);
        else if (!CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE))
            throw std::runtime_error("cannot copy a file");
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void setMachineString(const wchar_t* name, const std::wstring& value) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr))
        throw std::runtime_error("cannot create the machine-wide key");
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void setMachineDword(const wchar_t* name, DWORD value) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr))
        throw std::runtime_error("cannot create the machine-wide key");
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void deleteMachineValue(const wchar_t* name) {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, KEY_SET_VALUE, key.out()) == ERROR_SUCCESS)
        RegDeleteValueW(key, name);
}
