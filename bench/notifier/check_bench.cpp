// One check pass of the notifier over 1,000 stored reminders (none due, the common case), beside
// the bare registry work of reading the same values without the store: the ratio is what the
// store's records, decryption and the pass's bookkeeping add. Then the temporary-file cleanup's
// listing of a folder of 40,000 files beside the bare FindFirstFile walk over it.
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <string>

#include "Tolva.h"
#include "bench_store.h"

namespace {

constexpr int GROUPS = 10, PER_GROUP = 100, ROUNDS = 5;

int neverAnswered(HWND, Reminder*) { return IDC_DONE; }

template <typename F> double bestMs(F f) {
    double best = 1e30;
    for (int i = 0; i < ROUNDS; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

// A folder of `count` empty files, made once and kept for later runs.
std::wstring folderOfFiles(int count) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tolva-bench-files-" + std::to_wstring(count);
    if (GetFileAttributesW((folder + L"\\done").c_str()) != INVALID_FILE_ATTRIBUTES) return folder;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        HANDLE f = CreateFileW((folder + L"\\f" + std::to_wstring(i) + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    CloseHandle(CreateFileW((folder + L"\\done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return folder;
}

// The walk alone: the floor any listing of the folder has to pay.
size_t bareListing(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    size_t n = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do ++n;
    while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

size_t count(const StringList* list) {
    size_t n = 0;
    for (; list; list = list->next) ++n;
    return n;
}

} // namespace

int main() {
    SYSTEMTIME due{};
    GetLocalTime(&due);
    due.wYear = static_cast<WORD>(due.wYear + 5); // none due: the common case
    populateCustomReminders(GROUPS, PER_GROUP, due);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double pass = bestMs([&] { checkRemindersWith(&now, neverAnswered); });
    double bare = bestMs([] { bareWalk(false); });
    printf("notifier check pass over %d reminders: %.1f ms; bare registry walk: %.1f ms; ratio %.2f\n",
           GROUPS * PER_GROUP, pass, bare, pass / bare);

    constexpr int FILES = 40000;
    std::wstring folder = folderOfFiles(FILES);
    size_t listed = 0;
    double files = bestMs([&] {
        StringList* list = getFiles(folder.c_str(), FALSE);
        listed = count(list);
        freeStringList(list);
    });
    double walk = bestMs([&] { bareListing(folder); });
    printf("cleanup listing of %zu files: %.1f ms; bare FindFirstFile walk: %.1f ms; ratio %.2f\n", listed, files,
           walk, files / walk);
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom");
    // Leave the user set up, as found.
    HKEY key;
    if (!RegCreateKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom\\Default", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                         nullptr))
        RegCloseKey(key);
    return 0;
}
