// What a reminder's Launch button runs: a program command line, or one of the built-in actions
// ":temp", ":defrag" and ":wupdate". Runs on the check thread while the popup loop waits.
#include "Tolva.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>
#include <vector>

namespace {

const wchar_t* const TEMP_FOLDERS[] = {
    L"%TEMP%",
    L"%systemroot%\\Temp",
    L"%userprofile%\\Local Settings\\Temporary Internet Files",
};

const wchar_t WINDOWS_UPDATE_SITE[] = L"http://windowsupdate.microsoft.com/";

// errBox with the looked-up 0x113 format and `shown` as its argument.
void reportCommand(const wchar_t* shown, DWORD code) {
    HeapText format(getString(IDS_NO_COMMAND));
    SetLastError(code);
    errBox(format, shown, TRUE);
}

std::wstring expanded(const wchar_t* text) {
    HeapText out(expand(text));
    return out.get() ? std::wstring(out) : std::wstring();
}

std::wstring joinPath(const wchar_t* folder, const wchar_t* name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + name;
}

// A temporary folder we are willing to empty: an absolute path, fully expanded, and not the
// root of a drive or share. An unset or damaged variable must never point the cleanup at
// the current folder or a whole disk.
bool isEmptiableFolder(const std::wstring& folder) {
    if (folder.empty() || folder.find(L'%') != std::wstring::npos) return false;
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    if (drive) return path.size() > 3;
    if (path.rfind(L"\\\\", 0) == 0) {
        // \\server\share\folder: at least one folder below the share.
        size_t server = path.find(L'\\', 2);
        size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        return share != std::wstring::npos && share + 1 < path.size();
    }
    return false;
}

// Deeper than this the cleanup leaves a tree alone: every level costs stack on the check thread.
constexpr int MAX_DEPTH = 400;

} // namespace

std::vector<Found> listFolder(const std::wstring& folder) {
    std::vector<Found> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(joinPath(folder.c_str(), L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
        found.push_back({data.cFileName, data.dwFileAttributes});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

namespace {

// The name the system resolved for an open handle, below its volume's root; empty when it can't
// say. Unlike the full final path this has no MAX_PATH limit under Wine.
std::wstring nameOf(HANDLE h) {
    alignas(FILE_NAME_INFO) BYTE small[4096];
    std::vector<BYTE> large;
    BYTE* buffer = small;
    DWORD size = sizeof small;
    if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer, size)) {
        if (GetLastError() != ERROR_MORE_DATA) return {};
        large.resize(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
        buffer = large.data();
        size = static_cast<DWORD>(large.size());
        if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer, size)) return {};
    }
    const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer);
    DWORD length = std::min<DWORD>(info->FileNameLength / sizeof(wchar_t), (size - sizeof(DWORD)) / sizeof(wchar_t));
    return std::wstring(info->FileName, length);
}

DWORD volumeOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(h, &info) ? info.dwVolumeSerialNumber : 0;
}

// Where a folder's entries must resolve to, from its open handle.
struct Place {
    std::wstring name;
    DWORD volume;
};

// True when the handle is the very object the listing found at `expected` and no link of any
// kind: the reparse tag catches links where the file system marks them; the resolved name catches
// a link the file system shows as a plain entry (host links under Wine) and an entry swapped since.
bool isPlainObjectAt(HANDLE h, const Place& expected) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    std::wstring resolved = nameOf(h);
    return !resolved.empty() && volumeOf(h) == expected.volume &&
           CompareStringOrdinal(resolved.c_str(), -1, expected.name.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool deleteThroughHandle(HANDLE h) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

void removeFile(const std::wstring& path, const Place& expected) {
    // Opened as itself, not as what a link points to, and deleted through this very handle.
    Handle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return; // in use, or gone meanwhile
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return;
    // A marked link, opened as itself, goes without what it points to.
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) deleteThroughHandle(file);
        return;
    }
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return; // swapped for a folder since listed
    if (isPlainObjectAt(file, expected)) deleteThroughHandle(file);
}

void emptyOpenedFolder(const std::wstring& path, HANDLE folder, const std::vector<Found>& listing, int depth);

// A folder found in the listing: entered only as itself, held open without delete sharing while
// the cleanup works below it, so it can be neither renamed nor swapped for a link meanwhile.
void removeFolder(const std::wstring& path, const Place& expected, int depth) {
    if (depth >= MAX_DEPTH) return;
    {
        Handle folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (folder.h == INVALID_HANDLE_VALUE) return;
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &tag, sizeof tag) ||
            !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isPlainObjectAt(folder, expected))
            return;
        emptyOpenedFolder(path, folder, listFolder(path), depth + 1);
    }
    RemoveDirectoryW(path.c_str());
}

void emptyOpenedFolder(const std::wstring& path, HANDLE folder, const std::vector<Found>& listing, int depth) {
    Place here{nameOf(folder), volumeOf(folder)};
    if (here.name.empty()) return;
    if (here.name.back() != L'\\') here.name += L'\\';
    for (const Found& entry : listing) {
        // Unreadable attributes say nothing about what the entry is: leave it.
        if (entry.attributes == INVALID_FILE_ATTRIBUTES) continue;
        std::wstring child = path + L"\\" + entry.name;
        Place expected{here.name + entry.name, here.volume};
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A junction or link may lead anywhere on the disk: at most the link itself goes.
            if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(child.c_str());
            else removeFile(child, expected);
        } else if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeFolder(child, expected, depth);
        } else {
            removeFile(child, expected);
        }
    }
}

void showCleanupDone() {
    HeapText text(getString(IDS_TEMP_CLEANED));
    msgBox(nullptr, text, L"Tolva", MB_OK | MB_ICONINFORMATION);
}

} // namespace

bool startProcess(const wchar_t* program, const wchar_t* commandLine) {
    std::wstring line = commandLine ? commandLine : L"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program, commandLine ? line.data() : nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void doCommand(const wchar_t* cmd) {
    if (!cmd || !*cmd) return;
    if (cmd[0] == L':') {
        if (_wcsicmp(cmd, L":temp") == 0) cleanTempFiles();
        else if (_wcsicmp(cmd, L":defrag") == 0) launchDefrag();
        else if (_wcsicmp(cmd, L":wupdate") == 0) launchWUpdate();
        return;
    }
    // Started directly, never through the shell: a document named as a command is an error, not
    // something to open by association. The wide call keeps names the ANSI code page lacks.
    std::wstring line = expanded(cmd);
    if (line.empty() || !startProcess(nullptr, line.c_str())) reportCommand(cmd, GetLastError());
}

StringList* getFiles(const wchar_t* folder, BOOL folders) {
    StringListTail list;
    for (const Found& entry : listFolder(folder)) {
        bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == (folders != FALSE) && !list.append(entry.name.c_str())) break;
    }
    return list.head;
}

std::wstring emptiableFolder(const wchar_t* folder) {
    std::wstring path = expanded(folder);
    // Refused before it is resolved: a relative or unexpanded name would resolve against whatever
    // the current folder happens to be.
    bool absolute = (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') ||
                    path.rfind(L"\\\\", 0) == 0;
    if (!absolute || path.find(L'%') != std::wstring::npos) return {};
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) path = L"\\\\" + path.substr(8);
    else if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    else if (path.rfind(L"\\\\.\\", 0) == 0) return {}; // a device, not a folder
    DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!need) return {};
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (!got || got >= need) return {};
    full.resize(got);
    // "C:\." and "C:\Temp\.." are the whole disk as much as "C:\" is.
    if (!isEmptiableFolder(full)) return {};
    while (full.back() == L'\\') full.pop_back();
    // The long form: without it anything deeper than MAX_PATH would stay behind unnoticed.
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

void emptyListed(const std::wstring& folder, const std::vector<Found>& listing) {
    // The temporary folder itself may well be a link (a profile moved to another disk): it is
    // followed; nothing below it is.
    Handle top(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr));
    if (top.h == INVALID_HANDLE_VALUE) return;
    emptyOpenedFolder(folder, top, listing, 0);
}

void emptyFolder(const wchar_t* folder) { emptyListed(folder, listFolder(folder)); }

void cleanTempFolders(const wchar_t* const* folders, size_t count, bool emptyRecycleBins) {
    for (size_t i = 0; i < count; ++i) {
        // Out of memory in a huge tree: what was removed stays removed, the rest waits for next time.
        try {
            std::wstring folder = emptiableFolder(folders[i]);
            if (!folder.empty()) emptyFolder(folder.c_str());
        } catch (const std::bad_alloc&) {
        }
    }
    if (emptyRecycleBins) SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    showCleanupDone();
}

void cleanTempFiles() { cleanTempFolders(TEMP_FOLDERS, sizeof TEMP_FOLDERS / sizeof *TEMP_FOLDERS, true); }

void launchDefrag() {
    int os = getOSVersion();
    if (os == OS_WIN2000 || os == OS_WINXP) {
        std::wstring mmc = expanded(L"%systemroot%\\system32\\mmc.exe");
        if (!startProcess(mmc.c_str(), (L"\"" + mmc + L"\" dfrg.msc").c_str()))
            reportCommand(L"mmc.exe dfrg.msc", GetLastError());
    } else if (os >= OS_VISTA && os <= OS_WIN10) {
        std::wstring dfrgui = expanded(L"%systemroot%\\system32\\dfrgui.exe");
        if (!startProcess(dfrgui.c_str(), nullptr)) reportCommand(dfrgui.c_str(), GetLastError());
    }
}

void launchWUpdate() {
    int os = getOSVersion();
    if (os == OS_WIN2000 || os == OS_WINXP) {
        std::wstring browser = expanded(L"%programfiles%\\Internet Explorer\\iexplore.exe");
        std::wstring site = std::wstring(L"\"") + WINDOWS_UPDATE_SITE + L"\"";
        if (!startProcess(browser.c_str(), (L"\"" + browser + L"\" " + site).c_str()))
            reportCommand((L"iexplore " + site).c_str(), GetLastError());
    } else if (os == OS_VISTA || os == OS_WIN7 || os == OS_WIN8) {
        std::wstring control = expanded(L"%systemroot%\\system32\\control.exe");
        // Windows 8 dropped the wuaucpl.cpl applet; its page is reached by canonical name.
        const wchar_t* page = os == OS_WIN8 ? L"/name Microsoft.WindowsUpdate" : L"wuaucpl.cpl";
        if (!startProcess(control.c_str(), (L"\"" + control + L"\" " + page).c_str()))
            reportCommand((std::wstring(L"control ") + page).c_str(), GetLastError());
    } else if (os == OS_WIN10) {
        // Windows 10 and 11 keep Windows Update in Settings, reachable only through the shell.
        auto rc = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", L"ms-settings:windowsupdate", nullptr, nullptr, SW_SHOWNORMAL));
        if (rc <= 32) reportCommand(L"ms-settings:windowsupdate", static_cast<DWORD>(rc));
    }
}
