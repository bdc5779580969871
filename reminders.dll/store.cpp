// The reminder tree in the current user's registry: one key per reminder, grouped by class and group.
#include "reminders.h"

#include <wincrypt.h>

#include <cstdlib>
#include <cwchar>
#include <string>

static const HKEY INVALID_KEY = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
static const REGSAM DELETE_ACCESS = STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

static std::wstring classPath(BOOL custom) {
    return std::wstring(REMINDERS_KEY L"\\") + (custom ? CUSTOM_CLASS : BUILTIN_CLASS);
}

// A key name the tree can hold: an empty name would address the parent key itself and a
// backslash a nested key that no listing shows, so both would write or delete the wrong thing.
// A name longer than the listings take would be written and then never seen again.
static bool isKeyName(const wchar_t* name) {
    return name && *name && !wcschr(name, L'\\') && wcslen(name) <= size_t(MAX_NAME);
}

// The Windows command-line limit; a longer command can't be started and costs every check a
// long decryption, so it is neither stored nor read.
constexpr size_t MAX_CMD = 32767;
// What the protected form of such a command can take, with room for the protection's own header.
constexpr DWORD MAX_CMD_BLOB = (MAX_CMD + 1) * sizeof(wchar_t) + 16384;

// A date the schedule can work with: real fields, with February taken at its longest, because
// the yearly step carries a 29th of February into years that have none.
static bool isStorableDate(const SYSTEMTIME& t) {
    static const WORD LONGEST[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 && t.wDay <= LONGEST[t.wMonth] && t.wHour < 24 &&
           t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

// Calls `visit(name)` for each subkey in index order. Names longer than the tree's limit were not
// written by the suite and are passed over.
template <typename Visit> static void forEachSubkey(HKEY key, Visit visit) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        LONG rc = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return;
        if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && length > MAX_NAME)) continue;
        if (rc != ERROR_SUCCESS) return;
        visit(name);
    }
}

static RegKey openSub(HKEY parent, const wchar_t* name, REGSAM access, LONG* result = nullptr) {
    RegKey key;
    LONG rc = RegOpenKeyExW(parent, name, 0, access, key.out());
    if (rc != ERROR_SUCCESS) key.h = nullptr;
    if (result) *result = rc;
    return key;
}

static wchar_t* findBuiltinGroupNameBody(const wchar_t* group) {
    if (!group) return nullptr;
    LONG rc;
    RegKey builtin = openSub(HKEY_CURRENT_USER, classPath(FALSE).c_str(), KEY_ENUMERATE_SUB_KEYS, &rc);
    if (!builtin) {
        SetLastError(rc);
        return nullptr;
    }
    wchar_t* found = nullptr;
    forEachSubkey(builtin, [&](const wchar_t* name) {
        if (found) return;
        RegKey sub = openSub(builtin, name, KEY_QUERY_VALUE);
        if (!sub) return;
        HeapText display(getRegSZValue(sub, nullptr));
        if (display.get() && _wcsicmp(display, group) == 0) found = wcsdupHeap(name);
    });
    return found;
}

static HKEY openRemindersKeyBody(BOOL custom, const wchar_t* group, REGSAM access) {
    if (!custom && !group) return INVALID_KEY;
    std::wstring path = classPath(custom) + L"\\";
    if (!custom) {
        HeapText keyName(findBuiltinGroupName(group));
        if (!keyName.get()) return INVALID_KEY;
        path += keyName.get();
    } else {
        // A group no listing shows (too long, or a nested path) is no group to write into.
        if (group && !isKeyName(group)) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_KEY;
        }
        path += group ? group : DEFAULT_GROUP;
    }
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key);
    SetLastError(rc);
    return rc == ERROR_SUCCESS ? key : INVALID_KEY;
}

static StringList* getGroupsBody(BOOL custom) {
    LONG rc;
    RegKey cls = openSub(HKEY_CURRENT_USER, classPath(custom).c_str(), KEY_ENUMERATE_SUB_KEYS, &rc);
    if (!cls) {
        SetLastError(rc);
        return nullptr;
    }
    StringListTail groups;
    forEachSubkey(cls, [&](const wchar_t* name) {
        if (custom) {
            groups.append(name);
            return;
        }
        RegKey sub = openSub(cls, name, KEY_QUERY_VALUE);
        if (!sub) return;
        HeapText display(getRegSZValue(sub, nullptr));
        groups.append(display.get() ? display.get() : name);
    });
    return groups.head;
}

// Reads a fixed-size binary value; a value of any other size is not one the suite wrote.
static LONG readExact(HKEY key, const wchar_t* name, void* data, DWORD size) {
    DWORD actual = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &actual);
    if (rc != ERROR_SUCCESS) return rc;
    if (actual != size) return ERROR_INVALID_DATA;
    return RegQueryValueExW(key, name, nullptr, nullptr, static_cast<BYTE*>(data), &actual);
}

// A date that is not one can't be scheduled, and once answered could not be saved again (it
// would pop up at every check); such a reminder is unreadable.
static LONG readDate(HKEY key, const wchar_t* name, SYSTEMTIME& t) {
    LONG rc = readExact(key, name, &t, sizeof t);
    if (rc == ERROR_SUCCESS && !isStorableDate(t)) return ERROR_INVALID_DATA;
    return rc;
}

static wchar_t* decryptCMD(const BYTE* data, DWORD size) {
    DATA_BLOB in{size, const_cast<BYTE*>(data)}, out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) return nullptr;
    size_t chars = out.cbData / sizeof(wchar_t);
    wchar_t* text = stralloc(chars + 1);
    if (text) {
        memcpy(text, out.pbData, chars * sizeof(wchar_t));
        text[chars] = L'\0';
        text[wcslen(text)] = L'\0';
    }
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return text;
}

static bool encryptCMD(const wchar_t* cmd, DATA_BLOB& out) {
    DATA_BLOB in{static_cast<DWORD>((wcslen(cmd) + 1) * sizeof(wchar_t)),
                 reinterpret_cast<BYTE*>(const_cast<wchar_t*>(cmd))};
    out = {};
    return CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out) != FALSE;
}

// Reads one reminder key; null (with the reason as last error) if any value is missing or malformed.
static Reminder* getReminder(HKEY key, const wchar_t* keyName, BOOL custom) {
    Reminder* rem = static_cast<Reminder*>(calloc(1, sizeof(Reminder)));
    SYSTEMTIME due{}, later{};
    DWORD frequency = 0, active = 0, laterSize = 0, cmdSize = 0;
    LONG rc = ERROR_SUCCESS;
    auto fail = [&](LONG code) {
        freeReminder(rem);
        SetLastError(code);
        return nullptr;
    };
    if (!rem) return fail(ERR_NOMEM);

    // A custom reminder is saved under its name, so its default value only gives the spelling of
    // that name; taken as the name when it differs, the next save would make a second key and leave
    // this one due for ever.
    rem->name = getRegSZValue(key, nullptr);
    if (rem->name && (!*rem->name || (custom && _wcsicmp(rem->name, keyName) != 0))) {
        free(rem->name);
        rem->name = nullptr;
    }
    if (!rem->name && !(rem->name = wcsdupHeap(keyName))) return fail(ERR_NOMEM);
    if (!(rem->reminderText = getRegSZValue(key, L"ReminderText"))) return fail(GetLastError());
    if ((rc = readExact(key, L"Frequency", &frequency, 4)) != ERROR_SUCCESS) return fail(rc);
    if (frequency > FREQ_ONCE) return fail(ERROR_INVALID_DATA); // the schedule could never move it on
    if ((rc = readDate(key, L"Due", due)) != ERROR_SUCCESS) return fail(rc);
    if ((rc = RegQueryValueExW(key, L"RemindLater", nullptr, nullptr, nullptr, &laterSize)) != ERROR_SUCCESS)
        return fail(rc);
    if (laterSize != 4) {
        if ((rc = readDate(key, L"RemindLater", later)) != ERROR_SUCCESS) return fail(rc);
    }
    if ((rc = readExact(key, L"Active", &active, 4)) != ERROR_SUCCESS) return fail(rc);
    if (!(rem->yesText = getRegSZValue(key, L"YesText"))) return fail(GetLastError());
    if ((rc = RegQueryValueExW(key, L"Cmd", nullptr, nullptr, nullptr, &cmdSize)) != ERROR_SUCCESS)
        return fail(rc);
    if (cmdSize > MAX_CMD_BLOB) return fail(ERROR_INVALID_DATA);
    std::string blob(cmdSize, '\0');
    if ((rc = RegQueryValueExW(key, L"Cmd", nullptr, nullptr, reinterpret_cast<BYTE*>(blob.data()),
                               &cmdSize)) != ERROR_SUCCESS)
        return fail(rc);
    if (!(rem->cmd = decryptCMD(reinterpret_cast<const BYTE*>(blob.data()), cmdSize))) return fail(ERR_NOMEM);
    if (wcslen(rem->cmd) > MAX_CMD) return fail(ERROR_INVALID_DATA);

    rem->nextDue = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
    if (!rem->nextDue) return fail(ERR_NOMEM);
    *rem->nextDue = due;
    if (laterSize != 4) {
        rem->remindLater = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
        if (!rem->remindLater) return fail(ERR_NOMEM);
        *rem->remindLater = later;
    }
    rem->frequency = static_cast<int>(frequency);
    rem->active = active != 0;
    SetLastError(0);
    return rem;
}

static ReminderList* getRemindersBody(BOOL custom, const wchar_t* group) {
    HKEY raw = openRemindersKey(custom, group, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS);
    if (raw == INVALID_KEY) return nullptr;
    RegKey groupKey(raw);
    ReminderList* list = nullptr;
    ReminderList** tail = &list; // a long group is linked in one pass, not walked per reminder
    forEachSubkey(groupKey, [&](const wchar_t* name) {
        RegKey sub = openSub(groupKey, name, KEY_QUERY_VALUE);
        if (!sub) return;
        Reminder* rem = getReminder(sub, name, custom);
        if (!rem) return;
        rem->isCustom = custom;
        if ((group && !(rem->group = wcsdupHeap(group))) || (!custom && !(rem->id = wcsdupHeap(name)))) {
            freeReminder(rem);
            return;
        }
        ReminderList* node = addReminder(nullptr, rem);
        if (!node) {
            freeReminder(rem); // no memory for the node
            return;
        }
        *tail = node;
        tail = &node->next;
    });
    return list;
}

static const wchar_t* keyNameOf(const Reminder* rem) { return rem->isCustom ? rem->name : rem->id; }

static int saveReminderBody(Reminder* rem) {
    if (!rem || !rem->nextDue || !rem->name || !rem->reminderText || !rem->yesText || !rem->cmd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const wchar_t* keyName = keyNameOf(rem);
    if (!isKeyName(keyName)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    // What the reader would refuse is not written: the reminder would vanish after a success.
    if (!isStorableDate(*rem->nextDue) || (rem->remindLater && !isStorableDate(*rem->remindLater)) ||
        rem->frequency < FREQ_DAILY || rem->frequency > FREQ_ONCE || wcslen(rem->cmd) > MAX_CMD) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    HKEY raw = openRemindersKey(rem->isCustom, rem->group, KEY_CREATE_SUB_KEY);
    if (raw == INVALID_KEY) return FALSE;
    RegKey groupKey(raw);
    RegKey key;
    LONG rc = RegCreateKeyExW(groupKey, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        key.h = nullptr;
        SetLastError(rc);
        return FALSE;
    }
    auto text = [&](const wchar_t* name, const wchar_t* value) {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    };
    auto binary = [&](const wchar_t* name, const void* value, DWORD size) {
        return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(value), size);
    };
    const DWORD frequency = static_cast<DWORD>(rem->frequency), active = rem->active ? 1 : 0, none = 0;
    bool ok = text(L"ReminderText", rem->reminderText) == ERROR_SUCCESS &&
              binary(L"Frequency", &frequency, 4) == ERROR_SUCCESS &&
              binary(L"Due", rem->nextDue, sizeof(SYSTEMTIME)) == ERROR_SUCCESS &&
              binary(L"Active", &active, 4) == ERROR_SUCCESS &&
              (rem->remindLater ? binary(L"RemindLater", rem->remindLater, sizeof(SYSTEMTIME))
                                : binary(L"RemindLater", &none, 4)) == ERROR_SUCCESS &&
              text(L"YesText", rem->yesText) == ERROR_SUCCESS &&
              (rem->isCustom || text(nullptr, rem->name) == ERROR_SUCCESS);
    DATA_BLOB blob;
    if (!encryptCMD(rem->cmd, blob)) {
        SetLastError(ERR_PROTECT_CMD);
        return FALSE;
    }
    if (ok) ok = binary(L"Cmd", blob.pbData, blob.cbData) == ERROR_SUCCESS;
    LocalFree(blob.pbData);
    SetLastError(ok ? DWORD(0) : DWORD(ERR_WRITE_VALUE));
    return ok;
}

// Deletes one reminder key of a group; the result is the registry's.
static LONG deleteReminderKey(BOOL custom, const wchar_t* group, const wchar_t* keyName) {
    if (!isKeyName(keyName)) return ERROR_INVALID_NAME;
    HKEY raw = openRemindersKey(custom, group, DELETE_ACCESS);
    if (raw == INVALID_KEY) return GetLastError() ? LONG(GetLastError()) : LONG(ERROR_FILE_NOT_FOUND);
    RegKey groupKey(raw);
    return RegDeleteKeyW(groupKey, keyName);
}

static int deleteReminderBody(Reminder* rem) {
    if (!rem) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG rc = deleteReminderKey(rem->isCustom, rem->group, keyNameOf(rem));
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

static BOOL createGroupBody(BOOL custom, const wchar_t* name) {
    if (!isKeyName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    LONG rc;
    RegKey cls = openSub(HKEY_CURRENT_USER, classPath(custom).c_str(), KEY_CREATE_SUB_KEY, &rc);
    if (!cls) {
        SetLastError(rc);
        return FALSE;
    }
    RegKey group;
    rc = RegCreateKeyExW(cls, name, 0, nullptr, 0, KEY_WRITE, nullptr, group.out(), nullptr);
    if (rc != ERROR_SUCCESS) group.h = nullptr;
    else if (!custom)
        RegSetValueExW(group, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

static void freeOwnedList(ReminderList* list) {
    for (ReminderList* node = list; node; node = node->next) freeReminder(node->reminder);
    freeReminderList(list);
}

static BOOL deleteGroupBody(BOOL custom, const wchar_t* group) {
    ReminderList* list = getReminders(custom, group);
    for (ReminderList* node = list; node; node = node->next) {
        if (!deleteReminder(node->reminder)) {
            DWORD rc = GetLastError();
            freeOwnedList(list);
            SetLastError(rc);
            return FALSE;
        }
    }
    freeOwnedList(list);

    LONG rc;
    RegKey cls = openSub(HKEY_CURRENT_USER, classPath(custom).c_str(), DELETE_ACCESS, &rc);
    if (!cls) {
        SetLastError(rc);
        return FALSE;
    }
    HeapText keyName(custom ? wcsdupHeap(group ? group : DEFAULT_GROUP) : findBuiltinGroupName(group));
    if (!keyName.get()) return FALSE;
    if (!isKeyName(keyName)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    // Not recursive on purpose: a reminder that could not be read stays, and so does its group.
    rc = RegDeleteKeyW(cls, keyName);
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

static BOOL deleteAllRemindersBody() {
    BOOL all = TRUE;
    for (BOOL custom : {TRUE, FALSE}) {
        StringList* groups = getGroups(custom);
        for (StringList* g = groups; g; g = g->next)
            if (!deleteGroup(custom, g->string)) all = FALSE;
        freeStringList(groups);
    }
    return all;
}

// True when the group holds a reminder key of that name (key names ignore case).
static bool keyExists(BOOL custom, const wchar_t* group, const wchar_t* keyName) {
    HKEY raw = openRemindersKey(custom, group, KEY_ENUMERATE_SUB_KEYS);
    if (raw == INVALID_KEY) return false;
    RegKey groupKey(raw);
    return bool(openSub(groupKey, keyName, KEY_QUERY_VALUE));
}

static bool sameGroup(const wchar_t* a, const wchar_t* b) {
    return _wcsicmp(a ? a : DEFAULT_GROUP, b ? b : DEFAULT_GROUP) == 0;
}

static int renameReminderBody(BOOL custom, const wchar_t* group, const wchar_t* oldName, const wchar_t* newName) {
    if (!oldName || !newName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ReminderList* list = getReminders(custom, group);
    Reminder* rem = findReminder(list, oldName);
    auto finish = [&](BOOL result, DWORD code) {
        freeOwnedList(list);
        SetLastError(code);
        return result;
    };
    if (!rem) return finish(FALSE, ERROR_FILE_NOT_FOUND);

    wchar_t* copy = wcsdupHeap(newName);
    if (!copy) return finish(FALSE, ERR_NOMEM);
    HeapText keptName(rem->name);
    rem->name = copy;

    // A built-in reminder is keyed by its id, so its key stays and only the display name changes.
    // So does a custom one whose new name differs only in letter case: both names address the
    // same key, and moving it would delete what was just written. The key's default value
    // carries the new spelling.
    const wchar_t* oldKey = custom ? static_cast<const wchar_t*>(keptName) : rem->id;
    if (!custom || _wcsicmp(oldKey, newName) == 0) {
        if (custom && wcscmp(oldKey, newName) != 0) {
            HKEY raw = openRemindersKey(custom, group, KEY_CREATE_SUB_KEY);
            if (raw == INVALID_KEY) return finish(FALSE, GetLastError());
            RegKey groupKey(raw);
            RegKey key = openSub(groupKey, oldKey, KEY_SET_VALUE);
            if (!key) return finish(FALSE, ERROR_FILE_NOT_FOUND);
            LONG rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(newName),
                                     static_cast<DWORD>((wcslen(newName) + 1) * sizeof(wchar_t)));
            return finish(rc == ERROR_SUCCESS, rc);
        }
        if (!saveReminder(rem)) return finish(FALSE, GetLastError());
        return finish(TRUE, 0);
    }
    // Renaming onto another reminder of the group would silently replace it.
    if (keyExists(custom, group, newName)) return finish(FALSE, ERROR_ALREADY_EXISTS);
    if (!saveReminder(rem)) return finish(FALSE, GetLastError());
    LONG rc = deleteReminderKey(custom, group, oldKey);
    if (rc != ERROR_SUCCESS) return finish(FALSE, rc);
    return finish(TRUE, 0);
}

static BOOL moveReminderBody(Reminder* rem, const wchar_t* oldgroup, const wchar_t* newgroup) {
    if (!rem) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    wchar_t* kept = rem->group;
    // Into its own group, the delete below would remove the copy just written.
    if (sameGroup(oldgroup, newgroup)) {
        rem->group = const_cast<wchar_t*>(newgroup);
        int ok = saveReminder(rem);
        rem->group = kept;
        return ok;
    }
    if (keyExists(rem->isCustom, newgroup, keyNameOf(rem))) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    wchar_t* target = newgroup ? wcsdupHeap(newgroup) : nullptr;
    if (newgroup && !target) {
        SetLastError(ERR_NOMEM);
        return FALSE;
    }
    rem->group = target;
    if (!saveReminder(rem)) {
        DWORD rc = GetLastError();
        rem->group = kept;
        free(target);
        SetLastError(rc);
        return FALSE;
    }
    LONG rc = deleteReminderKey(rem->isCustom, oldgroup, keyNameOf(rem));
    if (rc != ERROR_SUCCESS) {
        rem->group = kept;
        free(target);
        SetLastError(rc);
        return FALSE;
    }
    free(kept);
    SetLastError(0);
    return TRUE;
}

// The exports: nothing thrown inside (only memory exhaustion can) crosses the module boundary.
wchar_t* findBuiltinGroupName(const wchar_t* group) { return guarded<wchar_t*>(nullptr, [&] { return findBuiltinGroupNameBody(group); }); }
HKEY openRemindersKey(BOOL custom, const wchar_t* group, REGSAM access) { return guarded<HKEY>(INVALID_KEY, [&] { return openRemindersKeyBody(custom, group, access); }); }
StringList* getGroups(BOOL custom) { return guarded<StringList*>(nullptr, [&] { return getGroupsBody(custom); }); }
ReminderList* getReminders(BOOL custom, const wchar_t* group) { return guarded<ReminderList*>(nullptr, [&] { return getRemindersBody(custom, group); }); }
int saveReminder(Reminder* rem) { return guarded<int>(FALSE, [&] { return saveReminderBody(rem); }); }
int deleteReminder(Reminder* rem) { return guarded<int>(FALSE, [&] { return deleteReminderBody(rem); }); }
BOOL createGroup(BOOL custom, const wchar_t* name) { return guarded<BOOL>(FALSE, [&] { return createGroupBody(custom, name); }); }
BOOL deleteGroup(BOOL custom, const wchar_t* group) { return guarded<BOOL>(FALSE, [&] { return deleteGroupBody(custom, group); }); }
BOOL deleteAllReminders() { return guarded<BOOL>(FALSE, [&] { return deleteAllRemindersBody(); }); }
int renameReminder(BOOL custom, const wchar_t* group, const wchar_t* oldName, const wchar_t* newName) { return guarded<int>(FALSE, [&] { return renameReminderBody(custom, group, oldName, newName); }); }
BOOL moveReminder(Reminder* rem, const wchar_t* oldgroup, const wchar_t* newgroup) { return guarded<BOOL>(FALSE, [&] { return moveReminderBody(rem, oldgroup, newgroup); }); }
