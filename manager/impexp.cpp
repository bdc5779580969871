// Reminder files (.tlm): export of the whole library, and its import by appending or replacing.
// A bad file must never cost the user a reminder: the whole file is read and checked before the
// store is touched, and a Replace that fails part-way puts the old library back.
#include "impexp.h"

#include <cwchar>
#include <cwctype>
#include <set>

static const wchar_t REM_EXT[] = L".tlm";

static bool hasExtension(const wchar_t* path) {
    size_t length = path ? wcslen(path) : 0;
    return length >= 4 && _wcsicmp(path + length - 4, REM_EXT) == 0;
}

// ---- Store to records and back ------------------------------------------------------------------

static FileRecord toFileRecord(const Reminder* rem, const std::wstring& group) {
    FileRecord r;
    r.name = rem->isCustom || !rem->id ? rem->name : rem->id;
    r.custom = rem->isCustom != FALSE;
    r.text = rem->reminderText;
    r.frequency = rem->frequency;
    r.due = *rem->nextDue;
    r.active = rem->active != FALSE;
    r.yesText = rem->yesText;
    r.cmd = rem->cmd;
    r.group = group;
    return r;
}

// Built-in groups are carried by their key names; the display names follow the language.
static std::wstring builtinKey(const wchar_t* display) {
    HeapText key(findBuiltinGroupName(display));
    return key.get() ? std::wstring(key) : std::wstring(display);
}

// Calls visit(record, group as the file carries it) for every reminder, in the file's order.
template <typename Visit> static void forEachStored(Visit visit) {
    for (BOOL custom : {TRUE, FALSE}) {
        StringList* groups = getGroups(custom);
        for (StringList* g = groups; g; g = g->next) {
            std::wstring group = custom ? std::wstring(g->string) : builtinKey(g->string);
            ReminderList* list = getReminders(custom, g->string);
            for (ReminderList* n = list; n; n = n->next) {
                visit(n->reminder, group);
                freeReminder(n->reminder);
            }
            freeReminderList(list);
        }
        freeStringList(groups);
    }
}

// The library as it stands, kept to be put back if a Replace can't finish.
struct Library {
    std::vector<std::wstring> customGroups, builtinGroups;
    std::vector<Reminder*> records; // built-in ones carry their group's key name
    Library() = default;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() {
        for (Reminder* rem : records) freeReminder(rem);
    }
};

static void takeLibrary(Library& library) {
    for (BOOL custom : {TRUE, FALSE}) {
        StringList* groups = getGroups(custom);
        for (StringList* g = groups; g; g = g->next) {
            std::wstring group = custom ? std::wstring(g->string) : builtinKey(g->string);
            (custom ? library.customGroups : library.builtinGroups).push_back(group);
            ReminderList* list = getReminders(custom, g->string);
            for (ReminderList* n = list; n; n = n->next) {
                Reminder* rem = n->reminder;
                if (wchar_t* copy = wcsdupHeap(group.c_str())) {
                    free(rem->group);
                    rem->group = copy;
                }
                library.records.push_back(rem);
            }
            freeReminderList(list);
        }
        freeStringList(groups);
    }
}

static void putBack(const Library& library) {
    deleteAllReminders();
    for (const std::wstring& g : library.customGroups) createGroup(TRUE, g.c_str());
    for (const std::wstring& g : library.builtinGroups) createGroup(FALSE, g.c_str());
    for (Reminder* rem : library.records) saveReminder(rem);
}

// Writes the file's records; returns how many were stored, and the code of the first failure.
static int writeRecords(std::vector<FileRecord>& records, SaveFn save, DWORD& failure) {
    failure = 0;
    int stored = 0;
    std::set<std::pair<bool, std::wstring>> groups;
    for (FileRecord& r : records) {
        std::wstring folded = r.group;
        for (wchar_t& c : folded) c = static_cast<wchar_t>(towlower(c));
        // An existing group stays as it is; each group is asked for once, not once per record.
        if (groups.insert({r.custom, folded}).second) createGroup(r.custom, r.group.c_str());
        Reminder* rem = createReminder(r.name.data(), r.custom, r.text.data(), static_cast<DWORD>(r.frequency), &r.due,
                                       r.active, nullptr, r.yesText.c_str(), r.cmd.c_str(), r.group.c_str());
        if (rem && !r.custom && !(rem->id = wcsdupHeap(r.name.c_str()))) {
            freeReminder(rem);
            rem = nullptr;
            SetLastError(ERR_NOMEM);
        }
        if (rem && save(rem)) ++stored;
        else if (!failure) failure = GetLastError() ? GetLastError() : ERR_WRITE_VALUE;
        freeReminder(rem);
    }
    return stored;
}

// ---- Export -------------------------------------------------------------------------------------

static bool writeWhole(const std::wstring& target, const std::wstring& content, DWORD& code) {
    // Written beside the target and moved over it only when complete, so a failure never leaves
    // a half-written file where the user's was.
    size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash + 1);
    wchar_t temp[MAX_PATH + 16];
    if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tlm", 0, temp)) {
        code = GetLastError();
        return false;
    }
    Handle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool ok = file.h != INVALID_HANDLE_VALUE;
    const char* bytes = reinterpret_cast<const char*>(content.data());
    size_t left = content.size() * sizeof(wchar_t);
    while (ok && left) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1 << 20)), written = 0;
        ok = WriteFile(file, bytes, chunk, &written, nullptr) && written == chunk;
        bytes += chunk;
        left -= chunk;
    }
    if (ok) ok = FlushFileBuffers(file);
    code = ok ? 0 : GetLastError();
    CloseHandle(file.h);
    file.h = nullptr;
    if (ok && !MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) DeleteFileW(temp);
    return ok;
}

static std::wstring withCount(int textId, int count) {
    HeapText text(getString(textId));
    return text.get() ? fillNumber(text, count) : std::wstring();
}

ExportResult exportLibrary(const wchar_t* path) {
    ExportResult result;
    result.path = path ? path : L"";
    if (!hasExtension(result.path.c_str())) result.path += REM_EXT;
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(result.path.c_str(), MAX_PATH * 4, full, nullptr);
    if (n && n < MAX_PATH * 4) result.path = full;
    std::wstring content;
    forEachStored([&](const Reminder* rem, const std::wstring& group) {
        content += formatRecord(toFileRecord(rem, group));
        ++result.count;
    });
    result.ok = writeWhole(result.path, content, result.code);
    return result;
}

void exportReminders(const wchar_t* path) {
    try {
        ExportResult result = exportLibrary(path);
        if (!result.ok) {
            reportError(0x222, result.code);
            return;
        }
        HeapText done(getString(0x223)), caption(getString(0xA00));
        std::wstring message = std::wstring(done.get() ? done.get() : L"") + L"\n\n" + withCount(0x247, result.count);
        msgBox(nullptr, message.c_str(), caption, MB_OK | MB_ICONINFORMATION);
    } catch (const std::bad_alloc&) {
        reportError(0x222, ERR_NOMEM);
    }
}

// ---- Import -------------------------------------------------------------------------------------

INT_PTR CALLBACK ImpTypeProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        HeapText caption(getString(0x2A7));
        SetWindowTextW(dlg, caption);
        static const Label LABELS[] = {
            {IDC_APPEND, 0x2A8}, {IDC_REPLACE, 0x2A9}, {IDCANCEL, IDS_BTN_CANCEL}, {IDC_IMPTYPE_TEXT, 0x2AA}};
        relabel(dlg, LABELS);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_APPEND:
        case IDC_REPLACE:
        case IDCANCEL:
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
    }
    return FALSE;
}

ImportResult importContents(FileContents& contents, bool replace, SaveFn save) {
    ImportResult result;
    result.refused = contents.refused;
    DWORD failure = 0;
    // A file with nothing readable in it is no library to replace the user's with.
    bool usable = !contents.records.empty() || contents.refused == 0;
    if (replace && usable) {
        Library old;
        takeLibrary(old);
        result.deleteFailed = !deleteAllReminders();
        createGroup(TRUE, DEFAULT_GROUP);
        result.stored = writeRecords(contents.records, save, failure);
        if (result.stored < static_cast<int>(contents.records.size())) {
            putBack(old);
            result.restored = true;
            result.stored = 0;
        }
    } else if (!replace) {
        createGroup(TRUE, DEFAULT_GROUP);
        result.stored = writeRecords(contents.records, save, failure);
    }
    createGroup(TRUE, DEFAULT_GROUP);
    translateReminders();
    result.ok = result.refused == 0 && !result.restored && result.stored == static_cast<int>(contents.records.size());
    return result;
}

static void importFile(const wchar_t* path) {
    if (!hasExtension(path)) {
        reportPlain(IDS_NOT_REMINDER_FILE);
        return;
    }
    File file(_wfopen(path, L"rb"));
    if (!file) {
        reportError(IDS_NO_OPEN_FILE, GetLastError());
        return;
    }
    FileContents contents = readRecords(file);
    INT_PTR choice = DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_IMPTYPE), nullptr, ImpTypeProc, 0);
    if (choice == IDCANCEL) return;
    bool replace = choice == IDC_REPLACE;
    ImportResult result = importContents(contents, replace, saveReminder);
    if (result.deleteFailed) reportPlain(0x21F);
    if (hRemTab) reloadReminders();
    if (hTab) reloadXReminders();

    bool ok = result.ok;
    HeapText text(getString(ok ? 0x221 : 0x220)), caption(getString(ok ? 0xA00 : 0xA01));
    std::wstring message = std::wstring(text.get() ? text.get() : L"") + L"\n\n" + withCount(0x244, result.stored);
    if (result.refused) message += L"\n" + withCount(0x245, result.refused);
    if (result.restored) {
        HeapText back(getString(0x246));
        message += L"\n\n" + std::wstring(back.get() ? back.get() : L"");
    }
    msgBox(nullptr, message.c_str(), caption, MB_OK | (ok ? MB_ICONINFORMATION : MB_ICONERROR));
}

void importReminders(const wchar_t* path) {
    try {
        importFile(path);
    } catch (const std::bad_alloc&) {
        reportError(IDS_NO_OPEN_FILE, ERR_NOMEM);
    }
}
