// What the two reminder pages share: the tree of groups and reminders, the details panel, the
// records with unsaved edits, and the command dialog. Each page describes its controls in a
// PanelIds record and keeps one ReminderPage.
#pragma once

#include "manager.h"

#include <span>
#include <string>
#include <vector>

struct PanelIds {
    int tree, name, text, cmd, freq, active, date, time;
    std::span<const int> toggled; // enabled only while a reminder is current
    bool textEditable;            // the custom page stores the text box back into the record
};

struct ReminderPage {
    const PanelIds* ids = nullptr;
    HWND dlg = nullptr;
    ReminderList* list = nullptr; // the page's records; each tree item of a reminder points to one
    Reminder* current = nullptr;  // a record of `list`, or none
    // Records changed in memory since the last reload or save. Only these are ever written back,
    // so a save never undoes what the notifier or an import did to the others meanwhile.
    std::vector<Reminder*> edited;
    bool filling = false; // the page itself is setting its controls: their notifications are no edits
};

inline ReminderPage makePage(const PanelIds* ids) {
    ReminderPage page;
    page.ids = ids;
    return page;
}

HWND pageTree(const ReminderPage& page);
bool hasEdits(const ReminderPage& page);
void markEdited(ReminderPage& page, Reminder* rem);

// The page's share of WM_INITDIALOG: its lists and pickers; the page then fills its tree.
void initPanel(ReminderPage& page, HWND dlg);
// Refills the frequency and active lists in the current language, keeping their selections.
void fillChoiceLists(ReminderPage& page);
void loadPanel(ReminderPage& page, const Reminder* rem);
void storePanel(ReminderPage& page);
// Today at midnight as the picker's earliest date, or the reminder's own date if that is earlier:
// a picker refuses a date below its floor and would keep showing the previous reminder's date.
// Date and time formats that the pickers can show whole.
void fitPickers(ReminderPage& page);
void setDateFloor(ReminderPage& page, const SYSTEMTIME* due);

// Tree and records.
HTREEITEM insertItem(HWND tree, HTREEITEM parent, const wchar_t* text, Reminder* rem);
Reminder* itemRecord(HWND tree, HTREEITEM item);
std::wstring itemText(HWND tree, HTREEITEM item);
// Empties the tree and frees every record; no reminder is current and no edit remains.
void clearPage(ReminderPage& page);
// Inserts the group's reminders under `groupItem` and takes the records into the page.
void adoptGroup(ReminderPage& page, HTREEITEM groupItem, ReminderList* records);
void adoptRecord(ReminderPage& page, Reminder* rem);
// Unlinks and frees exactly this record (never "the first one with its name").
void dropRecord(ReminderPage& page, Reminder* rem);
// Deletes a tree item without letting the tree's own re-selection store the panel anywhere, then
// leaves nothing selected and the details empty.
void deleteItemQuietly(ReminderPage& page, HTREEITEM item);

// Writes the edited records; a record that fails keeps its edits and the failure is reported.
bool saveEdited(ReminderPage& page);

// The page's share of WM_COMMAND and WM_NOTIFY: list and text changes, picker changes, tree
// selection. True when the message was the panel's.
bool panelCommand(ReminderPage& page, WPARAM wParam);
bool panelNotify(ReminderPage& page, const NMHDR* header);

// Edit Command for the current reminder; `launchText` says when the popup's accept button becomes
// the Launch text: always (custom page) or only for an empty command (built-in page).
enum class LaunchText { Always, WhenEmpty };
void editCommand(ReminderPage& page, LaunchText launchText);

// The command dialog's result (a new heap text on OK, none on Cancel); see EditCmdProc.
wchar_t* takeTextBuf();
void setTextBuf(const wchar_t* text);
std::wstring dialogItemText(HWND dlg, int id);
