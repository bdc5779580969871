// The About page: product title and notice, help, licence, forum and donation.
#include "manager.h"

static const Label LABELS[] = {
    {IDC_A_TITLE, 0x2B0}, {IDC_A_NOTICE, 0x2B1}, {IDC_A_HELP, 0x2B3},
    {IDC_A_EULA, 0x2B2},  {IDC_A_FORUM, 0x2B4},  {IDC_A_DONATE, 0x2B5},
};

INT_PTR CALLBACK AboutTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_RELABEL) {
            relabel(dlg, LABELS);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_A_HELP && HIWORD(wParam) == BN_CLICKED) {
            openHelp();
            return TRUE;
        }
    }
    return FALSE;
}
