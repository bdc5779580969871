// The reminder record and its lists.
#include "reminders.h"

#include <cstdlib>
#include <cwchar>

static void cut(wchar_t* text, size_t limit) {
    if (text && wcslen(text) > limit) text[limit] = L'\0';
}

static SYSTEMTIME* copyTime(const SYSTEMTIME& t) {
    auto* copy = static_cast<SYSTEMTIME*>(malloc(sizeof(SYSTEMTIME)));
    if (copy) *copy = t;
    return copy;
}

Reminder* createReminder(wchar_t* name, BOOL custom, wchar_t* text, DWORD freq, const SYSTEMTIME* due,
                         BOOL active, const SYSTEMTIME* remindLater, const wchar_t* yesText, const wchar_t* cmd,
                         const wchar_t* group) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* rem = static_cast<Reminder*>(calloc(1, sizeof(Reminder)));
    if (!rem) {
        SetLastError(ERR_NOMEM);
        return nullptr;
    }
    // Callers with possibly over-long texts pass their own buffers and rely on seeing them cut.
    cut(name, MAX_NAME);
    cut(text, MAX_TEXT);

    SYSTEMTIME when;
    if (due) {
        when = *due;
    } else {
        GetLocalTime(&when);
        addOneHour(when);
    }
    rem->name = wcsdupHeap(name);
    rem->reminderText = wcsdupHeap(text ? text : L"");
    rem->yesText = wcsdupHeap(yesText ? yesText : L"");
    rem->cmd = wcsdupHeap(cmd ? cmd : L"");
    rem->group = group ? wcsdupHeap(group) : nullptr;
    rem->nextDue = copyTime(when);
    rem->remindLater = remindLater ? copyTime(*remindLater) : nullptr;
    if (!rem->name || !rem->reminderText || !rem->yesText || !rem->cmd || (group && !rem->group) ||
        !rem->nextDue || (remindLater && !rem->remindLater)) {
        freeReminder(rem);
        SetLastError(ERR_NOMEM);
        return nullptr;
    }
    rem->frequency = static_cast<int>(freq);
    rem->isCustom = custom;
    rem->active = active;
    return rem;
}

Reminder* cloneReminder(const Reminder* rem) {
    if (!rem) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The record's texts are within the limits already, so nothing is cut in it.
    return createReminder(rem->name, rem->isCustom, rem->reminderText, static_cast<DWORD>(rem->frequency),
                          rem->nextDue, rem->active, rem->remindLater, rem->yesText, rem->cmd, rem->group);
}

void freeReminder(Reminder* rem) {
    if (!rem) return;
    free(rem->id);
    free(rem->name);
    free(rem->reminderText);
    free(rem->nextDue);
    free(rem->remindLater);
    free(rem->yesText);
    free(rem->cmd);
    free(rem->group);
    free(rem);
}

ReminderList* addReminder(ReminderList* list, Reminder* rem) {
    auto* node = static_cast<ReminderList*>(calloc(1, sizeof(ReminderList)));
    if (!node) {
        SetLastError(ERR_NOMEM);
        return list;
    }
    node->reminder = rem;
    if (!list) return node;
    ReminderList* tail = list;
    while (tail->next) tail = tail->next;
    tail->next = node;
    SetLastError(0);
    return list;
}

static bool sameName(const Reminder* rem, const wchar_t* name) {
    return rem && rem->name && name && _wcsicmp(rem->name, name) == 0;
}

ReminderList* removeReminder(ReminderList* list, const wchar_t* rem) {
    for (ReminderList **link = &list; *link; link = &(*link)->next) {
        if (sameName((*link)->reminder, rem)) {
            ReminderList* gone = *link;
            *link = gone->next;
            freeReminder(gone->reminder);
            free(gone);
            break;
        }
    }
    return list;
}

void freeReminderList(ReminderList* rlist) {
    while (rlist) {
        ReminderList* next = rlist->next;
        free(rlist);
        rlist = next;
    }
}

Reminder* findReminder(ReminderList* reminders, const wchar_t* name) {
    for (ReminderList* node = reminders; node; node = node->next)
        if (sameName(node->reminder, name)) return node->reminder;
    return nullptr;
}
