// Resource and control ids of the updater (windres reads this file too: plain #defines only).
#pragma once

#define IDD_PROCESSES 101
#define IDC_P_LIST 1004
#define IDC_P_HEADING 1005
#define IDC_P_HINT 1006
#define IDC_P_RETRY 1008
#define IDC_P_CANCEL 1009
#define IDC_P_TERMINATE 1010
