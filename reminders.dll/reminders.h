// The reminder store: record, lists, registry store, scheduling and name validation.
// Every record, list and text returned is allocated with malloc on the C runtime heap that all the
// suite's modules share, and belongs to the caller (freeReminder, freeReminderList, freeStringList, free).
#pragma once

#include <windows.h>
#include "common.h"

#include <new>

constexpr int MAX_NAME = 25;
constexpr int MAX_TEXT = 200;

#define REMINDERS_KEY L"Software\\Ondrel\\Tolva\\Reminders"
#define CUSTOM_CLASS L"Custom"
#define BUILTIN_CLASS L"Built-in"
#define DEFAULT_GROUP L"Default"

// Repeat codes of Reminder::frequency.
enum : int {
    FREQ_DAILY = 0,
    FREQ_2DAYS,
    FREQ_3DAYS,
    FREQ_4DAYS,
    FREQ_5DAYS,
    FREQ_WEEKLY,
    FREQ_MONTHLY,
    FREQ_YEARLY,
    FREQ_ONCE,
};

// Text ids of the library (it sets no block of its own).
enum : int {
    IDS_NAME_EMPTY = 768,
    IDS_NAME_TOO_LONG = 769,
    IDS_NAME_LEADING_SPACE = 770,
};

struct Reminder {
    wchar_t* id;           // key name of a built-in reminder; null for custom ones
    wchar_t* name;         // display name, at most MAX_NAME; key name of a custom reminder
    BOOL isCustom;
    wchar_t* reminderText; // at most MAX_TEXT
    int frequency;
    SYSTEMTIME* nextDue;     // never null
    SYSTEMTIME* remindLater; // null when not postponed
    BOOL active;
    wchar_t* yesText;
    wchar_t* cmd; // empty for none; ":temp", ":defrag", ":wupdate" are built-in actions
    wchar_t* group; // null means the custom group "Default"
};

struct ReminderList {
    ReminderList* next;
    Reminder* reminder;
};

extern "C" {

// Record and lists. name/text longer than the limits are cut in the caller's buffer.
Reminder* createReminder(wchar_t* name, BOOL custom, wchar_t* text, DWORD freq, const SYSTEMTIME* due,
                         BOOL active, const SYSTEMTIME* remindLater, const wchar_t* yesText, const wchar_t* cmd,
                         const wchar_t* group);
Reminder* cloneReminder(const Reminder* rem);
void freeReminder(Reminder* rem);
// The list refers to rem; it does not copy it.
ReminderList* addReminder(ReminderList* list, Reminder* rem);
// Unlinks and frees the first reminder named rem (ignoring case).
ReminderList* removeReminder(ReminderList* list, const wchar_t* rem);
// Frees the nodes only; the reminders stay the caller's.
void freeReminderList(ReminderList* rlist);
// The list's own record, not a copy.
Reminder* findReminder(ReminderList* reminders, const wchar_t* name);

// Scheduling.
int isRemDue(const Reminder* rem, const SYSTEMTIME* time);
void incrementReminder(Reminder* rem, BOOL later);

// Registry store. On failure the reason is the thread's last-error value.
HKEY openRemindersKey(BOOL custom, const wchar_t* group, REGSAM access); // INVALID_HANDLE_VALUE on failure
wchar_t* findBuiltinGroupName(const wchar_t* group);
StringList* getGroups(BOOL custom);
ReminderList* getReminders(BOOL custom, const wchar_t* group);
int saveReminder(Reminder* rem);
int deleteReminder(Reminder* rem);
BOOL createGroup(BOOL custom, const wchar_t* name);
BOOL deleteGroup(BOOL custom, const wchar_t* group);
BOOL deleteAllReminders();
int renameReminder(BOOL custom, const wchar_t* group, const wchar_t* oldName, const wchar_t* newName);
BOOL moveReminder(Reminder* rem, const wchar_t* oldgroup, const wchar_t* newgroup);

// Built-in reminders: rebuild the three built-in groups (asking the user), or rewrite their texts in
// the current language.
BOOL restoreDefaultReminders();
BOOL translateReminders();

// Validation of typed names; a refused name is explained to the user in an error box.
int isReminderNameValid(const wchar_t* prop);
int isGroupNameValid(const wchar_t* prop);
}

// Runs an export's body; memory exhaustion inside it becomes a failure result with last error 16001.
template <typename T, typename F> T guarded(T failure, F body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERR_NOMEM);
        return failure;
    }
}

// Scheduling helpers shared with createReminder; safe for any field values.
void addOneHour(SYSTEMTIME& t);
void advanceOnce(Reminder* rem, bool& stop);
// incrementReminder with a chosen present instead of the clock.
void incrementReminderAt(Reminder* rem, BOOL later, SYSTEMTIME now);
int monthLength(int month);
