// What Windows shows in a file's properties: every file the setup program installs, and the setup
// program itself, name the same product version, maker and product, and say which file they are.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "setup_support.h"

namespace {

const std::wstring VERSION = L"" TOLVA_VERSION;

struct VersionInfo {
    bool found = false;
    VS_FIXEDFILEINFO fixed{};
    std::vector<BYTE> data;
    std::wstring block; // "\StringFileInfo\<language><code page>\"

    std::wstring text(const wchar_t* name) const {
        void* p = nullptr;
        UINT n = 0;
        std::wstring path = block + name;
        if (!VerQueryValueW(data.data(), path.c_str(), &p, &n) || !n) return L"";
        return static_cast<const wchar_t*>(p);
    }
};

VersionInfo readVersion(const std::wstring& file) {
    VersionInfo v;
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (!size) return v;
    v.data.resize(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, v.data.data())) return v;
    void* p = nullptr;
    UINT n = 0;
    if (!VerQueryValueW(v.data.data(), L"\\", &p, &n) || n < sizeof v.fixed) return v;
    v.fixed = *static_cast<VS_FIXEDFILEINFO*>(p);
    // The strings are looked up through the first translation, as Explorer does.
    if (!VerQueryValueW(v.data.data(), L"\\VarFileInfo\\Translation", &p, &n) || n < 4) return v;
    const WORD* t = static_cast<const WORD*>(p);
    wchar_t block[40];
    swprintf(block, 40, L"\\StringFileInfo\\%04x%04x\\", t[0], t[1]);
    v.block = block;
    v.found = true;
    return v;
}

// How many version resources the file carries, in all languages; a second one, left in a
// resource script by hand, would hide or contradict the one made from the project's version.
int versionResources(const std::wstring& file) {
    HMODULE module =
        LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return -1;
    int count = 0;
    EnumResourceNamesW(
        module, RT_VERSION,
        [](HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR param) -> BOOL {
            EnumResourceLanguagesW(
                m, type, name,
                [](HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR p) -> BOOL {
                    ++*reinterpret_cast<int*>(p);
                    return TRUE;
                },
                param);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&count));
    FreeLibrary(module);
    return count;
}

// TOLVA_VERSION ("major.minor.patch") as the two numbers of a fixed file version.
void projectVersion(DWORD& ms, DWORD& ls) {
    unsigned major = 0, minor = 0, patch = 0;
    swscanf(VERSION.c_str(), L"%u.%u.%u", &major, &minor, &patch);
    ms = MAKELONG(minor, major);
    ls = MAKELONG(0, patch);
}

TEST(VersionResource, EveryInstalledFileAndTheSetupProgramNameProductMakerVersionAndThemselves) {
    struct Case {
        std::wstring path;
        const wchar_t* name;
        DWORD type;
    };
    const std::wstring bin = buildBin();
    const Case cases[] = {
        {bin + L"\\Tolva.exe", L"Tolva.exe", VFT_APP},
        {bin + L"\\manager.exe", L"manager.exe", VFT_APP},
        {bin + L"\\TolvaUpdater.exe", L"TolvaUpdater.exe", VFT_APP},
        {bin + L"\\Datemark.exe", L"Datemark.exe", VFT_APP},
        {bin + L"\\reminders.dll", L"reminders.dll", VFT_DLL},
        {bin + L"\\update.dll", L"update.dll", VFT_DLL},
        {setupProgram(), L"Tolva-setup.exe", VFT_APP},
    };
    DWORD ms, ls;
    projectVersion(ms, ls);
    std::set<std::wstring> descriptions;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(1, versionResources(c.path));
        VersionInfo v = readVersion(c.path);
        ASSERT_TRUE(v.found);
        EXPECT_EQ(VS_FFI_SIGNATURE, v.fixed.dwSignature);
        EXPECT_EQ(ms, v.fixed.dwFileVersionMS);
        EXPECT_EQ(ls, v.fixed.dwFileVersionLS);
        EXPECT_EQ(ms, v.fixed.dwProductVersionMS);
        EXPECT_EQ(ls, v.fixed.dwProductVersionLS);
        EXPECT_EQ(c.type, v.fixed.dwFileType);
        EXPECT_EQ(L"Ondrel", v.text(L"CompanyName"));
        EXPECT_EQ(L"Tolva", v.text(L"ProductName"));
        EXPECT_EQ(VERSION, v.text(L"FileVersion"));
        EXPECT_EQ(VERSION, v.text(L"ProductVersion"));
        EXPECT_EQ(0, _wcsicmp(c.name, v.text(L"OriginalFilename").c_str())) << v.text(L"OriginalFilename");
        EXPECT_NE(std::wstring::npos, v.text(L"LegalCopyright").find(L"Ondrel"));
        std::wstring description = v.text(L"FileDescription");
        EXPECT_NE(std::wstring::npos, description.find(L"Tolva")) << description;
        EXPECT_TRUE(descriptions.insert(description).second) << "shared by two files: " << description;
    }
}

} // namespace
