// Support code compiled into every program of the suite: settings, language texts, message boxes.
#pragma once

#include <windows.h>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>

#define TOLVA_KEY L"Software\\Ondrel\\Tolva"

// The suite's own last-error codes.
enum : DWORD {
    ERR_NOMEM = 16001,
    ERR_WRITE_VALUE = 16002,
    ERR_PROTECT_CMD = 16003,
    ERR_NO_INSTALLDIR = 16004, // getString: no InstallDir setting
    ERR_NO_LANGFILE = 16005,   // getString: the language file can't be opened
    ERR_LANG_ENCODING = 16006, // getString: the language file holds no entry at all (not UTF-16LE, say)
};

// Shared text ids.
enum : int {
    IDS_NO_INSTALLDIR = 0xA02,
    IDS_ERROR_CAPTION = 0xA05,
    IDS_ERROR_CODE = 0xA06,
    IDS_NO_HELP = 0xA08,
    IDS_BTN_OK = 0xA20,
    IDS_BTN_CANCEL = 0xA21,
    IDS_BTN_YES = 0xA22,
    IDS_BTN_NO = 0xA23,
};

struct StringList {
    wchar_t* string;
    StringList* next;
};

constexpr int NUM_LANGUAGES = 7;
extern const wchar_t* const LANGUAGES[NUM_LANGUAGES];
extern const wchar_t* const LANGUAGE_FILES[NUM_LANGUAGES];
extern const int LANGUAGE_MAP[NUM_LANGUAGES];

// Month lengths indexed by month number; February is always 28.
extern const WORD DAYS[13];

// Settings (never cached). Returned texts and records are malloc'ed and belong to the caller.
wchar_t* getRegSZValue(HKEY key, const wchar_t* name);
wchar_t* getStringSetting(const wchar_t* name);
SYSTEMTIME* getLastUpdate();
int getAutoUpdate();
int isDisplayDueDate();
int getLanguage();
int getLangIndex(int code);
int getLangCode(int index);

// Environment.
BOOL isAdmin();
BOOL tokenGroupsHoldAdmin(const TOKEN_GROUPS* groups);
// Windows version codes: 0 unsupported, 1 Windows 2000, 2 XP, 3 Vista, 4 Windows 7 (workstations
// from Vista on), then our own additions for the systems in use today.
enum : int { OS_UNSUPPORTED = 0, OS_WIN2000, OS_WINXP, OS_VISTA, OS_WIN7, OS_WIN8, OS_WIN10 };
int getOSVersion();
int osVersionCode(DWORD major, DWORD minor, BYTE productType);
BOOL isAlreadyRunning(const wchar_t* mutexName);
wchar_t* stralloc(size_t count);
wchar_t* wcsdupHeap(const wchar_t* s);
wchar_t* expand(const wchar_t* text);

StringList* addString(StringList* list, const wchar_t* text);
void freeStringList(StringList* list);
// Builds a list in order at constant cost per entry: addString walks from the head each time,
// which makes a listing of many thousand names take seconds.
struct StringListTail {
    StringList* head = nullptr;
    StringList** end = &head;
    StringListTail() = default;
    StringListTail(const StringListTail&) = delete;
    StringListTail& operator=(const StringListTail&) = delete;
    // False after memory exhaustion (last error 16001); the list built so far stays whole.
    bool append(const wchar_t* text);
};

// Language texts.
extern int current_mask;
void init(int block);
wchar_t* getString(int id);
wchar_t* makeLangError();
// One line of a UTF-16LE file without its end (CR LF, a lone CR, or the file's end); false at the end.
bool getLine(FILE* file, std::wstring& line);
// The text of entry `id`; `anyEntry`, when given, tells whether the file held any entry at all.
bool findLangEntry(FILE* file, int id, std::wstring& text, bool* anyEntry = nullptr);
wchar_t* escape(const wchar_t* text);
wchar_t* unescape(const wchar_t* text, size_t* length = nullptr);

// Message boxes and help.
int msgBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
LRESULT CALLBACK MsgBoxProc(int code, WPARAM wParam, LPARAM lParam);
// Fills the integer fields (%d, %i, %u, optionally with a 0 flag, a one-digit width and l) of a
// looked-up format with the values in turn; fields past the values stay as they are.
std::wstring fillNumbers(const wchar_t* format, std::initializer_list<long long> values);
std::wstring fillNumber(const wchar_t* format, long long value);
void errBox(const wchar_t* format, const wchar_t* arg, BOOL withCode);
void openHelp();
// Opens a file of the installation folder in a Windows program (environment references expanded),
// both paths quoted; a missing folder is reported with 0xA02, a failed start with `failText`.
void openInstalledFile(const wchar_t* viewer, const wchar_t* file, int failText);
// Error boxes for a looked-up message: with `code` as the error code, or with none.
void reportError(int textId, DWORD code);
void reportPlain(int textId);
// Asks a question whose text is looked up; the result is msgBox's.
int ask(HWND owner, int textId, const wchar_t* caption, UINT style);

// One row of a dialog's relabelling table: which control shows which text.
struct Label {
    int control;
    int text;
};
void relabel(HWND dlg, std::span<const Label> labels);

// Small holders so every path closes what it opened.
struct RegKey {
    HKEY h = nullptr;
    RegKey() = default;
    explicit RegKey(HKEY k) : h(k) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : h(other.release()) {}
    ~RegKey() { reset(); }
    void reset(HKEY k = nullptr) {
        if (h && h != (HKEY)INVALID_HANDLE_VALUE) RegCloseKey(h);
        h = k;
    }
    HKEY release() { HKEY k = h; h = nullptr; return k; }
    operator HKEY() const { return h; }
    explicit operator bool() const { return h != nullptr; }
    HKEY* out() { reset(); return &h; }
};

struct Handle {
    HANDLE h = nullptr;
    Handle() = default;
    explicit Handle(HANDLE x) : h(x) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h); }
    operator HANDLE() const { return h; }
};

struct File {
    FILE* f = nullptr;
    explicit File(FILE* x) : f(x) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { if (f) fclose(f); }
    operator FILE*() const { return f; }
};

// A malloc'ed text from the suite's functions, freed when it goes out of scope.
struct HeapText {
    wchar_t* p = nullptr;
    explicit HeapText(wchar_t* x) : p(x) {}
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
    ~HeapText() { free(p); }
    operator const wchar_t*() const { return p; }
    wchar_t* get() const { return p; }
};
