// Checks of names the user typed; a refused name is explained in an error box here, once for all callers.
#include "reminders.h"

#include <cwchar>
#include <string>

static int isNameValid(const wchar_t* prop) {
    int refusal = 0;
    if (!prop || !*prop) refusal = IDS_NAME_EMPTY;
    else if (wcslen(prop) > MAX_NAME) refusal = IDS_NAME_TOO_LONG;
    else if (prop[0] == L' ') refusal = IDS_NAME_LEADING_SPACE;
    if (!refusal) return TRUE;

    HeapText text(getString(refusal));
    if (refusal == IDS_NAME_TOO_LONG && text.get()) {
        try {
            std::wstring message = std::wstring(text) + L" (" + std::to_wstring(MAX_NAME) + L").";
            errBox(message.c_str(), nullptr, FALSE);
            return FALSE;
        } catch (const std::bad_alloc&) {
            // shown without the limit below
        }
    }
    errBox(text, nullptr, FALSE);
    return FALSE;
}

int isReminderNameValid(const wchar_t* prop) { return isNameValid(prop); }
int isGroupNameValid(const wchar_t* prop) { return isNameValid(prop); }
