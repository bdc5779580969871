// The Settings page: language, start with Windows, due-date display, file association, import
// and export.
#include "manager.h"

static const Label LABELS[] = {
    {IDC_S_PROGRAM, 0x2A0}, {IDC_S_LANG_LABEL, 0x2A2}, {IDC_S_RUN, 0x2A4}, {IDC_S_DUEDATE, 0x2AB},
    {IDC_S_IMPEXP, 0x2A1},  {IDC_S_ASSOC, 0x2A3},      {IDC_S_IMPORT, 0x2A5}, {IDC_S_EXPORT, 0x2A6},
};

INT_PTR CALLBACK SettingsTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        HWND list = GetDlgItem(dlg, IDC_S_LANG);
        for (const wchar_t* name : LANGUAGES) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        int index = getLangIndex(getLanguage());
        SendMessageW(list, CB_SETCURSEL, index < 0 ? 1 : index, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_RELABEL) {
            relabel(dlg, LABELS);
            return TRUE;
        }
    }
    return FALSE;
}
