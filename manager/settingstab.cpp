// The Settings page: start with Windows, the .tlm association, the language, the due-date display,
// and the import and export of reminder files. Each change is written at once.
#include "manager.h"

#include <commdlg.h>
#include <shlwapi.h>

static const wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const wchar_t EXT_KEY[] = L"Software\\Classes\\.tlm";
static const wchar_t PROGID[] = L"TolvaReminders";
static const wchar_t PROGID_KEY[] = L"Software\\Classes\\TolvaReminders";
static const wchar_t COMMAND_KEY[] = L"Software\\Classes\\TolvaReminders\\shell\\open\\command";

static const Label LABELS[] = {
    {IDC_S_PROGRAM, 0x2A0}, {IDC_S_LANG_LABEL, 0x2A2}, {IDC_S_RUN, 0x2A4}, {IDC_S_DUEDATE, 0x2AB},
    {IDC_S_IMPEXP, 0x2A1},  {IDC_S_ASSOC, 0x2A3},      {IDC_S_IMPORT, 0x2A5}, {IDC_S_EXPORT, 0x2A6},
};

static LONG setText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

static bool checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
static void check(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }

static bool runValueExists() {
    RegKey run;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_QUERY_VALUE, run.out()) != ERROR_SUCCESS) {
        run.h = nullptr;
        return false;
    }
    return RegQueryValueExW(run, L"Tolva", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

static bool associated() {
    RegKey key;
    bool exists = RegOpenKeyExW(HKEY_CURRENT_USER, PROGID_KEY, 0, KEY_READ, key.out()) == ERROR_SUCCESS;
    if (!exists) key.h = nullptr;
    return exists;
}

// A program path in quotes: unquoted, a path with a blank starts "C:\Program.exe" if there is one.
static std::wstring quotedProgram(const wchar_t* dir, const wchar_t* file) {
    return L"\"" + std::wstring(dir) + L"\\" + file + L"\"";
}

static void toggleRun(HWND dlg) {
    bool on = checked(dlg, IDC_S_RUN);
    RegKey run;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, run.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        run.h = nullptr;
        reportError(0x227, rc);
        check(dlg, IDC_S_RUN, !on);
        return;
    }
    if (on) {
        HeapText dir(getStringSetting(L"InstallDir"));
        if (!dir.get()) {
            reportError(IDS_NO_INSTALLDIR, GetLastError());
            return;
        }
        if ((rc = setText(run, L"Tolva", quotedProgram(dir, L"Tolva.exe"))) != ERROR_SUCCESS) {
            reportError(0x228, rc);
            check(dlg, IDC_S_RUN, false);
        }
        return;
    }
    rc = RegDeleteValueW(run, L"Tolva");
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        reportError(0x229, rc);
        check(dlg, IDC_S_RUN, true);
    }
}

static void toggleAssociation(HWND dlg) {
    if (!checked(dlg, IDC_S_ASSOC)) {
        LONG rc = SHDeleteKeyW(HKEY_CURRENT_USER, PROGID_KEY);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
            reportError(0x22E, rc);
            check(dlg, IDC_S_ASSOC, true);
        }
        return;
    }
    auto fail = [&](int text, DWORD code) {
        reportError(text, code);
        check(dlg, IDC_S_ASSOC, false);
    };
    RegKey ext, command;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, EXT_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, ext.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        ext.h = nullptr;
        return fail(0x22A, rc);
    }
    if ((rc = setText(ext, nullptr, PROGID)) != ERROR_SUCCESS) return fail(0x22B, rc);
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) return fail(IDS_NO_INSTALLDIR, GetLastError());
    rc = RegCreateKeyExW(HKEY_CURRENT_USER, COMMAND_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, command.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        command.h = nullptr;
        return fail(0x22C, rc);
    }
    if ((rc = setText(command, nullptr, quotedProgram(dir, L"manager.exe") + L" \"%1\"")) != ERROR_SUCCESS)
        return fail(0x22D, rc);
}

static LONG setUserDword(const wchar_t* name, DWORD value) {
    RegKey key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, TOLVA_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr);
    if (rc != ERROR_SUCCESS) {
        key.h = nullptr;
        return rc;
    }
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

static void changeLanguage(HWND dlg) {
    LRESULT index = SendDlgItemMessageW(dlg, IDC_S_LANG, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    LONG rc = setUserDword(L"Language", static_cast<DWORD>(getLangCode(static_cast<int>(index))));
    if (rc != ERROR_SUCCESS) {
        reportError(0x22F, rc);
        return;
    }
    // The built-in page reloads in the new language; what was edited there is written first.
    saveXReminders(TRUE);
    translateReminders();
    loadStrings();
}

// Both pages reload after an import; edits on either are saved first if the user wants them.
static bool settleEdits(HWND dlg) {
    if (!isCUnsaved() && !isXUnsaved()) return true;
    HeapText caption(getString(IDS_UNSAVED_CAPTION));
    int answer = ask(dlg, IDS_UNSAVED_QUESTION, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) {
        bool saved = saveCReminders();
        return saveXReminders(FALSE) && saved;
    }
    return true;
}

static bool chooseFile(HWND dlg, bool open, std::wstring& path) {
    HeapText filter(getString(0x230)), title(getString(open ? 0x231 : 0x232));
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dlg;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title;
    // The dialog must not move the program's current folder; a Save asks before replacing a file.
    ofn.Flags = OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                (open ? OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST : OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
    BOOL ok = open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    if (ok) path = file;
    return ok;
}

static void importFromDialog(HWND dlg) {
    if (!settleEdits(dlg)) return;
    std::wstring path;
    if (chooseFile(dlg, true, path)) importReminders(path.c_str());
}

static void exportFromDialog(HWND dlg) {
    // The export reads the store, so what the pages hold goes there first.
    saveCReminders();
    saveXReminders(FALSE);
    std::wstring path;
    if (chooseFile(dlg, false, path)) exportReminders(path.c_str());
}

INT_PTR CALLBACK SettingsTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    try {
        switch (msg) {
        case WM_INITDIALOG: {
            check(dlg, IDC_S_RUN, runValueExists());
            check(dlg, IDC_S_ASSOC, associated());
            HWND list = GetDlgItem(dlg, IDC_S_LANG);
            for (const wchar_t* name : LANGUAGES) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            SendMessageW(list, CB_SETCURSEL, getLangIndex(getLanguage()), 0);
            check(dlg, IDC_S_DUEDATE, isDisplayDueDate() != 0);
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case CMD_RELABEL: relabel(dlg, LABELS); break;
            case IDC_S_RUN: toggleRun(dlg); break;
            case IDC_S_ASSOC: toggleAssociation(dlg); break;
            case IDC_S_LANG:
                if (HIWORD(wParam) == CBN_SELCHANGE) changeLanguage(dlg);
                break;
            case IDC_S_DUEDATE:
                if (LONG rc = setUserDword(L"DisplayDueDate", checked(dlg, IDC_S_DUEDATE) ? 1 : 0); rc != ERROR_SUCCESS)
                    reportError(0x241, rc);
                break;
            case IDC_S_IMPORT: importFromDialog(dlg); break;
            case IDC_S_EXPORT: exportFromDialog(dlg); break;
            }
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    return FALSE;
}
