// The Updates page: the automatic-update preference, the installed version and the news.
#include "manager.h"

static const Label LABELS[] = {
    {IDC_U_PREF_LABEL, 0x2C0}, {IDC_U_CHECK, 0x2C4}, {IDC_U_INFO, 0x2C1},
    {IDC_U_VERSION_LABEL, 0x2C3}, {IDC_U_LAST_LABEL, 0x2C2}, {IDC_U_NEWS, 0x2C5},
};

INT_PTR CALLBACK UpdateTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_RELABEL) {
            relabel(dlg, LABELS);
            static const int CHOICES[] = {0xA29, 0xA2A, 0xA2B};
            HWND list = GetDlgItem(dlg, IDC_U_PREF);
            LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
            SendMessageW(list, CB_RESETCONTENT, 0, 0);
            for (int id : CHOICES) {
                HeapText text(getString(id));
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.get() ? text.get() : L""));
            }
            SendMessageW(list, CB_SETCURSEL, selected == CB_ERR ? getAutoUpdate() : selected, 0);
            return TRUE;
        }
    }
    return FALSE;
}
