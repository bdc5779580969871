// Security-program detector: download the database, parse it, probe the registry for each entry.
#include "autodetector.h"

#include "common.h"
#include "update.h"

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

// A database is ours and short; a damaged or hostile one must not make us probe the registry forever.
static const int MAX_DEFINITIONS = 5000;

int getTypeCode(const wchar_t* str) {
    static const wchar_t* const TOKENS[] = {L"AV", L"FW", L"SS", L"AM", L"AS", L"OT"};
    for (int i = 0; i < 6; ++i)
        if (str && wcscmp(str, TOKENS[i]) == 0) return i;
    return -1;
}

// Splits like wcstok with "," as separator: runs of commas are one separator, so no field is empty.
static wchar_t* nextField(wchar_t*& p) {
    while (*p == L',') ++p;
    if (!*p) return nullptr;
    wchar_t* start = p;
    while (*p && *p != L',') ++p;
    if (*p) *p++ = L'\0';
    return start;
}

// A line that holds a control character was not split at its real line ends (a database with
// LF-only or mixed line ends, say); its fields would run into the next entry's.
static bool hasControl(const wchar_t* p) {
    for (; *p; ++p)
        if (*p < 0x20 || *p == 0x7F) return true;
    return false;
}

// The updater is started from the program's own folder: a name that could leave that folder or
// close the quotes around the command is not one a program database needs.
static bool isLocalUpdater(const wchar_t* updater) {
    if (wcscmp(updater, L" ") == 0) return true; // no updater
    if (wcspbrk(updater, L"\":%")) return false;
    for (const wchar_t* p = updater; *p;) {
        while (*p == L'\\' || *p == L'/') ++p;
        const wchar_t* end = p + wcscspn(p, L"\\/");
        std::wstring name(p, end);
        while (!name.empty() && (name.back() == L' ' || name.back() == L'.')) name.pop_back();
        if (end > p && name.empty()) return false; // ".", "..", "...", ". ." all reach outside or nowhere
        p = end;
    }
    return true;
}

PD* createDef(const wchar_t* str) {
    if (!str || hasControl(str)) return nullptr;
    auto* def = static_cast<PD*>(calloc(1, sizeof(PD)));
    if (!def || !(def->line = wcsdupHeap(str))) {
        free(def);
        return nullptr;
    }
    wchar_t* p = def->line;
    wchar_t* type = nullptr;
    wchar_t* hive = nullptr;
    def->name = nextField(p);
    if (def->name) type = nextField(p);
    if (type) hive = nextField(p);
    if (hive) def->key = nextField(p);
    if (def->key) def->value = nextField(p);
    if (def->value) def->updater = nextField(p);
    if (def->updater) def->switches = nextField(p);
    if (!def->switches || (hive[0] != L'M' && hive[0] != L'U') || !isLocalUpdater(def->updater)) {
        freeDefs(def);
        return nullptr;
    }
    def->type = getTypeCode(type);
    def->hive = hive[0] == L'M' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    return def;
}

void freeDefs(PD* list) {
    while (list) {
        PD* next = list->next;
        free(list->line);
        free(list);
        list = next;
    }
}

PD* parseDatabase(FILE* file) {
    wchar_t bom;
    if (fread(&bom, sizeof bom, 1, file) != 1) return nullptr; // the byte-order mark, not tested
    PD* head = nullptr;
    PD** tail = &head;
    std::wstring line;
    for (int count = 0; count < MAX_DEFINITIONS && getLine(file, line) && !line.empty(); ++count) {
        PD* def = createDef(line.c_str());
        if (!def) break;
        *tail = def;
        tail = &def->next;
    }
    return head;
}

static wchar_t* checkProgram(const PD* program, REGSAM view) {
    RegKey key;
    if (RegOpenKeyExW(program->hive, program->key, 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) {
        key.h = nullptr;
        return nullptr;
    }
    return getRegSZValue(key, program->value);
}

// A 32-bit program registers in the 32-bit view of a 64-bit Windows, a 64-bit one in the 64-bit
// view; whichever build we are, look in both where both exist, the 64-bit view first.
wchar_t* findInstallPath(const PD* program) {
    std::vector<REGSAM> views;
#ifdef _WIN64
    views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
#else
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) views = {KEY_WOW64_64KEY, 0};
    else views = {0};
#endif
    for (REGSAM view : views)
        if (wchar_t* path = checkProgram(program, view)) return path;
    return nullptr;
}

PD* keepInstalled(PD* list) {
    PD* head = nullptr;
    PD** tail = &head;
    while (list) {
        PD* next = list->next;
        list->next = nullptr;
        HeapText path(findInstallPath(list));
        if (path.get()) {
            *tail = list;
            tail = &list->next;
        } else {
            freeDefs(list);
        }
        list = next;
    }
    return head;
}

static void reportDownloadError(int textId) {
    DWORD code = GetLastError();
    HeapText text(getString(textId));
    SetLastError(code);
    errBox(text, nullptr, TRUE);
}

BOOL downloadDatabase(const wchar_t* dest) {
    HMODULE lib = LoadLibraryW(L"update.dll");
    if (!lib) {
        reportDownloadError(IDS_NO_UPDATE_DLL);
        return FALSE;
    }
    auto openCon = updateProc<OPENCON>(lib, "openCon");
    // The database becomes commands the user starts: only a copy signed with the release key is taken.
    auto downloadSigned = updateProc<DOWNLOADSIGNED>(lib, "downloadSigned");
    auto shuffleMirrors = updateProc<SHUFFLEMIRRORS>(lib, "shuffleMirrors");
    HINTERNET con = openCon && downloadSigned && shuffleMirrors ? openCon() : nullptr;
    int result = -1;
    DWORD code = GetLastError();
    if (con) {
        // The database lives on every mirror; the first one that answers with a signed copy wins.
        wchar_t** mirrors = shuffleMirrors();
        for (int i = 0; mirrors && mirrors[i] && result != 0; ++i) {
            std::wstring url = std::wstring(L"http://") + mirrors[i] + L"/development/database";
            result = downloadSigned(con, url.c_str(), dest, 0);
            code = GetLastError();
        }
        free(mirrors);
        InternetCloseHandle(con);
    }
    FreeLibrary(lib);
    if (result != 0) {
        SetLastError(code);
        reportDownloadError(IDS_DB_DOWNLOAD_FAILED);
        return FALSE;
    }
    return TRUE;
}

PD* detectPrograms() {
    HeapText dest(expand(L"%temp%\\tolva_database"));
    if (!dest.get() || !downloadDatabase(dest)) return nullptr;
    File file(_wfopen(dest, L"rb"));
    if (!file) return nullptr;
    PD* defs = parseDatabase(file);
    return keepInstalled(defs);
}
