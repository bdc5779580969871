// The running programs that hold files an update must replace: finding them, checking whether
// they still run, stopping them, and the dialog that asks the user to close them.
#include "updater.h"

#include <psapi.h>

#include <vector>

StringList* procs = nullptr;

static const DWORD ACCESS = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;

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
