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

PD* createDef(const wchar_t* str) {
    if (!str) return nullptr;
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
    if (!def->switches || (hive[0] != L'M' && hive[0] != L'U')) {
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
    auto downloadFile = updateProc<DOWNLOADFILE>(lib, "downloadFile");
    auto shuffleMirrors = updateProc<SHUFFLEMIRRORS>(lib, "shuffleMirrors");
    HINTERNET con = openCon && downloadFile && shuffleMirrors ? openCon() : nullptr;
    int result = -1;
    DWORD code = GetLastError();
    if (con) {
        // The database lives on every mirror; the first one that answers wins.
        wchar_t** mirrors = shuffleMirrors();
        for (int i = 0; mirrors && mirrors[i] && result != 0; ++i) {
            std::wstring url = std::wstring(L"http://") + mirrors[i] + L"/development/database";
            result = downloadFile(con, url.c_str(), dest, 0);
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
