// What a reminder's Launch button runs: a program command line, or one of the built-in actions
// ":temp", ":defrag" and ":wupdate". Runs on the check thread while the popup loop waits.
#include "Tolva.h"

#include <cwchar>
#include <cwctype>
#include <string>

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
    StringList* list = nullptr;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(joinPath(folder, L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return nullptr;
    do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == (folders != FALSE)) list = addString(list, found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return list;
}

void emptyFolder(const wchar_t* folder) {
    StringList* files = getFiles(folder, FALSE);
    for (StringList* f = files; f; f = f->next) DeleteFileW(joinPath(folder, f->string).c_str());
    freeStringList(files);

    StringList* folders = getFiles(folder, TRUE);
    for (StringList* f = folders; f; f = f->next) {
        std::wstring path = joinPath(folder, f->string);
        DWORD attributes = GetFileAttributesW(path.c_str());
        // A junction or folder link may lead anywhere on the disk: remove the link, never
        // what it points to.
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            RemoveDirectoryW(path.c_str());
            continue;
        }
        emptyFolder(path.c_str());
        RemoveDirectoryW(path.c_str());
    }
    freeStringList(folders);
}

void cleanTempFolders(const wchar_t* const* folders, size_t count, bool emptyRecycleBins) {
    for (size_t i = 0; i < count; ++i) {
        std::wstring folder = expanded(folders[i]);
        if (isEmptiableFolder(folder)) emptyFolder(folder.c_str());
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
