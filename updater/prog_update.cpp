// The download phase of an update: the definition as the updater reads it, the files it lists
// fetched into the temporary store and checked; and the running programs that hold files an
// update must replace: finding them, checking whether they still run, stopping them, and the
// dialog that asks the user to close them.
#include "updater.h"

#include <psapi.h>

#include <vector>

StringList* procs = nullptr;

// SYNCHRONIZE: the handles are waited on, for a stopped notifier and for the first updater to end.
static const DWORD ACCESS = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE;

// Every process identifier; the buffer doubles until the answer no longer fills it.
static std::vector<DWORD> processIds() {
    std::vector<DWORD> ids(256);
    for (;;) {
        DWORD bytes = 0;
        if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
        if (bytes < ids.size() * sizeof(DWORD)) {
            ids.resize(bytes / sizeof(DWORD));
            return ids;
        }
        ids.resize(ids.size() * 2);
    }
}

// Main-module and module paths can be longer than MAX_PATH; they are compared whole.
static std::wstring moduleName(HANDLE process, HMODULE module) {
    std::wstring name(32768, L'\0');
    DWORD n = GetModuleFileNameExW(process, module, name.data(), static_cast<DWORD>(name.size()));
    name.resize(n);
    return name;
}

// Calls visit(handle, main-module path) for each process that can be opened, the last one first;
// visit returns true to keep the handle (and stop), false to have it closed.
template <typename Visit> static HANDLE forEachProcess(Visit visit) {
    std::vector<DWORD> ids = processIds();
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        HANDLE process = OpenProcess(ACCESS, FALSE, *id);
        if (!process) continue;
        if (visit(process, moduleName(process, nullptr))) return process;
        CloseHandle(process);
    }
    return nullptr;
}

HANDLE getProcHandle(const wchar_t* path) {
    if (!path || !*path) return nullptr;
    return forEachProcess([&](HANDLE, const std::wstring& main) {
        return !main.empty() && _wcsicmp(main.c_str(), path) == 0;
    });
}

wchar_t** findLoadedModule(const wchar_t* path, int* count) {
    *count = 0;
    std::vector<std::wstring> found;
    if (path && *path) {
        forEachProcess([&](HANDLE process, const std::wstring& main) {
            DWORD bytes = 0;
            if (!EnumProcessModules(process, nullptr, 0, &bytes) || !bytes) return false;
            std::vector<HMODULE> modules(bytes / sizeof(HMODULE));
            if (!EnumProcessModules(process, modules.data(), bytes, &bytes)) return false;
            modules.resize(std::min<size_t>(modules.size(), bytes / sizeof(HMODULE)));
            for (HMODULE module : modules)
                if (_wcsicmp(moduleName(process, module).c_str(), path) == 0) found.push_back(main);
            return false;
        });
    }
    if (found.empty()) return nullptr;
    auto** list = static_cast<wchar_t**>(calloc(found.size(), sizeof(wchar_t*)));
    if (!list) return nullptr;
    for (const std::wstring& main : found)
        if ((list[*count] = wcsdupHeap(main.c_str()))) ++*count;
    return list;
}

int checkProcesses() {
    int none = 1;
    for (StringList* p = procs; p; p = p->next) {
        if (!p->string || !*p->string) continue;
        if (HANDLE process = getProcHandle(p->string)) {
            CloseHandle(process);
            none = 0;
        } else {
            free(p->string);
            p->string = nullptr;
        }
    }
    return none;
}

void killAll() {
    for (StringList* p = procs; p; p = p->next) {
        if (!p->string || !*p->string) continue;
        logit(L"Terminating process: \"");
        logit(p->string);
        logit(L"\"\r\n");
        HANDLE process = getProcHandle(p->string);
        if (!process) continue;
        if (TerminateProcess(process, 0)) {
            // Its files are free only once it has gone.
            WaitForSingleObject(process, 5000);
            logit(L"Process successfully terminated.\r\n");
        } else {
            logiti(L"Failed (%d).\r\n", GetLastError());
        }
        CloseHandle(process);
    }
}

INT_PTR CALLBACK ProcessDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        HeapText caption(getString(0xA26));
        SetWindowTextW(dlg, caption);
        static const Label LABELS[] = {{IDC_P_HEADING, 0x50B}, {IDC_P_HINT, 0x50C}, {IDC_P_RETRY, 0x509},
                                       {IDC_P_TERMINATE, 0x50A}, {IDC_P_CANCEL, IDS_BTN_CANCEL}};
        relabel(dlg, LABELS);
        logit(L"Initializing process dialog.\r\n");
        for (StringList* p = procs; p; p = p->next)
            if (p->string && *p->string)
                SendDlgItemMessageW(dlg, IDC_P_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p->string));
        logit(L"Dialog initialization complete.\r\n");
        return TRUE;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        // Escape and the close box are Cancel.
        EndDialog(dlg, LOWORD(wParam) == IDCANCEL ? IDC_P_CANCEL : static_cast<INT_PTR>(wParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dlg, IDC_P_CANCEL);
        return TRUE;
    }
    return FALSE;
}

// ---- Definition and downloads ---------------------------------------------------------------

HMODULE udDll = nullptr;
HINTERNET con = nullptr;
wchar_t** mirrors = nullptr;
DOWNLOADFILE downloadFilex = nullptr;
MD5 md5x = nullptr;
std::wstring tempStore;
int restartTolva = 0;

bool readDefinition(const wchar_t* path, Definition& def) {
    File file(_wfopen(path, L"rb"));
    if (!file) {
        logiti(L"Unable to open update definition file. (%d).\r\n", GetLastError());
        return false;
    }
    // One byte past the largest definition tells an oversized file from a full-sized one.
    std::string bytes(DEF_MAX_SIZE + 1, '\0');
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
    DefStatus status = checkDefinition(bytes.data(), bytes.size(), def);
    if (status != DEF_OK) {
        logiti(L"Update definition file refused (%d).\r\n", status);
        return false;
    }
    return true;
}

int createFolder(const wchar_t* path) {
    return CreateDirectoryW(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

int doesMD5Match(const wchar_t* file, const char* digest) {
    if (!md5x || !digest) return 0;
    char* actual = md5x(file);
    int match = actual && strlen(digest) >= 32 && _strnicmp(actual, digest, 32) == 0;
    free(actual);
    return match;
}

HANDLE holdVerified(const wchar_t* path, const char* digest) {
    // No write, delete or rename share: another program of the user, which can write %TEMP%,
    // cannot swap the file between this check and its use.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    char hex[33];
    if (!digest || !md5File(path, hex) || _strnicmp(hex, digest, 32) != 0) {
        CloseHandle(file);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return file;
}

static std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring entryPath(const std::wstring& folder, const std::string& path) {
    std::wstring out = folder;
    for (char c : path) out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

int executeDownload(const wchar_t* path, const wchar_t* folder, const char* digest) {
    std::wstring destination = std::wstring(folder);
    for (const wchar_t* p = path; *p; ++p) destination += *p == L'/' ? L'\\' : *p;
    logit(L"Destination=\"");
    logit(destination.c_str());
    logit(L"\"\r\n");
    int result = -1;
    for (int i = 0; i < 2 && mirrors && mirrors[i]; ++i) {
        std::wstring url = L"http://" + std::wstring(mirrors[i]) + path;
        logit(L"Target URL=\"");
        logit(url.c_str());
        logit(L"\"\r\n");
        result = downloadFilex(con, url.c_str(), destination.c_str(), 0);
        if (result == DOWNLOAD_OK) {
            if (!digest || doesMD5Match(destination.c_str(), digest)) {
                logit(L"Download successful.\r\n");
                return 1;
            }
            // A mirror that lags behind, or lies, hands over something else: never keep it.
            logit(L"Downloaded file does not match its digest.\r\n");
            DeleteFileW(destination.c_str());
            result = -1;
            continue;
        }
        if (result == DOWNLOAD_CREATE_FAILED) {
            logit(L"Local write failed - creation.\r\n");
            break;
        }
        if (result == DOWNLOAD_WRITE_FAILED) {
            logit(L"Local write failed - write.\r\n");
            break;
        }
        logitii(L"Download failed (%d - %d).\r\n", result, GetLastError());
    }
    logit(L"Mirrors exhausted.\r\n");
    return 0;
}

template <typename F> static F bind(const char* name, const wchar_t* failure) {
    F f = udDll ? updateProc<F>(udDll, name) : nullptr;
    if (!f) logiti(failure, GetLastError());
    return f;
}

int downloadUpdateFiles(const Definition& def) {
    md5x = bind<MD5>("md5", L"Error locating md5 function (%d).\r\n");
    if (!md5x) return 0;
    auto shuffle = bind<SHUFFLEMIRRORS>("shuffleMirrors", L"Error locating shuffleMirrors function (%d).\r\n");
    if (!shuffle) return 0;
    downloadFilex = bind<DOWNLOADFILE>("downloadFile", L"Error locating downloadFile function (%d).\r\n");
    if (!downloadFilex) return 0;
    auto open = bind<OPENCON>("openCon", L"Error locating openCon function (%d).\r\n");
    if (!open) return 0;
    if (!(con = open())) {
        logiti(L"Unable to establish Internet connection (%d).\r\n", GetLastError());
        return 0;
    }
    logit(L"Internet connection established.\r\n");
    HeapText dir(getStringSetting(L"InstallDir"));
    mirrors = shuffle();
    freeStringList(procs);
    procs = nullptr;
    auto finish = [&](int result) {
        free(mirrors);
        mirrors = nullptr;
        InternetCloseHandle(con);
        con = nullptr;
        return result;
    };
    if (!dir.get()) {
        logiti(L"InstallDir = NULL (%d).\r\n", GetLastError());
        return finish(0);
    }
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    for (const DefEntry& e : def.entries) {
        if (e.tag != "+f") continue;
        std::wstring installed = entryPath(std::wstring(dir), e.path);
        if (doesMD5Match(installed.c_str(), e.digest.c_str())) continue;
        if (!executeDownload(wide(e.path).c_str(), tempStore.c_str(), e.digest.c_str())) return finish(0);
        int count = 0;
        wchar_t** holders = findLoadedModule(installed.c_str(), &count);
        for (int i = 0; i < count; ++i) {
            // This updater holds update.dll itself; it is no program to wait for or to stop.
            bool listed = _wcsicmp(holders[i], self.c_str()) == 0;
            for (StringList* p = procs; p; p = p->next) listed |= p->string && _wcsicmp(p->string, holders[i]) == 0;
            size_t length = wcslen(holders[i]);
            if (!listed && length >= 10 && _wcsicmp(holders[i] + length - 9, L"Tolva.exe") == 0) {
                restartTolva = 1;
                logit(L"Tolva Restart flag set.\r\nAuto-killing Tolva.exe - ");
                if (HANDLE tolva = getProcHandle(holders[i])) {
                    if (TerminateProcess(tolva, 0)) {
                        WaitForSingleObject(tolva, 5000);
                        logit(L"Process successfully terminated.\r\n");
                    } else {
                        logiti(L"Failed (%d).\r\n", GetLastError());
                        procs = addString(procs, holders[i]);
                    }
                    CloseHandle(tolva);
                }
            } else if (!listed) {
                logit(L"Active process: ");
                logit(holders[i]);
                logit(L"\r\n");
                procs = addString(procs, holders[i]);
            }
            free(holders[i]);
        }
        free(holders);
    }
    return finish(1);
}
