// How long the manager takes from CreateProcess to showing its main window over 1,000 custom
// reminders in 20 groups, beside reading the same reminders through the store in the same run: the
// ratio is what starting a process, building the pages and filling the trees add to the store's
// own work. Also the manager's resident memory with that store.
#include "bench_store.h"
#include "common.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int GROUPS = 20, PER_GROUP = 50, ROUNDS = 5;
constexpr double OPEN_TIMEOUT_S = 30;

double now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK findMainWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16], title[32];
    if (pid != search->pid || !IsWindowVisible(hwnd)) return TRUE;
    if (!GetClassNameW(hwnd, cls, 16) || wcscmp(cls, L"#32770")) return TRUE;
    // Error boxes are dialogs of the same process too; only the main window stops the clock.
    if (!GetWindowTextW(hwnd, title, 32) || wcscmp(title, L"Tolva Manager")) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// One opening of the manager: seconds until its main window shows, and its memory once idle.
bool openManager(const std::wstring& exe, double& seconds, PROCESS_MEMORY_COUNTERS& memory) {
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    double t0 = now();
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "cannot start the manager: error %lu\n", GetLastError());
        return false;
    }
    // The program goes idle once its window is up and its message loop waits; asking the window list
    // every millisecond instead would compete with the manager for the wineserver it reads the store
    // through, and slow down what is being measured.
    WaitForInputIdle(pi.hProcess, DWORD(OPEN_TIMEOUT_S * 1000));
    Search search{pi.dwProcessId, nullptr};
    while (!search.found && now() - t0 < OPEN_TIMEOUT_S && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(20);
    }
    seconds = now() - t0;
    bool ok = search.found != nullptr;
    if (ok) {
        memory.cb = sizeof memory;
        ok = GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory);
        if (!ok) fprintf(stderr, "cannot read the manager's memory: error %lu\n", GetLastError());
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    } else {
        fprintf(stderr, "the manager's main window did not show\n");
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
        fprintf(stderr, "the manager did not close; terminating it\n");
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ok;
}

double mib(SIZE_T bytes) { return double(bytes) / (1024.0 * 1024.0); }

} // namespace

int main() {
    // The manager finds its language files through the installation folder, which is ours.
    if (!installInOwnFolder()) {
        fprintf(stderr, "cannot create the machine-wide key\n");
        return 1;
    }

    SYSTEMTIME due;
    GetLocalTime(&due);
    due.wYear = WORD(due.wYear + 1);
    populateCustomReminders(GROUPS, PER_GROUP, due);
    // Without "Default" the manager takes the store for a first run and asks instead of opening.
    createGroup(TRUE, DEFAULT_GROUP);

    wchar_t self[MAX_PATH];
    std::wstring exe(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    exe = exe.substr(0, exe.find_last_of(L'\\')) + L"\\manager.exe";
    double open = 1e9, store = 1e9;
    int reminders = 0;
    PROCESS_MEMORY_COUNTERS memory{};
    for (int round = 0; round < ROUNDS; ++round) {
        double seconds;
        if (!openManager(exe, seconds, memory)) return 1;
        open = std::min(open, seconds);
        double t0 = now();
        reminders = storeRead();
        store = std::min(store, now() - t0);
    }
    PROCESS_MEMORY_COUNTERS full = memory;

    // The same start over an empty store: what starting the process and building the window cost
    // whatever the store holds.
    populateCustomReminders(0, 0, due);
    createGroup(TRUE, DEFAULT_GROUP);
    double empty = 1e9;
    for (int round = 0; round < ROUNDS; ++round) {
        double seconds;
        if (!openManager(exe, seconds, memory)) return 1;
        empty = std::min(empty, seconds);
    }
    printf("manager start-up to its main window over %d reminders in %d groups: %.1f ms; getReminders over "
           "the same store: %.1f ms; ratio %.2f\n",
           reminders, GROUPS, open * 1e3, store * 1e3, open / store);
    printf("  start-up over an empty store: %.1f ms, so the pages add %.1f ms to reading the store "
           "(ratio %.2f against getReminders plus that fixed start)\n",
           empty * 1e3, (open - empty - store) * 1e3, open / (store + empty));
    printf("  manager resident memory with that store, once idle: working set %.1f MiB, peak %.1f MiB "
           "(empty store: %.1f MiB)\n",
           mib(full.WorkingSetSize), mib(full.PeakWorkingSetSize), mib(memory.WorkingSetSize));
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    return 0;
}
