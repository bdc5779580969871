// The manager: the tabbed main window and its pages. Declared here so the tests can create the
// window and drive each page by messages without starting the program.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common.h"
#include "reminders.h"
#include "resource.h"

// Text ids of the manager block (0x200) and the shared ones it uses.
enum : int {
    IDS_TAB_FIRST = 0x200, // the five tab titles follow in tab order
    IDS_NO_PAGE = 0x205,
    IDS_UNSAVED_QUESTION = 0x206,
    IDS_UNSAVED_CAPTION = 0x207,
    IDS_NAME_BACKSLASH = 0x208,
    IDS_FIRST_RUN = 0x209,
    IDS_NAME_TAKEN = 0x20A,
    IDS_NO_RENAME = 0x20B,
    IDS_NO_NEW_REMINDER = 0x20C,
    IDS_SAME_GROUP = 0x20D,
    IDS_NO_MOVE = 0x20E,
    IDS_UNDO_QUESTION = 0x20F,
    IDS_UNDO_CAPTION = 0x210,
    IDS_SELECT_REMINDER = 0x211,
    IDS_DELETE_QUESTION = 0x212,
    IDS_DELETE_CAPTION = 0x213,
    IDS_NO_NEW_GROUP = 0x214,
    IDS_GROUP_NOT_REMINDER = 0x215,
    IDS_DEFAULT_UNDELETABLE = 0x216,
    IDS_DELETE_GROUP_QUESTION = 0x217,
    IDS_DELETE_GROUP_CAPTION = 0x218,
    IDS_NO_DELETE_GROUP = 0x219,
    IDS_RESTORE_QUESTION = 0x21A,
    IDS_RESTORE_CAPTION = 0x21B,
    IDS_NOT_REMINDER_FILE = 0x21D,
    IDS_NO_OPEN_FILE = 0x21E,
    IDS_FREQ_FIRST = 0x233, // nine frequency names, index = Reminder::frequency
    IDS_NO_NOTIFIER = 0x240,
    IDS_NOT_SAVED = 0x242,
    IDS_NO_DELETE_REMINDER = 0x243,
    IDS_CLOSE = 0x260,
    IDS_CMD_TITLE = 0x280,
    IDS_CMD_LABEL = 0x281,
    IDS_RENAME_TITLE = 0x282,
    IDS_NAME_LABEL = 0x283,
    IDS_NEW_GROUP = 0x284,
    IDS_GROUP_LABEL = 0x285,
    IDS_TEXT_LABEL = 0x286,
    IDS_AT_LABEL = 0x287,
    IDS_DUE_LABEL = 0x288,
    IDS_FREQ_LABEL = 0x289,
    IDS_SAVE = 0x28A,
    IDS_UNDO = 0x28B,
    IDS_NEW_REMINDER = 0x28C,
    IDS_DELETE_REMINDER = 0x28D,
    IDS_RENAME = 0x28E,
    IDS_CHANGE_GROUP = 0x28F,
    IDS_COMMAND_LABEL = 0x290,
    IDS_ACTIVE_LABEL = 0x291,
    IDS_EDIT_COMMAND = 0x292,
    IDS_SELGROUP_TITLE = 0x293,
    IDS_SELGROUP_LABEL = 0x294,
    IDS_RESTORE = 0x295,
    IDS_STORE_FAILED = 0xA07,
    IDS_DEFAULT_GROUP = 0xA40,
    IDS_NEW_TEXT = 0xA24,
    IDS_LAUNCH = 0xA25,
};

constexpr int NUM_TABS = 5;
enum : int { TAB_BUILTIN = 0, TAB_CUSTOM = 1, TAB_UPDATE = 2, TAB_SETTINGS = 3, TAB_ABOUT = 4 };

extern const int tab_ids[NUM_TABS];
extern const int tab_strs[NUM_TABS];
extern const DLGPROC tab_procs[NUM_TABS];
extern BOOL about;
extern HINSTANCE hInst;
extern HWND mainDlg;
extern HWND tabber;
extern HWND* tabs;

// Main window (manager.cpp).
INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
void loadStrings();
// Creates the main window (modeless, shown) on the calling thread; null if it could not be made.
HWND createMainWindow(BOOL openOnAbout);
// The editor's message loop, with the window's keyboard shortcuts; returns the quit code.
int runMessageLoop(HWND dlg);
// The start-up decisions before any window: first run, "/about", a file to import, one instance.
// Returns -1 to go on and open the window, else the exit code.
int startUp(const wchar_t* argument);

// Reminders page (remindertab.cpp).
INT_PTR CALLBACK RemTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RenameProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EditCmdProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK NewGroupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SelGroupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL isCUnsaved();
// False when a record could not be written (it was reported and keeps its edits).
bool saveCReminders();
void closeCRemTab();
void reloadReminders();
extern HWND hRemTab;
extern wchar_t* textBuf;

// Built-in reminders page (xremindertab.cpp).
INT_PTR CALLBACK XRemTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL isXUnsaved();
bool saveXReminders(BOOL force);
void closeXRemTab();
void reloadXReminders();
extern HWND hTab;

// The pages the next parts of the manager fill in.
INT_PTR CALLBACK UpdateTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// Reminder files (impexp.cpp).
void importReminders(const wchar_t* path);
void exportReminders(const wchar_t* path);
INT_PTR CALLBACK ImpTypeProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
