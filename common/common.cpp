// Settings and environment queries shared by every program.
#include "common.h"

#include <cstdlib>
#include <cwchar>
#include <vector>

const wchar_t* const LANGUAGES[NUM_LANGUAGES] = {L"Deutsch",  L"English",    L"Español",
                                                 L"Français", L"Italiano",   L"Nederlands",
                                                 L"Português (Brasil)"};
const wchar_t* const LANGUAGE_FILES[NUM_LANGUAGES] = {L"German", L"English", L"Spanish", L"French",
                                                      L"Italian", L"Dutch", L"BrazilianPortuguese"};
const int LANGUAGE_MAP[NUM_LANGUAGES] = {0, 1, 2, 3, 4, 5, 6};

const WORD DAYS[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

wchar_t* stralloc(size_t count) {
    return static_cast<wchar_t*>(calloc(count ? count : 1, sizeof(wchar_t)));
}

wchar_t* wcsdupHeap(const wchar_t* s) {
    if (!s) return nullptr;
    size_t n = wcslen(s);
    wchar_t* copy = stralloc(n + 1);
    if (copy) wmemcpy(copy, s, n);
    return copy;
}

wchar_t* getRegSZValue(HKEY key, const wchar_t* name) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return nullptr;
    }
    // The value may change size between the two calls (another program writing it): retry then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        // One spare character keeps the text terminated even when the stored data lacks a zero.
        wchar_t* text = stralloc(size / sizeof(wchar_t) + 2);
        if (!text) {
            SetLastError(ERR_NOMEM);
            return nullptr;
        }
        DWORD got = size;
        rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &got);
        if (rc == ERROR_SUCCESS) return text;
        free(text);
        if (rc != ERROR_MORE_DATA) break;
        size = got;
    }
    SetLastError(rc);
    return nullptr;
}

static LONG openSettings(HKEY root, REGSAM access, RegKey& key) {
    LONG rc = RegOpenKeyExW(root, TOLVA_KEY, 0, access, key.out());
    if (rc != ERROR_SUCCESS) key.h = nullptr;
    return rc;
}

wchar_t* getStringSetting(const wchar_t* name) {
    RegKey key;
    LONG rc = openSettings(HKEY_LOCAL_MACHINE, KEY_QUERY_VALUE, key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return nullptr;
    }
    return getRegSZValue(key, name);
}

SYSTEMTIME* getLastUpdate() {
    RegKey key;
    LONG rc = openSettings(HKEY_LOCAL_MACHINE, KEY_QUERY_VALUE, key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return nullptr;
    }
    SYSTEMTIME st{};
    DWORD size = sizeof st;
    rc = RegQueryValueExW(key, L"LastUpdate", nullptr, nullptr, reinterpret_cast<BYTE*>(&st), &size);
    if (rc != ERROR_SUCCESS || size != sizeof st) {
        SetLastError(rc != ERROR_SUCCESS ? rc : ERROR_INVALID_DATA);
        return nullptr;
    }
    auto* result = static_cast<SYSTEMTIME*>(malloc(sizeof st));
    if (!result) {
        SetLastError(ERR_NOMEM);
        return nullptr;
    }
    *result = st;
    return result;
}

// Reads a per-user DWORD; `fallback` when the key or the value can't be read.
static int getUserDword(const wchar_t* name, int fallback) {
    RegKey key;
    LONG rc = openSettings(HKEY_CURRENT_USER, KEY_QUERY_VALUE, key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return fallback;
    }
    DWORD value = 0, size = sizeof value;
    rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    if (rc != ERROR_SUCCESS || size != sizeof value) return fallback;
    return static_cast<int>(value);
}

int getAutoUpdate() { return getUserDword(L"AutoUpdate", -1); }
int isDisplayDueDate() { return getUserDword(L"DisplayDueDate", 1); }
int getLanguage() { return getUserDword(L"Language", -1); }

int getLangIndex(int code) {
    for (int i = 0; i < NUM_LANGUAGES; ++i)
        if (LANGUAGE_MAP[i] == code) return i;
    return -1;
}

int getLangCode(int index) { return index >= 0 && index < NUM_LANGUAGES ? LANGUAGE_MAP[index] : -1; }

BOOL tokenGroupsHoldAdmin(const TOKEN_GROUPS* groups) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &admins))
        return FALSE;
    BOOL found = FALSE;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
        found = EqualSid(groups->Groups[i].Sid, admins);
    FreeSid(admins);
    return found;
}

BOOL isAdmin() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &raw)) return FALSE;
    Handle token(raw);
    // Domain accounts easily carry more groups than a fixed buffer holds: ask for the size first.
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size == 0) return FALSE;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return FALSE;
    return tokenGroupsHoldAdmin(reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()));
}

int osVersionCode(DWORD major, DWORD minor, BYTE productType) {
    bool workstation = productType == VER_NT_WORKSTATION;
    if (major == 5 && minor == 0) return 1;
    if (major == 5 && minor == 1) return 2;
    if (major == 6 && minor == 0 && workstation) return 3;
    if (major == 6 && minor == 1 && workstation) return 4;
    // Without these every Windows in use today would be "unsupported" and the built-in actions
    // would do nothing. The program's manifest must declare these systems, or Windows reports 6.2.
    if (major == 6 && (minor == 2 || minor == 3) && workstation) return OS_WIN8;
    if (major == 10 && minor == 0 && workstation) return OS_WIN10;
    return 0;
}

int getOSVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return 0;
#pragma GCC diagnostic pop
    return osVersionCode(info.dwMajorVersion, info.dwMinorVersion, info.wProductType);
}

BOOL isAlreadyRunning(const wchar_t* mutexName) {
    // The handle is deliberately never closed: the name stays claimed for the life of the process.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, mutexName);
    return mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

wchar_t* expand(const wchar_t* text) {
    if (!text) return nullptr;
    DWORD need = ExpandEnvironmentStringsW(text, nullptr, 0);
    for (int attempt = 0; need && attempt < 4; ++attempt) {
        wchar_t* out = stralloc(need + 1);
        if (!out) {
            SetLastError(ERR_NOMEM);
            return nullptr;
        }
        DWORD got = ExpandEnvironmentStringsW(text, out, need + 1);
        if (got && got <= need + 1) return out;
        free(out);
        need = got;
    }
    return nullptr;
}

static StringList* newStringNode(const wchar_t* text) {
    auto* node = static_cast<StringList*>(calloc(1, sizeof(StringList)));
    wchar_t* copy = wcsdupHeap(text ? text : L"");
    if (!node || !copy) {
        free(node);
        free(copy);
        SetLastError(ERR_NOMEM);
        return nullptr;
    }
    node->string = copy;
    return node;
}

StringList* addString(StringList* list, const wchar_t* text) {
    StringList* node = newStringNode(text);
    if (!node) return list;
    if (!list) return node;
    StringList* tail = list;
    while (tail->next) tail = tail->next;
    tail->next = node;
    return list;
}

bool StringListTail::append(const wchar_t* text) {
    StringList* node = newStringNode(text);
    if (!node) return false;
    *end = node;
    end = &node->next;
    return true;
}

void freeStringList(StringList* list) {
    // Iterative, so a long list cannot exhaust the stack.
    while (list) {
        StringList* next = list->next;
        free(list->string);
        free(list);
        list = next;
    }
}
