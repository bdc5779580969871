// The notifier: tray icon, the minute-by-minute check with its popup, update prompts, and the
// commands a reminder runs. Declared here so the tests can drive each piece without the tray.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common.h"
#include "reminders.h"
#include "resource.h"

// Text ids of the notifier block (0x100).
enum : int {
    IDS_SETUP_QUESTION = 0x100,
    IDS_NO_MANAGER = 0x101,
    IDS_NO_SETTINGS_KEY = 0x102,
    IDS_NO_LANGUAGE = 0x103,
    IDS_SETUP_CANCELLED = 0x104,
    IDS_NO_AUTOUPDATE = 0x105,
    IDS_NO_REMINDERS_KEY = 0x106,
    IDS_NO_BUILTIN_KEY = 0x107,
    IDS_NO_BUILTINS = 0x108,
    IDS_NO_CUSTOM_KEY = 0x109,
    IDS_NO_DEFAULT_GROUP = 0x10A,
    IDS_NO_RUN_VALUE = 0x10B,
    IDS_OPEN_MANAGER = 0x10C,
    IDS_NO_WINDOW_CLASS = 0x10D,
    IDS_MENU_EXIT = 0x10E,
    IDS_MENU_HELP = 0x10F,
    IDS_MENU_ABOUT = 0x110,
    IDS_MENU_UPDATE = 0x111,
    IDS_MENU_MANAGER = 0x112,
    IDS_NO_COMMAND = 0x113,
    IDS_TEMP_CLEANED = 0x114,
    IDS_AU_CAPTION = 0x115,
    IDS_AU_QUESTION = 0x116,
    IDS_INSTALL_UPDATES = 0x117,
    IDS_REMIND_LATER = 0x118,
    IDS_DONE = 0x119,
    IDS_LATER_5MIN = 0x11A,
    IDS_LATER_15MIN = 0x11B,
    IDS_LATER_30MIN = 0x11C,
    IDS_LATER_1HOUR = 0x11D,
    IDS_LATER_4HOURS = 0x11E,
    IDS_LATER_TOMORROW = 0x11F,
    IDS_DUE_FORMAT = 0x225,
    IDS_NO_UPDATE_DLL = 0xA03,
    IDS_NO_UPDATER = 0xA04,
    IDS_STORE_FAILED = 0xA07,
    IDS_LAUNCH = 0xA25,
    IDS_UPDATE_CAPTION = 0xA26,
    IDS_UPDATES_FOUND = 0xA27,
    IDS_NO_UPDATES = 0xA28,
    IDS_AU_NEVER = 0xA29,
    IDS_AU_ASK = 0xA2A,
    IDS_AU_AUTOMATIC = 0xA2B,
};

constexpr UINT TRAY_ICON_ID = 42;
constexpr UINT TRAY_CALLBACK = WM_USER;

extern HINSTANCE hInst;
extern HWND hwnd;
extern NOTIFYICONDATAW tnd;
extern BOOL admin;
extern Reminder* target;
extern const wchar_t className[];

// Start-up and tray (Tolva.cpp).
LRESULT CALLBACK WindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
bool firstRunSetup();
HMENU buildTrayMenu();
void launchManager();
void launchAbout();
HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height);

// The check cycle. `answer` stands in for the popup: it returns the id of the control that ended
// it (1003 later, 1004 done, 1005 launch, 1010-1015 a choice of Remind Later's menu; anything else
// counts as done).
using PopupAnswer = int (*)(HWND owner, Reminder* rem);
int showReminderPopup(HWND owner, Reminder* rem);
void checkRemindersWith(const SYSTEMTIME* time, PopupAnswer answer);
void checkReminders(const SYSTEMTIME* time);
// COM for a thread that starts programs through the shell (apartment-threaded, no OLE1 DDE).
void initShellThread();
// The check thread's loop: a first check after `firstDelayMs` with the time it started, then one
// at each whole minute of local time, and one at once whenever `recheckNow` is set (the window
// sets it on a clock change and on resume from sleep). A set `stop` ends it (tests only).
extern HANDLE recheckNow;
void checkLoop(DWORD firstDelayMs, HANDLE stop);
DWORD WINAPI mainThread(LPVOID window);
INT_PTR CALLBACK RemProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// The due-date line of the popup for a given format text (language id 0x225).
std::wstring formatDueDate(const wchar_t* format, const SYSTEMTIME& due);
// Minutes a popup answer postpones by (Remind Later and its choices), 0 for any other answer.
int postponementMinutes(int answer);

// Updates.
INT_PTR CALLBACK AUProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UpdateProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Loads update.dll, calls checkUpdates and frees it again. False when the library or the export
// is missing (the reason is the last-error value).
bool callCheckUpdates(int quiet, int definition, int* result);
void updateCheck();
void checkUpdatesNow();

// Reminder commands (xrem_cmds.cpp).
void doCommand(const wchar_t* cmd);
StringList* getFiles(const wchar_t* folder, BOOL folders);
// One entry of a folder listing, with the attributes the listing gave. The cleanup acts on these,
// never on a second look-up by name that could see something else by then.
struct Found {
    std::wstring name;
    DWORD attributes;
};
std::vector<Found> listFolder(const std::wstring& folder);
// Empties `folder` of what `listing` found in it: files and plain folders go, links are never
// followed (at most the link itself goes), whatever was swapped in since the listing stays.
void emptyListed(const std::wstring& folder, const std::vector<Found>& listing);
void emptyFolder(const wchar_t* folder);
// The form of a temporary folder the cleanup works on (absolute, resolved, "\\?\" prefixed), or
// empty when it must not be emptied: unexpanded, relative, a device, or a whole drive or share.
std::wstring emptiableFolder(const wchar_t* folder);
// Empties each folder (environment references expanded), the recycle bins when asked, then says
// it is done. cleanTempFiles passes the three temporary folders of the system.
void cleanTempFolders(const wchar_t* const* folders, size_t count, bool emptyRecycleBins);
void cleanTempFiles();
void launchDefrag();
void launchWUpdate();
// Starts a command line as a new process without waiting; false with the last error set.
bool startProcess(const wchar_t* program, const wchar_t* commandLine);
