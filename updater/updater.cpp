// TolvaUpdater: the normal run (check, download, apply), the install run that replaces the updater
// itself, and the hand-over between them. Runs as administrator and writes into the installation,
// so nothing it reads from the network or from %TEMP% is used before it has been verified.
#include "updater.h"

#include "update_dll_md5.h"

#include <shellapi.h>

#include <cwctype>
#include <vector>

const char UPDATE_DLL_MD5[] = UPDATE_DLL_MD5_TEXT;

namespace {

struct Flags {
    int silent = 0, install = 0, force = 0;
};

std::wstring temp(const wchar_t* name) {
    HeapText folder(expand(L"%TEMP%"));
    return std::wstring(folder.get() ? folder.get() : L".") + name;
}

void failure(int silent, int textId, bool withCode, DWORD code = 0) {
    if (silent) return;
    if (withCode) reportError(textId, code);
    else reportPlain(textId);
}

// A function missing from update.dll: logged with the Windows error, reported as an update failure.
bool bindFailure(const Flags& flags, const wchar_t* format) {
    DWORD code = GetLastError();
    logiti(format, code);
    failure(flags.silent, 0x502, true, code);
    return false;
}

void infoBox(int textId) {
    HeapText text(getString(textId)), caption(getString(0xA26));
    msgBox(nullptr, text, caption, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
}

bool start(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\"" + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void recordUpdate(const std::string& version) {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, KEY_SET_VALUE, key.out()) != ERROR_SUCCESS) {
        key.h = nullptr;
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    RegSetValueExW(key, L"LastUpdate", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&now), sizeof now);
    std::wstring text(version.begin(), version.end());
    RegSetValueExW(key, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Retry shows the dialog again while programs still run; Cancel stops; Terminate stops them.
bool runningProgramsOutOfTheWay(int silent) {
    if (checkProcesses()) return true;
    logit(L"Active processes detected, starting process termination dialog.\r\n");
    INT_PTR answer;
    do {
        answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                 ProcessDialogProc, 0);
    } while (answer == IDC_P_RETRY && !checkProcesses());
    if (answer == IDC_P_CANCEL) {
        logit(L"Update aborted (running processes).\r\n");
        failure(silent, 0x507, false);
        return false;
    }
    if (answer == IDC_P_TERMINATE) killAll();
    return true;
}

} // namespace

int updateProgram(int silent) {
    Definition def;
    if (!readDefinition(temp(L"\\Tolva_update.def").c_str(), def)) return 0;
    if (def.entries.empty()) return 0;
    logit(L"Update definition file read.\r\n");
    tempStore = temp(L"\\TolvaUpdate");
    // Whatever an earlier run left in the store is not this update's.
    delTempStore();
    if (!createFolder(tempStore.c_str())) {
        logiti(L"Unable to create folder for temp files (%d).\r\n", GetLastError());
        return 0;
    }
    logit(L"Temporary file store created.\r\n");
    if (!createFolder((tempStore + L"\\lang").c_str()))
        logiti(L"Unable to create lang folder for temp files (%d).\r\n", GetLastError());
    if (!downloadUpdateFiles(def)) {
        delTempStore();
        return 0;
    }
    logit(L"All files downloaded succesfully.\r\n");
    if (!runningProgramsOutOfTheWay(silent)) {
        delTempStore();
        return 0;
    }
    freeStringList(procs);
    procs = nullptr;
    HeapText dir(getStringSetting(L"InstallDir"));
    int applied = dir.get() && performUpdate(def, dir);
    delTempStore();
    if (restartTolva) {
        HeapText again(getStringSetting(L"InstallDir"));
        if (!again.get()) {
            logiti(L"InstallDir = NULL (%d).\r\n", GetLastError());
            failure(silent, 0x508, true, GetLastError());
        } else {
            logit(L"Attempting to restart Tolva.exe.\r\n");
            if (start(std::wstring(again) + L"\\Tolva.exe", L"")) {
                logit(L"Process successfully started.\r\n");
            } else {
                DWORD code = GetLastError();
                logiti(L"Create proccess failed (%d).\r\n", code);
                failure(silent, 0x508, true, code);
            }
        }
    }
    if (!applied) return 0;
    recordUpdate(def.version);
    // Recorded: from here on the update stands, and the old copies can go.
    dropBackup(dir);
    return 1;
}

int installUpdater(const wchar_t* ownPath, const wchar_t* installDir) {
    md5x = udDll ? updateProc<MD5>(udDll, "md5") : nullptr;
    if (!md5x) {
        logiti(L"Error locating md5 function (%d).\r\n", GetLastError());
        return 0;
    }
    // The copy that is about to replace the installed updater is the one the signed definition lists.
    Definition def;
    if (!readDefinition(temp(L"\\Tolva_update.def").c_str(), def)) return 0;
    const DefEntry* self = nullptr;
    for (const DefEntry& e : def.entries)
        if (e.tag == "+f" && _stricmp(e.path.c_str(), "/TolvaUpdater.exe") == 0) self = &e;
    // Held until copied: %TEMP% is the user's, and a running program's file can still be renamed.
    Handle heldSelf(self ? holdVerified(ownPath, self->digest.c_str()) : nullptr);
    if (!heldSelf) {
        logit(L"This updater is not the one the update definition lists.\r\n");
        return 0;
    }
    std::wstring library = std::wstring(installDir) + L"\\update.dll";
    if (!doesMD5Match(library.c_str(), UPDATE_DLL_MD5)) {
        logit(L"update.dll update required.\r\n");
        auto shuffle = updateProc<SHUFFLEMIRRORS>(udDll, "shuffleMirrors");
        downloadFilex = updateProc<DOWNLOADFILE>(udDll, "downloadFile");
        auto open = updateProc<OPENCON>(udDll, "openCon");
        if (!shuffle || !downloadFilex || !open) {
            logiti(L"Error locating openCon function (%d).\r\n", GetLastError());
            return 0;
        }
        if (!(con = open())) {
            logiti(L"Unable to establish Internet connection (%d).\r\n", GetLastError());
            return 0;
        }
        logit(L"Internet connection established.\r\n");
        mirrors = shuffle();
        int ok = executeDownload(L"/update.dll", temp(L"").c_str(), UPDATE_DLL_MD5);
        free(mirrors);
        mirrors = nullptr;
        InternetCloseHandle(con);
        con = nullptr;
        if (!ok) return 0;
        logit(L"Unloading old update.dll module.\r\n");
        FreeLibrary(udDll);
        udDll = nullptr;
        md5x = nullptr;
        Handle held(holdVerified(temp(L"\\update.dll").c_str(), UPDATE_DLL_MD5));
        if (!held || !CopyFileW(temp(L"\\update.dll").c_str(), library.c_str(), FALSE)) {
            logiti(L"Unable to copy new update.dll (%d).\r\n", GetLastError());
            return 0;
        }
        logit(L"New update.dll copied.\r\n");
    }
    if (!CopyFileW(ownPath, (std::wstring(installDir) + L"\\TolvaUpdater.exe").c_str(), FALSE)) {
        logiti(L"Unable to copy new TolvaUpdater.exe (%d).\r\n", GetLastError());
        return 0;
    }
    logit(L"New TolvaUpdater.exe copied.\r\n");
    return 1;
}

namespace {

bool parse(const wchar_t* commandLine, Flags& flags, std::wstring& unknown) {
    int count = 0;
    std::wstring line = std::wstring(L"TolvaUpdater ") + (commandLine ? commandLine : L"");
    wchar_t** args = CommandLineToArgvW(line.c_str(), &count);
    if (!args) return true;
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        if (_wcsicmp(args[i], L"/install") == 0) flags.install = 1;
        else if (_wcsicmp(args[i], L"/force") == 0) flags.force = 1;
        else if (_wcsicmp(args[i], L"/silent") == 0) flags.silent = 1;
        else unknown = args[i], ok = false;
    }
    LocalFree(args);
    return ok;
}

std::wstring ownPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

int installRun(const Flags& flags) {
    if (isAlreadyRunning(L"Tolva Updater Install")) return 0;
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get() || !(udDll = LoadLibraryW((std::wstring(dir) + L"\\update.dll").c_str()))) {
        failure(flags.silent, 0x502, false);
        return 0;
    }
    // The normal run that started this one must be gone before its file can be replaced.
    std::wstring installed = std::wstring(dir) + L"\\TolvaUpdater.exe";
    while (HANDLE previous = getProcHandle(installed.c_str())) {
        WaitForSingleObject(previous, INFINITE);
        CloseHandle(previous);
    }
    openLog(0);
    logit(L"Updater install process started.\r\n");
    if (!installUpdater(ownPath().c_str(), dir)) {
        logit(L"Updater install failed.\r\n");
        failure(flags.silent, 0x502, false);
        closeLog();
        return 0;
    }
    logit(L"Attempting to resume program update process.\r\n");
    if (!start(installed, std::wstring(L" /force") + (flags.silent ? L" /silent" : L""))) {
        DWORD code = GetLastError();
        logiti(L"Create proccess failed (%d).\r\n", code);
        failure(flags.silent, 0xA04, true, code);
    }
    closeLog();
    return 0;
}

// Fetches one entry of the definition into %TEMP% from mirror 0, then mirror 1, checked against its
// digest; every failure is logged and, unless silent, reported.
bool downloadIntoTemp(const Flags& flags, const DefEntry& entry) {
    auto shuffle = updateProc<SHUFFLEMIRRORS>(udDll, "shuffleMirrors");
    if (!shuffle) return bindFailure(flags, L"Error locating shuffleMirrors function (%d).\r\n");
    if (!(downloadFilex = updateProc<DOWNLOADFILE>(udDll, "downloadFile")))
        return bindFailure(flags, L"Error locating downloadFile function (%d).\r\n");
    auto open = updateProc<OPENCON>(udDll, "openCon");
    if (!open) return bindFailure(flags, L"Error locating openCon function (%d).\r\n");
    if (!(md5x = updateProc<MD5>(udDll, "md5"))) return bindFailure(flags, L"Error locating md5 function (%d).\r\n");
    if (!(con = open())) {
        DWORD code = GetLastError();
        logiti(L"Unable to establish Internet connection (%d).\r\n", code);
        failure(flags.silent, 0x400, true, code);
        return false;
    }
    logit(L"Internet connection established.\r\n");
    mirrors = shuffle();
    std::wstring path(entry.path.begin(), entry.path.end());
    int ok = executeDownload(path.c_str(), temp(L"").c_str(), entry.digest.c_str());
    DWORD code = GetLastError();
    free(mirrors);
    mirrors = nullptr;
    InternetCloseHandle(con);
    con = nullptr;
    if (!ok) {
        logit(L"Update failed.\r\n");
        failure(flags.silent, 0x502, true, code);
    }
    return ok;
}

// Downloads the updater the definition lists into %TEMP% and starts it; for the self-update.
int selfUpdate(const Flags& flags) {
    Definition def;
    if (!readDefinition(temp(L"\\Tolva_update.def").c_str(), def)) {
        failure(flags.silent, 0x502, false);
        return 0;
    }
    const DefEntry* self = nullptr;
    for (const DefEntry& e : def.entries)
        if (e.tag == "+f" && _stricmp(e.path.c_str(), "/TolvaUpdater.exe") == 0) self = &e;
    // Only an updater that matches the signed definition is ever started.
    if (!self) {
        logit(L"Update failed.\r\n");
        failure(flags.silent, 0x502, false);
        return 0;
    }
    if (!downloadIntoTemp(flags, *self)) return 0;
    logit(L"Attempting to start updater install process.\r\n");
    Handle held(holdVerified(temp(L"\\TolvaUpdater.exe").c_str(), self->digest.c_str()));
    if (!held || !start(temp(L"\\TolvaUpdater.exe"), std::wstring(L" /install") + (flags.silent ? L" /silent" : L""))) {
        DWORD code = GetLastError();
        logiti(L"Create proccess failed (%d).\r\n", code);
        failure(flags.silent, 0xA04, true, code);
    }
    return 0;
}

// Downloads the setup program the signed definition names and starts it; for a re-install.
void reinstall(const Flags& flags) {
    Definition def;
    if (!readDefinition(temp(L"\\Tolva_update.def").c_str(), def)) {
        failure(flags.silent, 0x502, false);
        return;
    }
    const DefEntry* setup = nullptr;
    for (const DefEntry& e : def.entries)
        if (e.tag == "+s") setup = &e;
    if (!setup) {
        // Nothing could be checked, so nothing may run: the question would only lead to a failure.
        logit(L"The update definition names no setup program.\r\n");
        failure(flags.silent, 0x502, false);
        return;
    }
    HeapText question(getString(0x503)), caption(getString(0xA26));
    if (msgBox(nullptr, question, caption, MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    if (!downloadIntoTemp(flags, *setup)) return;
    logit(L"Attempting to start installer.\r\n");
    std::wstring program = temp(L"") + entryPath(L"", setup->path);
    Handle held(holdVerified(program.c_str(), setup->digest.c_str()));
    if (!held || !start(program, L" /silent")) {
        DWORD code = GetLastError();
        logiti(L"Create proccess failed (%d).\r\n", code);
        failure(flags.silent, 0x504, true, code);
    }
}

int normalRun(const Flags& flags) {
    if (!flags.force) {
        if (HANDLE installing = OpenMutexW(SYNCHRONIZE, FALSE, L"Tolva Updater Install")) {
            CloseHandle(installing);
            failure(flags.silent, 0x401, false);
            return 0;
        }
    }
    if (isAlreadyRunning(L"Tolva Updater Main")) return 0;
    if (HWND console = GetConsoleWindow()) ShowWindow(console, SW_HIDE);
    openLog(1);
    // An earlier run that was stopped half-way is undone before anything else happens.
    if (HeapText dir(getStringSetting(L"InstallDir")); dir.get()) undoUnfinishedUpdate(dir);
    if (!(udDll = LoadLibraryW(L"update.dll"))) {
        DWORD code = GetLastError();
        logiti(L"Error loading update.dll (%d).\r\n", code);
        failure(flags.silent, 0xA03, true, code);
        closeLog();
        return 0;
    }
    logit(L"update.dll loaded.\r\n");
    int result = 2;
    if (!flags.force) {
        auto check = updateProc<CHECKUPDATES>(udDll, "checkUpdates");
        if (!check) {
            DWORD code = GetLastError();
            logiti(L"Error locating checkUpdates function (%d).\r\n", code);
            failure(flags.silent, 0x502, true, code);
            FreeLibrary(udDll);
            closeLog();
            return 0;
        }
        logit(L"Checking for available updates.\r\n");
        result = check(flags.silent, 1);
    }
    switch (result) {
    case 1:
        logit(L"Updates to updater module found.\r\n");
        selfUpdate(flags);
        closeLog();
        break;
    case 2:
        if (updateProgram(flags.silent)) {
            deleteLog();
            if (!flags.silent) infoBox(0x505);
        } else {
            closeLog();
            failure(flags.silent, 0x502, false);
        }
        break;
    case 0:
        if (!flags.silent) infoBox(0x506);
        deleteLog();
        break;
    case -1:
        logit(L"Error checking for updates.\r\n");
        failure(flags.silent, 0x502, true, GetLastError());
        closeLog();
        break;
    case 3:
        logit(L"Re-install required.\r\n");
        reinstall(flags);
        closeLog();
        break;
    }
    if (udDll) FreeLibrary(udDll);
    udDll = nullptr;
    return 0;
}

} // namespace

int runUpdater(const wchar_t* commandLine) {
    init(0x500);
    if (!isAdmin()) {
        reportPlain(0x500);
        return 0;
    }
    Flags flags;
    std::wstring unknown;
    if (!parse(commandLine, flags, unknown)) {
        // A program without a console shows the usage in a box; one started from a console prints it.
        HeapText usage(getString(0x501));
        std::wstring text = usage.get() ? std::wstring(usage) : std::wstring();
        if (size_t at = text.find(L"%s"); at != std::wstring::npos) text.replace(at, 2, unknown);
        errBox(text.c_str(), nullptr, FALSE);
        return 0;
    }
    return flags.install ? installRun(flags) : normalRun(flags);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) { return runUpdater(commandLine); }
