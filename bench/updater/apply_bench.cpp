// Applying an update against plain copying, in one run: 20 files, 50 MB in all, once through the
// updater's apply step (digest check under a hold, old file moved aside, journal, copy, backup
// dropped) and once with CopyFileW over the same files. Best of three rounds each.
//   apply_bench FOLDER            prints "apply_ms=... copy_ms=... ratio=... hash_ms=..."
//   apply_bench sleep MS          a stand-in for a running updater (see run.sh)
//   apply_bench measure COMMAND   runs COMMAND, prints its "wall_ms=... cpu_ms=..."
#include "updater.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr int FILES = 20;
constexpr size_t FILE_SIZE = 50u * 1024 * 1024 / FILES;

double nowMs() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool writeBytes(const std::wstring& path, const std::vector<char>& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::wstring name(int i) { return L"\\file" + std::to_wstring(i) + L".bin"; }

// Both installations back at the old release, outside the timed part.
bool reset(const std::wstring& a, const std::wstring& b, const std::vector<char>& old) {
    for (const std::wstring& folder : {a, b})
        for (int i = 0; i < FILES; ++i)
            if (!writeBytes(folder + name(i), old)) return false;
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && wcscmp(argv[1], L"sleep") == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        return 0;
    }
    if (argc == 3 && wcscmp(argv[1], L"measure") == 0) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring line = argv[2];
        double start = nowMs();
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
        WaitForSingleObject(pi.hProcess, INFINITE);
        double wall = nowMs() - start;
        FILETIME created, ended, kernel, user;
        GetProcessTimes(pi.hProcess, &created, &ended, &kernel, &user);
        auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
        printf("wall_ms=%.0f cpu_ms=%.0f\n", wall, ms(kernel) + ms(user));
        return 0;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: apply_bench FOLDER | apply_bench sleep MS | apply_bench measure COMMAND\n");
        return 2;
    }
    std::wstring root = argv[1], updated = root + L"\\updated", copied = root + L"\\copied";
    tempStore = root + L"\\store";
    for (const std::wstring& folder : {root, updated, copied, tempStore}) CreateDirectoryW(folder.c_str(), nullptr);

    std::vector<char> old(FILE_SIZE), fresh(FILE_SIZE);
    unsigned seed = 12345;
    for (size_t i = 0; i < FILE_SIZE; ++i) {
        seed = seed * 1103515245 + 12345;
        old[i] = static_cast<char>(seed >> 24);
        fresh[i] = static_cast<char>(old[i] ^ 0x5A);
    }
    Definition def;
    for (int i = 0; i < FILES; ++i) {
        std::wstring store = tempStore + name(i);
        if (!writeBytes(store, fresh)) return 1;
        DefEntry e;
        e.tag = "+f";
        e.path = "/file" + std::to_string(i) + ".bin";
        char hex[33];
        if (!md5File(store.c_str(), hex)) return 1;
        e.digest = hex;
        def.entries.push_back(e);
    }
    double bestApply = 1e30, bestCopy = 1e30;
    double bestHash = 1e30;
    for (int round = 0; round < 3; ++round) {
        if (!reset(updated, copied, old)) return 1;
        double start = nowMs();
        if (!performUpdate(def, updated.c_str())) {
            fprintf(stderr, "apply failed (%lu)\n", GetLastError());
            return 1;
        }
        dropBackup(updated.c_str());
        bestApply = std::min(bestApply, nowMs() - start);
        start = nowMs();
        for (int i = 0; i < FILES; ++i)
            if (!CopyFileW((tempStore + name(i)).c_str(), (copied + name(i)).c_str(), FALSE)) return 1;
        bestCopy = std::min(bestCopy, nowMs() - start);
        // The floor under any verified copy: hashing the same bytes, with no file work at all.
        start = nowMs();
        Md5 m;
        md5Init(m);
        for (int i = 0; i < FILES; ++i) md5Update(m, fresh.data(), fresh.size());
        char hex[33];
        md5Final(m, hex);
        bestHash = std::min(bestHash, nowMs() - start);
    }
    char hex[33];
    if (!md5File((updated + name(FILES - 1)).c_str(), hex) || def.entries.back().digest != hex) {
        fprintf(stderr, "the applied file differs\n");
        return 1;
    }
    printf("apply_ms=%.1f copy_ms=%.1f ratio=%.2f hash_ms=%.1f\n", bestApply, bestCopy, bestApply / bestCopy, bestHash);
    return 0;
}
