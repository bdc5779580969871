// Resource and control ids of the notifier. Shared by Tolva.rc and the sources, so only plain
// #defines live here (windres reads this file too).
#pragma once

#define IDI_TOLVA 109
#define IDB_POPUP 111
#define IDB_UPDATE 113

#define IDD_UPDATE 102
#define IDD_AUTOUPDATE 103
#define IDD_REMINDER 106

// Reminder popup (106) and update prompt (102).
#define IDC_PICTURE 1000
#define IDC_TEXT 1001
#define IDC_NAME 1002
#define IDC_LATER 1003
#define IDC_DONE 1004
#define IDC_LAUNCH 1005
#define IDC_DUE 1008
// Remind Later's drop-down choices; a plain click on the button keeps IDC_LATER (one hour).
#define IDC_LATER_5MIN 1010
#define IDC_LATER_15MIN 1011
#define IDC_LATER_30MIN 1012
#define IDC_LATER_1HOUR 1013
#define IDC_LATER_4HOURS 1014
#define IDC_LATER_TOMORROW 1015
#define IDC_INSTALL 1004
#define IDC_UPDATE_LATER 1007

// Automatic-update preference dialog (103).
#define IDC_AU_QUESTION 1004
#define IDC_AU_CHOICE 1005

// Tray menu commands.
#define CMD_MANAGER 1
#define CMD_UPDATE 2
#define CMD_ABOUT 3
#define CMD_HELP 4
#define CMD_EXIT 5
