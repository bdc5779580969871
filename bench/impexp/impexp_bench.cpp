// Export and Append import of a reminder file over 10,000 custom reminders in 20 groups, each beside
// the store work it can't do without, measured in the same run: export against reading every group
// through getReminders, import against saving the same records straight through saveReminder. The
// ratios are what the file format, the file itself and the import's own bookkeeping add.
#include "bench_store.h"
#include "impexp.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int GROUPS = 20, PER_GROUP = 500, ROUNDS = 2;

double now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

std::wstring groupName(int g) { return L"Group " + std::to_wstring(g); }

// Best and worst of a measure's passes; under Wine a single pass over this store can be a fifth off
// another, so the spread is printed beside the ratios it qualifies.
struct Passes {
    double best = 1e9, worst = 0;
    void add(double seconds) {
        best = std::min(best, seconds);
        worst = std::max(worst, seconds);
    }
    double spread() const { return worst / best - 1; }
};

// The groups stay and the reminders go, so every import round writes into the same store: new keys
// in existing groups. Over the full store an Append would overwrite instead, and resetting to it
// would cost another 10,000 saves per round.
void emptyStore(const SYSTEMTIME& due) {
    populateCustomReminders(0, 0, due);
    for (int g = 0; g < GROUPS; ++g) createGroup(TRUE, groupName(g).c_str());
    createGroup(TRUE, DEFAULT_GROUP);
}

// Counts reminder keys without reading them, to check a pass stored everything without paying for
// another 10,000 decryptions.
int storedKeys() {
    int count = 0;
    HKEY custom;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, REMINDERS_KEY L"\\Custom", 0, KEY_READ, &custom)) return 0;
    wchar_t group[256];
    for (DWORD g = 0;; ++g) {
        DWORD n = 256;
        if (RegEnumKeyExW(custom, g, group, &n, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY gk;
        DWORD subkeys = 0;
        if (RegOpenKeyExW(custom, group, 0, KEY_READ, &gk)) continue;
        if (!RegQueryInfoKeyW(gk, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr))
            count += int(subkeys);
        RegCloseKey(gk);
    }
    RegCloseKey(custom);
    return count;
}

bool readFile(const std::wstring& path, FileContents& contents) {
    File file(_wfopen(path.c_str(), L"rb"));
    if (!file) return false;
    contents = readRecords(file);
    return true;
}

// What importContents does for each record, minus the groups, the file and the translation.
int saveDirectly(std::vector<FileRecord>& records) {
    int stored = 0;
    for (FileRecord& r : records) {
        Reminder* rem = createReminder(r.name.data(), r.custom, r.text.data(), static_cast<DWORD>(r.frequency), &r.due,
                                       r.active, nullptr, r.yesText.c_str(), r.cmd.c_str(), r.group.c_str());
        if (rem && saveReminder(rem)) ++stored;
        freeReminder(rem);
    }
    return stored;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : ROUNDS;
    const int total = GROUPS * PER_GROUP;

    // Import rewrites the built-in texts from the language files, found through the installation
    // folder, which is ours.
    if (!installInOwnFolder()) {
        fprintf(stderr, "cannot create the machine-wide key\n");
        return 1;
    }

    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (!length || length >= MAX_PATH) {
        fprintf(stderr, "no temporary folder: error %lu\n", GetLastError());
        return 1;
    }
    std::wstring path = std::wstring(temp) + L"impexp_bench.tlm";

    SYSTEMTIME due;
    GetLocalTime(&due);
    due.wYear = WORD(due.wYear + 1);
    double t0 = now();
    populateCustomReminders(GROUPS, PER_GROUP, due);
    createGroup(TRUE, DEFAULT_GROUP);
    double filling = now() - t0;

    int status = 0;
    auto fail = [&](const char* what) {
        fprintf(stderr, "%s\n", what);
        status = 1;
    };

    // Which of the pair goes first alternates, so neither always runs on a wineserver the other
    // has just warmed or left saving the registry.
    Passes exporting, reading;
    for (int round = 0; round < rounds && !status; ++round) {
        for (int turn = 0; turn < 2 && !status; ++turn) {
            double start = now();
            if ((round + turn) % 2 == 0) {
                ExportResult result = exportLibrary(path.c_str());
                exporting.add(now() - start);
                if (!result.ok || result.count != total) fail("the export did not write every reminder");
            } else {
                int count = storeRead(true);
                reading.add(now() - start);
                if (count != total) fail("the store did not read every reminder");
            }
        }
    }

    FileContents reference;
    if (!status && (!readFile(path, reference) || int(reference.records.size()) != total || reference.refused))
        fail("the exported file does not read back as every reminder");

    // The text side of the export alone, to tell it from the store's reads and the file's writing.
    double formatting = 1e9;
    size_t bytes = 0;
    for (int round = 0; round < 3 && !status; ++round) {
        double start = now();
        std::wstring content;
        for (const FileRecord& r : reference.records) content += formatRecord(r);
        formatting = std::min(formatting, now() - start);
        bytes = content.size() * sizeof(wchar_t);
    }

    Passes importing, parsing, saving;
    double resetting = 1e9;
    for (int round = 0; round < rounds && !status; ++round) {
        for (int turn = 0; turn < 2 && !status; ++turn) {
            double start = now();
            emptyStore(due);
            resetting = std::min(resetting, now() - start);
            start = now();
            if ((round + turn) % 2 == 0) {
                FileContents contents;
                bool opened = readFile(path, contents);
                parsing.add(now() - start);
                ImportResult result = importContents(contents, false, saveReminder);
                importing.add(now() - start);
                if (!opened || !result.ok || result.stored != total) fail("the import did not store every reminder");
            } else {
                int stored = saveDirectly(reference.records);
                saving.add(now() - start);
                if (stored != total) fail("saveReminder did not store every reminder");
            }
            if (!status && storedKeys() != total) fail("the store does not hold every reminder after a pass");
        }
    }

    if (!status) {
        printf("export of %d reminders in %d groups to a file: %.1f ms; getReminders over the same store: "
               "%.1f ms; ratio %.2f\n",
               total, GROUPS, exporting.best * 1e3, reading.best * 1e3, exporting.best / reading.best);
        printf("  formatting the %d lines alone: %.1f ms; the file: %.0f KiB\n", total, formatting * 1e3,
               double(bytes) / 1024.0);
        printf("import (Append) of that file into the store emptied to its groups: %.1f ms (reading and parsing "
               "the file: %.1f ms); saveReminder of the same records: %.1f ms; ratio %.2f\n",
               importing.best * 1e3, parsing.best * 1e3, saving.best * 1e3, importing.best / saving.best);
        double spread = std::max({exporting.spread(), reading.spread(), importing.spread(), saving.spread()});
        printf("  best of %d rounds each, passes of one measure up to %.0f%% apart; filling the store took "
               "%.1f s, emptying it %.1f s\n",
               rounds, spread * 100, filling, resetting);
    }
    DeleteFileW(path.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, REMINDERS_KEY);
    return status;
}
