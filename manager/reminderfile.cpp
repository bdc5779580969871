#include "reminderfile.h"

#include "common.h"
#include "reminders.h"

#include <cwchar>
#include <cwctype>

namespace {

std::wstring escaped(const std::wstring& text) {
    // A single blank stands for the empty text, so a text that is one blank needs a form of its
    // own; a reader that does not know it takes the text for empty, as it would the blank.
    if (text == L" ") return L"\\s";
    HeapText e(escape(text.c_str()));
    return e.get() ? std::wstring(e) : std::wstring(L" ");
}

wchar_t* two(wchar_t* out, int value) {
    out[0] = static_cast<wchar_t>(L'0' + value / 10 % 10);
    out[1] = static_cast<wchar_t>(L'0' + value % 10);
    return out + 2;
}

// The inverse of `escape`; false where the file holds what `escape` never writes (a lone or
// unknown backslash, a NUL), since reading on would cut the text short without a word.
bool unescaped(const std::wstring& field, std::wstring& out) {
    out.clear();
    if (field == L" ") return true;
    for (size_t i = 0; i < field.size(); ++i) {
        wchar_t c = field[i];
        if (c == L'\0') return false;
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++i == field.size()) return false;
        switch (field[i]) {
        case L'\\': out += L'\\'; break;
        case L'c': out += L','; break;
        case L't': out += L'\t'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L's': out += L' '; break;
        default: return false;
        }
    }
    return true;
}

// A decimal integer with optional leading blanks and sign, and nothing after it.
bool integer(const std::wstring& field, long& value) {
    const wchar_t* p = field.c_str();
    while (*p == L' ') ++p;
    wchar_t* end = nullptr;
    errno = 0;
    value = wcstol(p, &end, 10);
    return end != p && *end == L'\0' && errno == 0;
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool digits(const wchar_t*& p, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++p) {
        if (*p < L'0' || *p > L'9') return false;
        value = value * 10 + (*p - L'0');
    }
    return true;
}

bool expect(const wchar_t*& p, wchar_t c) { return *p++ == c; }

// DD-MM-YYYY_hh-mm-ss, and a date that exists: the picker offers 29 February of leap years.
bool date(const std::wstring& field, SYSTEMTIME& t) {
    const wchar_t* p = field.c_str();
    int day, month, year = 0, hour, minute, second;
    if (!digits(p, 2, day) || !expect(p, L'-') || !digits(p, 2, month) || !expect(p, L'-')) return false;
    const wchar_t* yearStart = p;
    while (*p >= L'0' && *p <= L'9' && p - yearStart < 5) year = year * 10 + (*p++ - L'0');
    if (p == yearStart || !expect(p, L'_') || !digits(p, 2, hour) || !expect(p, L'-') || !digits(p, 2, minute) ||
        !expect(p, L'-') || !digits(p, 2, second) || *p)
        return false;
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59)
        return false;
    int length = DAYS[month] + (month == 2 && leapYear(year) ? 1 : 0);
    if (day < 1 || day > length) return false;
    t = {};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    return true;
}

// What the store can keep as a key name and the validators would let a user type.
bool keyName(const std::wstring& name) {
    return !name.empty() && name.size() <= MAX_NAME && name[0] != L' ' && name.find(L'\\') == std::wstring::npos;
}

} // namespace

std::wstring formatRecord(const FileRecord& r) {
    wchar_t when[32], *p = when;
    p = two(p, r.due.wDay);
    *p++ = L'-';
    p = two(p, r.due.wMonth);
    *p++ = L'-';
    p += swprintf(p, 8, L"%d", r.due.wYear);
    *p++ = L'_';
    p = two(p, r.due.wHour);
    *p++ = L'-';
    p = two(p, r.due.wMinute);
    *p++ = L'-';
    p = two(p, r.due.wSecond);
    *p = L'\0';
    std::wstring line;
    line.reserve(r.name.size() + r.text.size() + r.yesText.size() + r.cmd.size() + r.group.size() + 48);
    line += escaped(r.name);
    line += r.custom ? L",1," : L",0,";
    line += escaped(r.text);
    line += L',' + std::to_wstring(r.frequency) + L',' + when + (r.active ? L",1," : L",0,");
    line += escaped(r.yesText);
    line += L',';
    line += escaped(r.cmd);
    line += L',';
    line += escaped(r.group);
    line += L"\r\n";
    return line;
}

bool parseRecord(const std::wstring& line, FileRecord& r) {
    std::vector<std::wstring> fields;
    // Empty pieces are skipped: a doubled comma separates like a single one.
    for (size_t start = 0; start <= line.size();) {
        size_t comma = line.find(L',', start);
        if (comma == std::wstring::npos) comma = line.size();
        if (comma > start) {
            if (fields.size() == 9) return false;
            fields.push_back(line.substr(start, comma - start));
        }
        start = comma + 1;
    }
    if (fields.size() != 9) return false;
    long custom, frequency, active;
    if (!unescaped(fields[0], r.name) || !integer(fields[1], custom) || !unescaped(fields[2], r.text) ||
        !integer(fields[3], frequency) || !date(fields[4], r.due) || !integer(fields[5], active) ||
        !unescaped(fields[6], r.yesText) || !unescaped(fields[7], r.cmd) || !unescaped(fields[8], r.group))
        return false;
    if (frequency < FREQ_DAILY || frequency > FREQ_ONCE || !keyName(r.name) || !keyName(r.group) ||
        r.text.size() > MAX_TEXT)
        return false;
    r.custom = custom != 0;
    r.frequency = static_cast<int>(frequency);
    r.active = active != 0;
    return true;
}

FileContents readRecords(FILE* file) {
    FileContents contents;
    std::wstring line;
    bool first = true;
    while (getLine(file, line)) {
        if (first && !line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
        first = false;
        if (line.empty()) break;
        FileRecord record;
        if (parseRecord(line, record)) contents.records.push_back(std::move(record));
        else ++contents.refused;
    }
    return contents;
}
