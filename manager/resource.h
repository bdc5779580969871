// Resource and control ids of the manager. Shared by manager.rc and the sources, so only plain
// #defines live here (windres reads this file too). Control ids are per dialog; pages reuse numbers.
#pragma once

#define IDI_TOLVA 129
#define IDB_ABOUT 131
#define IDR_ACCEL 140

#define IDD_MAIN 103
#define IDD_REMTAB 104
#define IDD_ABOUTTAB 106
#define IDD_SETTINGSTAB 108
#define IDD_UPDATETAB 110
#define IDD_RENAME 112
#define IDD_IMPTYPE 114
#define IDD_XREMTAB 116
#define IDD_NEWGROUP 120
#define IDD_SELGROUP 122
#define IDD_EDITCMD 124

// Main dialog (103).
#define IDC_CLOSE 1000
#define IDC_TABS 1020

// The language-refresh command every page answers.
#define CMD_RELABEL 2009

// Keyboard shortcuts of the main window, handed to the visible page.
#define CMD_KEY_SAVE 2100
#define CMD_KEY_NEW 2101
#define CMD_KEY_RENAME 2102
#define CMD_KEY_NEXT_TAB 2103
#define CMD_KEY_PREV_TAB 2104

// Reminders page (104).
#define IDC_R_TREE 1000
#define IDC_R_NEWGROUP 1002
#define IDC_R_DELGROUP 1003
#define IDC_R_NAME 1004
#define IDC_R_NAME_LABEL 1005
#define IDC_R_CMD_LABEL 1006
#define IDC_R_CHGROUP 1007
#define IDC_R_CMD 1008
#define IDC_R_ACTIVE_LABEL 1009
#define IDC_R_EDITCMD 1010
#define IDC_R_FREQ_LABEL 1028
#define IDC_R_DUE_LABEL 1029
#define IDC_R_AT_LABEL 1030
#define IDC_R_RENAME 1033
#define IDC_R_TEXT_LABEL 1034
#define IDC_R_TEXT 1035
#define IDC_R_FREQ 1036
#define IDC_R_DATE 1037
#define IDC_R_TIME 1038
#define IDC_R_NEWREM 1039
#define IDC_R_DELREM 1040
#define IDC_R_SAVE 1041
#define IDC_R_UNDO 1061
#define IDC_R_ACTIVE 1062

// Built-in reminders page (116).
#define IDC_X_TEXT_LABEL 1000
#define IDC_X_TREE 1001
#define IDC_X_NAME_LABEL 1002
#define IDC_X_EDITCMD 1004
#define IDC_X_CMD_LABEL 1010
#define IDC_X_NAME 1044
#define IDC_X_TEXT 1045
#define IDC_X_FREQ_LABEL 1046
#define IDC_X_FREQ 1047
#define IDC_X_DUE_LABEL 1048
#define IDC_X_DATE 1049
#define IDC_X_AT_LABEL 1050
#define IDC_X_TIME 1051
#define IDC_X_SAVE 1052
#define IDC_X_UNDO 1053
#define IDC_X_RESTORE 1054
#define IDC_X_ACTIVE_LABEL 1056
#define IDC_X_ACTIVE 1057
#define IDC_X_CMD 1061

// Small input dialogs (112, 124, 120, 122).
#define IDC_RENAME_LABEL 1005
#define IDC_RENAME_EDIT 1004
#define IDC_CMD_LABEL 1002
#define IDC_CMD_EDIT 1001
#define IDC_GROUP_LABEL 1007
#define IDC_GROUP_EDIT 1006
#define IDC_SELGROUP_LABEL 1009
#define IDC_SELGROUP_LIST 1008

// Import type (114).
#define IDC_APPEND 1011
#define IDC_REPLACE 1012
#define IDC_IMPTYPE_TEXT 1015

// Update page (110).
#define IDC_U_PREF_LABEL 1031
#define IDC_U_PREF 1014
#define IDC_U_CHECK 1013
#define IDC_U_INFO 1005
#define IDC_U_VERSION_LABEL 1032
#define IDC_U_VERSION 1000
#define IDC_U_LAST_LABEL 1033
#define IDC_U_LAST 1002
#define IDC_U_NEWS 1064
#define IDC_U_NEWS1 1065
#define IDC_U_NEWS2 1066
#define IDC_U_NEWS3 1067

// Settings page (108).
#define IDC_S_PROGRAM 1001
#define IDC_S_LANG_LABEL 1002
#define IDC_S_LANG 1008
#define IDC_S_RUN 1006
#define IDC_S_DUEDATE 1063
#define IDC_S_IMPEXP 1011
#define IDC_S_ASSOC 1004
#define IDC_S_IMPORT 1012
#define IDC_S_EXPORT 1010

// About page (106).
#define IDC_A_PICTURE 1000
#define IDC_A_TITLE 1001
#define IDC_A_NOTICE 1002
#define IDC_A_HELP 1023
#define IDC_A_EULA 1024
#define IDC_A_FORUM 1010
#define IDC_A_DONATE 1003
