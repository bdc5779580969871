// Language texts: every visible text is looked up by id in the user's language file.
#include "common.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

int current_mask = 0;

void init(int block) { current_mask = block; }

wchar_t* makeLangError() {
    wchar_t buf[48];
    swprintf(buf, 48, L"<LangError: [%d]>", static_cast<int>(GetLastError()));
    return wcsdupHeap(buf);
}

// Reads one UTF-16LE code unit; false at the end of the file or on a read error.
static bool readUnit(FILE* file, wchar_t& unit) {
    int lo = getc(file);
    if (lo == EOF) return false;
    int hi = getc(file);
    if (hi == EOF) return false; // a lone trailing byte is not a character
    unit = static_cast<wchar_t>(lo | (hi << 8));
    return true;
}

// After a CR: takes the LF of CR LF and leaves anything else for the next line. A file may end
// lines with a lone CR; eating the unit after it would cut the first character off every line.
static void skipLineFeed(FILE* file) {
    int lo = getc(file);
    if (lo == EOF) return;
    if (lo != '\n') {
        ungetc(lo, file);
        return;
    }
    int hi = getc(file);
    if (hi == 0 || hi == EOF) return;
    // U+xx0A, not a line feed: the stream only promises one byte of push-back.
    fseek(file, -2, SEEK_CUR);
}

bool getLine(FILE* file, std::wstring& line) {
    line.clear();
    wchar_t unit;
    bool any = false;
    while (readUnit(file, unit)) {
        any = true;
        if (unit == L'\r') {
            skipLineFeed(file);
            return true;
        }
        line.push_back(unit);
    }
    return any;
}

static int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Parses the id part of an entry line; false when it holds no hexadecimal number.
static bool parseId(const wchar_t* p, const wchar_t* end, long long& id) {
    while (p < end && iswspace(*p)) ++p;
    if (end - p >= 3 && p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && hexValue(p[2]) >= 0) p += 2;
    if (p >= end || hexValue(*p) < 0) return false;
    id = 0;
    for (; p < end && hexValue(*p) >= 0; ++p)
        if (id <= 0xFFFFFFFFLL) id = id * 16 + hexValue(*p); // past 32 bits it can match nothing
    return true;
}

bool findLangEntry(FILE* file, int id, std::wstring& text, bool* anyEntry) {
    std::wstring line;
    if (anyEntry) *anyEntry = false;
    while (getLine(file, line)) {
        if (line.empty()) continue;
        const wchar_t* p = line.c_str();
        const wchar_t* end = p + line.size();
        while (p < end && *p == L'=') ++p;
        const wchar_t* eq = std::find(p, end, L'=');
        long long found;
        if (!parseId(p, eq, found)) continue;
        if (anyEntry) *anyEntry = true;
        if (found != id) continue;
        const wchar_t* start = eq < end ? eq + 1 : end;
        const wchar_t* stop = start;
        while (stop < end && *stop != L'\r' && *stop != L'\n') ++stop;
        text.assign(start, stop);
        return true;
    }
    return false;
}

wchar_t* getString(int id) {
    if (id < 0x100) id |= current_mask;
    int index = getLangIndex(getLanguage());
    if (index < 0) index = 1;
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        SetLastError(ERR_NO_INSTALLDIR);
        return makeLangError();
    }
    std::wstring path = std::wstring(dir) + L"\\lang\\" + LANGUAGE_FILES[index] + L".lng";
    File file(_wfopen(path.c_str(), L"rb"));
    if (!file) {
        SetLastError(ERR_NO_LANGFILE);
        return makeLangError();
    }
    std::wstring text;
    bool anyEntry;
    if (!findLangEntry(file, id, text, &anyEntry)) {
        // A file in another encoding reads as one long line of no entry; say so rather than
        // leave the user with placeholders that look like missing texts.
        if (!anyEntry) SetLastError(ERR_LANG_ENCODING);
        return makeLangError();
    }
    return unescape(text.c_str());
}

wchar_t* escape(const wchar_t* text) {
    if (!text) return nullptr;
    if (!*text) return wcsdupHeap(L" ");
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) {
        switch (*p) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L',': out += L"\\c"; break;
        default: out += *p;
        }
    }
    return wcsdupHeap(out.c_str());
}

wchar_t* unescape(const wchar_t* text, size_t* length) {
    if (!text) return nullptr;
    if (wcscmp(text, L" ") == 0) text = L"";
    size_t n = wcslen(text);
    wchar_t* out = stralloc(n + 1);
    if (!out) {
        SetLastError(ERR_NOMEM);
        return nullptr;
    }
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != L'\\') {
            out[k++] = text[i];
            continue;
        }
        if (++i == n) break; // a trailing backslash is dropped
        switch (text[i]) {
        case L'\\': out[k++] = L'\\'; break;
        case L't': out[k++] = L'\t'; break;
        case L'n': out[k++] = L'\n'; break;
        case L'r': out[k++] = L'\r'; break;
        case L'c': out[k++] = L','; break;
        default: out[k++] = L'\0'; break; // \0 and unknown escapes both leave an embedded NUL
        }
    }
    out[k] = L'\0';
    if (length) *length = k;
    return out;
}
