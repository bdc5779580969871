// The work of export and import without their dialogs and boxes, for the pages, the tests and the
// benchmark. importReminders and exportReminders (manager.h) wrap these with the user's questions.
#pragma once

#include "manager.h"
#include "reminderfile.h"

struct ExportResult {
    bool ok = false;
    int count = 0;
    DWORD code = 0;   // why the file could not be written
    std::wstring path; // the file written, ".tlm" added when missing
};
// Writes every reminder of the store to the file, replacing it only once the new one is complete.
ExportResult exportLibrary(const wchar_t* path);

using SaveFn = int (*)(Reminder*);
struct ImportResult {
    bool ok = false;           // every line was a record and every record was stored
    int stored = 0;
    int refused = 0;
    bool restored = false;     // a Replace could not finish and put the old library back
    bool deleteFailed = false; // a Replace could not delete everything it replaces
};
// Stores what a file held. Replace deletes the library only for a file that holds a record or is
// empty, and puts it back if a record can't be stored. `save` is the store's saveReminder.
ImportResult importContents(FileContents& contents, bool replace, SaveFn save);
