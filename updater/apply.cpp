// Applying a downloaded update to the installation folder, all or nothing: every old file or
// folder is moved aside before it is replaced or removed, and a journal written ahead of each step
// lets a failure, or the next run after a killed one, put the installation back as it was.
#include "updater.h"


#include <vector>

namespace {

// One journal line: a step letter, a blank and the entry path. N new file, F replaced file,
// D deleted file, C created folder, R removed folder.
struct Step {
    wchar_t kind;
    std::string path;
};

std::wstring backupDir(const wchar_t* installDir) { return std::wstring(installDir) + BACKUP_FOLDER; }
std::wstring journalPath(const wchar_t* installDir) { return backupDir(installDir) + L"\\journal.txt"; }

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool isFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The folders between the backup folder and an entry's place in it.
bool makeParents(const std::wstring& root, const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (!createFolder(entryPath(root, path.substr(0, slash)).c_str())) return false;
    return true;
}

// A place the entry may touch: inside the installation folder once resolved, and no junction or
// link on the way, so a swapped folder can't send a delete elsewhere.
bool insideInstallation(const wchar_t* installDir, const std::string& path) {
    std::wstring target = entryPath(installDir, path);
    wchar_t full[MAX_PATH * 4], root[MAX_PATH * 4];
    if (!GetFullPathNameW(target.c_str(), MAX_PATH * 4, full, nullptr) ||
        !GetFullPathNameW(installDir, MAX_PATH * 4, root, nullptr))
        return false;
    size_t n = wcslen(root);
    while (n && root[n - 1] == L'\\') root[--n] = L'\0';
    if (_wcsnicmp(full, root, n) != 0 || full[n] != L'\\' || !full[n + 1]) return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::wstring part = entryPath(installDir, path.substr(0, slash));
        DWORD a = GetFileAttributesW(part.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
        if (slash == std::string::npos) return true;
    }
}

struct Journal {
    FILE* file = nullptr;
    ~Journal() {
        if (file) fclose(file);
    }
    bool write(wchar_t kind, const std::string& path) {
        if (!file) return false;
        fprintf(file, "%c %s\n", static_cast<char>(kind), path.c_str());
        return fflush(file) == 0;
    }
};

std::vector<Step> readJournal(const wchar_t* installDir) {
    std::vector<Step> steps;
    File file(_wfopen(journalPath(installDir).c_str(), L"rb"));
    if (!file) return steps;
    char line[256];
    while (fgets(line, sizeof line, file)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        // Only what this updater writes: a step letter, a blank and a path the library accepts.
        if (text.size() < 3 || text[1] != ' ' || !wcschr(L"NFDCR", static_cast<wchar_t>(text[0]))) continue;
        std::string path = text.substr(2);
        if (!isSafeEntryPath(path, false) && !isSafeEntryPath(path, true)) continue;
        steps.push_back({static_cast<wchar_t>(text[0]), path});
    }
    return steps;
}

// Removes a folder and what is in it. A link inside is removed itself, never followed: the temporary
// store lies in the user's %TEMP%, where anything may have been put.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName, path = folder + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            bool folderEntry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (folderEntry && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) removeTree(path);
            else if (folderEntry) RemoveDirectoryW(path.c_str());
            else DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// Copies in one pass and hashes the very bytes it writes, so what lands in the installation is what
// matched the digest, whatever happens to the source meanwhile. A mismatch leaves no target.
bool copyVerified(const std::wstring& source, const std::wstring& target, const std::string& digest, bool& matched) {
    matched = true;
    Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (in == INVALID_HANDLE_VALUE) return false;
    bool ok;
    {
        Handle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out == INVALID_HANDLE_VALUE) return false;
        Md5 md5;
        md5Init(md5);
        std::vector<char> buffer(1 << 20);
        ok = true;
        for (;;) {
            DWORD got = 0, put = 0;
            if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) ok = false;
            if (!ok || got == 0) break;
            md5Update(md5, buffer.data(), got);
            if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got) {
                ok = false;
                break;
            }
        }
        char hex[33];
        md5Final(md5, hex);
        if (ok && _stricmp(hex, digest.c_str()) != 0) ok = matched = false;
        FILETIME written;
        if (ok && GetFileTime(in, nullptr, nullptr, &written)) SetFileTime(out, nullptr, nullptr, &written);
    }
    if (!ok) {
        DWORD error = matched ? GetLastError() : ERROR_INVALID_DATA;
        DeleteFileW(target.c_str());
        SetLastError(error);
    }
    return ok;
}

void logPathLine(const wchar_t* prefix, const std::wstring& path) {
    logit(prefix);
    logit(path.c_str());
    logit(L"\r\n");
}

} // namespace

int undoUnfinishedUpdate(const wchar_t* installDir) {
    std::wstring backup = backupDir(installDir);
    if (!isFolder(backup)) return 1;
    std::vector<Step> steps = readJournal(installDir);
    bool all = true;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        std::wstring target = entryPath(installDir, step->path), kept = entryPath(backup, step->path);
        bool ok = true;
        switch (step->kind) {
        case L'N': ok = !exists(target) || DeleteFileW(target.c_str()); break;
        case L'F':
        case L'D':
        case L'R':
            // No old copy means the step never got as far as moving it: the original is in place.
            if (exists(kept)) {
                if (step->kind == L'F' && exists(target)) DeleteFileW(target.c_str());
                ok = MoveFileExW(kept.c_str(), target.c_str(), 0);
            }
            break;
        case L'C': ok = !exists(target) || RemoveDirectoryW(target.c_str()); break;
        }
        logPathLine(ok ? L"Restored " : L"Could not restore ", target);
        all = all && ok;
    }
    if (all) removeTree(backup);
    return all;
}

void dropBackup(const wchar_t* installDir) { removeTree(backupDir(installDir)); }

void delTempStore() {
    if (!tempStore.empty()) removeTree(tempStore);
}

int performUpdate(const Definition& def, const wchar_t* installDir) {
    std::wstring backup = backupDir(installDir);
    if (!undoUnfinishedUpdate(installDir)) return 0;
    if (!createFolder(backup.c_str())) {
        logiti(L"Unable to create the backup folder (%d).\r\n", GetLastError());
        return 0;
    }
    Journal journal;
    journal.file = _wfopen(journalPath(installDir).c_str(), L"wb");
    if (!journal.file) {
        logiti(L"Unable to create the update journal (%d).\r\n", GetLastError());
        return 0;
    }
    auto fail = [&](const wchar_t* format) {
        logiti(format, GetLastError());
        fclose(journal.file);
        journal.file = nullptr;
        logit(L"Putting the previous files back.\r\n");
        undoUnfinishedUpdate(installDir);
        return 0;
    };
    for (const DefEntry& e : def.entries) {
        if (!insideInstallation(installDir, e.path)) {
            SetLastError(ERROR_BAD_PATHNAME);
            logPathLine(L"Refused path outside the installation: ", std::wstring(e.path.begin(), e.path.end()));
            return fail(L"Update stopped (%d).\r\n");
        }
        std::wstring target = entryPath(installDir, e.path), kept = entryPath(backup, e.path);
        if (e.tag == "+f") {
            std::wstring source = entryPath(tempStore, e.path);
            if (!exists(source)) continue; // the installed copy was current
            logit(L"Copying ");
            logit(source.c_str());
            logit(L" to ");
            logit(target.c_str());
            logit(L"\r\n");
            bool replace = exists(target);
            if (!journal.write(replace ? L'F' : L'N', e.path)) return fail(L"Journal write failed (%d).\r\n");
            if (replace && (!makeParents(backup, e.path) || !MoveFileExW(target.c_str(), kept.c_str(), 0)))
                return fail(L"Copy failed (%d).\r\n");
            bool matched;
            if (!copyVerified(source, target, e.digest, matched))
                return fail(matched ? L"Copy failed (%d).\r\n" : L"Downloaded file changed before it was copied (%d).\r\n");
            logit(L"Copy successful.\r\n");
        } else if (e.tag == "-f") {
            logPathLine(L"Deleting file ", target);
            if (!exists(target)) {
                logit(L"Deletion successful.\r\n");
                continue;
            }
            if (!journal.write(L'D', e.path)) return fail(L"Journal write failed (%d).\r\n");
            if (!makeParents(backup, e.path) || !MoveFileExW(target.c_str(), kept.c_str(), 0))
                return fail(L"Delete failed (%d).\r\n");
            logit(L"Deletion successful.\r\n");
        } else if (e.tag == "+d") {
            logPathLine(L"Creating ", target);
            if (!isFolder(target)) {
                if (!journal.write(L'C', e.path)) return fail(L"Journal write failed (%d).\r\n");
                if (!createFolder(target.c_str())) return fail(L"Creation failed (%d).\r\n");
            }
            logit(L"Creation successful.\r\n");
        } else if (e.tag == "-d") {
            logPathLine(L"Removing directory ", target);
            if (!exists(target)) continue;
            if (!journal.write(L'R', e.path)) return fail(L"Journal write failed (%d).\r\n");
            if (!makeParents(backup, e.path) || !MoveFileExW(target.c_str(), kept.c_str(), 0))
                return fail(L"Remove failed (%d).\r\n");
            logit(L"Remove successful.\r\n");
        }
    }
    fclose(journal.file);
    journal.file = nullptr;
    return 1;
}
