// The reminder file format (.tlm): one record a line, nine comma-separated fields, UTF-16LE with
// CR LF. Pure text work, no store and no windows, so it can be fed any file.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// One record as the file holds it; texts are unescaped.
struct FileRecord {
    std::wstring name; // custom: the name; built-in: the id (the key name)
    bool custom = true;
    std::wstring text;
    int frequency = 0;
    SYSTEMTIME due{};
    bool active = true;
    std::wstring yesText;
    std::wstring cmd;
    std::wstring group; // custom: the group; built-in: the group's key name
};

// The line of a record, CR LF included.
std::wstring formatRecord(const FileRecord& record);
// False for anything the suite would not have written or could not store: a field count other
// than nine, a number that is not one, a date that is not a real one, a frequency outside 0-8,
// a name or group that can't be a key name, a text past the record's limit, a NUL.
bool parseRecord(const std::wstring& line, FileRecord& record);

struct FileContents {
    std::vector<FileRecord> records;
    int refused = 0; // lines that are not records
};
// Reads lines up to the first empty one or the end; a byte-order mark at the start is skipped.
FileContents readRecords(FILE* file);
