// The Reminders page: the user's own reminders and groups, and the small input dialogs.
// Structural commands write to the store at once; panel edits wait for Save Changes.
#include "reminderpage.h"

#include <cwchar>

HWND hRemTab = nullptr;
static std::wstring defgroup; // the language's name for the store's group "Default"

static const int TOGGLED[] = {IDC_R_FREQ, IDC_R_ACTIVE, IDC_R_TIME, IDC_R_DATE, IDC_R_EDITCMD, IDC_R_RENAME, IDC_R_CHGROUP};
static const PanelIds IDS = {IDC_R_TREE, IDC_R_NAME, IDC_R_TEXT, IDC_R_CMD, IDC_R_FREQ,
                             IDC_R_ACTIVE, IDC_R_DATE, IDC_R_TIME, TOGGLED, true};
static ReminderPage page = makePage(&IDS);

static const Label LABELS[] = {
    {IDC_R_NEWGROUP, IDS_NEW_GROUP},       {IDC_R_DELGROUP, IDS_DELETE_GROUP_CAPTION},
    {IDC_R_NAME_LABEL, IDS_NAME_LABEL},    {IDC_R_RENAME, IDS_RENAME},
    {IDC_R_CHGROUP, IDS_CHANGE_GROUP},     {IDC_R_TEXT_LABEL, IDS_TEXT_LABEL},
    {IDC_R_CMD_LABEL, IDS_COMMAND_LABEL},  {IDC_R_EDITCMD, IDS_EDIT_COMMAND},
    {IDC_R_FREQ_LABEL, IDS_FREQ_LABEL},    {IDC_R_ACTIVE_LABEL, IDS_ACTIVE_LABEL},
    {IDC_R_DUE_LABEL, IDS_DUE_LABEL},      {IDC_R_AT_LABEL, IDS_AT_LABEL},
    {IDC_R_NEWREM, IDS_NEW_REMINDER},      {IDC_R_DELREM, IDS_DELETE_REMINDER},
    {IDC_R_SAVE, IDS_SAVE},                {IDC_R_UNDO, IDS_UNDO},
};

BOOL isCUnsaved() { return hasEdits(page); }

static bool isDefault(const wchar_t* group) { return !group || _wcsicmp(group, DEFAULT_GROUP) == 0; }
static const wchar_t* displayName(const wchar_t* group) { return isDefault(group) ? defgroup.c_str() : group; }
static std::wstring storeGroup(const std::wstring& display) {
    return _wcsicmp(display.c_str(), defgroup.c_str()) == 0 ? std::wstring(DEFAULT_GROUP) : display;
}

static HTREEITEM getGroupItem(const wchar_t* name) {
    HWND tree = pageTree(page);
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item))
        if (_wcsicmp(itemText(tree, item).c_str(), name) == 0) return item;
    return nullptr;
}

// The group's item; a group another program made since the last reload gets one now.
static HTREEITEM groupItemFor(const wchar_t* group) {
    HTREEITEM item = getGroupItem(displayName(group));
    return item ? item : insertItem(pageTree(page), nullptr, displayName(group), nullptr);
}

void reloadReminders() {
    clearPage(page);
    StringList* groups = getGroups(TRUE);
    for (StringList* g = groups; g; g = g->next) {
        HTREEITEM item = insertItem(pageTree(page), nullptr, displayName(g->string), nullptr);
        adoptGroup(page, item, getReminders(TRUE, g->string));
    }
    freeStringList(groups);
    loadPanel(page, nullptr);
}

bool saveCReminders() { return saveEdited(page); }

void closeCRemTab() { clearPage(page); }

// ---- Commands -----------------------------------------------------------------------------------

static std::wstring runTextDialog(int templateId, DLGPROC proc) {
    if (DialogBoxParamW(hInst, MAKEINTRESOURCEW(templateId), hRemTab, proc, 0) != IDOK) return {};
    HeapText text(takeTextBuf());
    return text.get() ? std::wstring(text) : std::wstring();
}

static void newReminder() {
    std::wstring name = runTextDialog(IDD_RENAME, RenameProc);
    if (name.empty()) return;
    std::wstring chosen = runTextDialog(IDD_SELGROUP, SelGroupProc);
    if (chosen.empty()) return;
    std::wstring group = storeGroup(chosen);
    HeapText text(getString(IDS_NEW_TEXT));
    Reminder* rem = createReminder(name.data(), TRUE, text.get(), FREQ_DAILY, nullptr, TRUE, nullptr, L"", L"",
                                   group.c_str());
    if (!rem) {
        reportError(IDS_NO_NEW_REMINDER, GetLastError());
        return;
    }
    storePanel(page);
    adoptRecord(page, rem);
    HWND tree = pageTree(page);
    HTREEITEM item = insertItem(tree, groupItemFor(rem->group), rem->name, rem);
    if (!saveReminder(rem)) {
        // The record stays on the page, marked, so Save Changes or the closing question retries it.
        reportError(IDS_NO_NEW_REMINDER, GetLastError());
        markEdited(page, rem);
    }
    page.filling = true;
    TreeView_SelectItem(tree, item);
    page.filling = false;
    page.current = rem;
    loadPanel(page, rem);
    HWND textBox = GetDlgItem(hRemTab, IDC_R_TEXT);
    SetFocus(textBox);
    SendMessageW(textBox, EM_SETSEL, 0, -1);
}

static void deleteCurrentReminder() {
    Reminder* rem = page.current;
    if (!rem) {
        reportPlain(IDS_SELECT_REMINDER);
        return;
    }
    HeapText caption(getString(IDS_DELETE_CAPTION));
    if (ask(hRemTab, IDS_DELETE_QUESTION, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // Already gone from the store (another program deleted it) is what was asked for.
    if (!deleteReminder(rem) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        reportError(IDS_NO_DELETE_REMINDER, GetLastError());
        return;
    }
    HWND tree = pageTree(page);
    deleteItemQuietly(page, TreeView_GetSelection(tree));
    dropRecord(page, rem);
}

static void renameCurrent() {
    Reminder* rem = page.current;
    if (!rem) return;
    storePanel(page); // what was typed into the panel stays, in memory, with the new name
    std::wstring name = runTextDialog(IDD_RENAME, RenameProc);
    if (name.empty()) return;
    if (!renameReminder(TRUE, rem->group, rem->name, name.c_str())) {
        reportError(IDS_NO_RENAME, GetLastError());
        return;
    }
    wchar_t* copy = wcsdupHeap(name.c_str());
    if (!copy) return;
    free(rem->name);
    rem->name = copy;
    loadPanel(page, rem);
    HWND tree = pageTree(page);
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = TreeView_GetSelection(tree);
    tv.pszText = rem->name;
    TreeView_SetItem(tree, &tv);
}

static void changeGroup() {
    Reminder* rem = page.current;
    if (!rem) return;
    std::wstring chosen = runTextDialog(IDD_SELGROUP, SelGroupProc);
    if (chosen.empty()) return;
    std::wstring target = storeGroup(chosen);
    if (_wcsicmp(target.c_str(), rem->group ? rem->group : DEFAULT_GROUP) == 0) {
        reportPlain(IDS_SAME_GROUP);
        return;
    }
    // The move writes the whole record, so it carries the panel's edits along.
    storePanel(page);
    std::wstring from = rem->group ? rem->group : DEFAULT_GROUP;
    if (!moveReminder(rem, from.c_str(), target.c_str())) {
        reportError(IDS_NO_MOVE, GetLastError());
        return;
    }
    std::erase(page.edited, rem);
    HWND tree = pageTree(page);
    deleteItemQuietly(page, TreeView_GetSelection(tree));
    insertItem(tree, groupItemFor(rem->group), rem->name, rem);
}

static void newGroup() {
    std::wstring name = runTextDialog(IDD_NEWGROUP, NewGroupProc);
    if (name.empty()) return;
    if (_wcsicmp(name.c_str(), defgroup.c_str()) == 0 || isDefault(name.c_str())) {
        reportError(IDS_NO_NEW_GROUP, ERROR_ALREADY_EXISTS);
        return;
    }
    if (!createGroup(TRUE, name.c_str())) {
        reportError(IDS_NO_NEW_GROUP, GetLastError());
        return;
    }
    if (!getGroupItem(name.c_str())) insertItem(pageTree(page), nullptr, name.c_str(), nullptr);
}

// Drops from the page the records of a group item that the store no longer holds.
static void dropVanished(HTREEITEM groupItem, const wchar_t* group) {
    HWND tree = pageTree(page);
    ReminderList* stored = getReminders(TRUE, group);
    for (HTREEITEM child = TreeView_GetChild(tree, groupItem); child;) {
        HTREEITEM next = TreeView_GetNextSibling(tree, child);
        Reminder* rem = itemRecord(tree, child);
        if (rem && !findReminder(stored, rem->name)) {
            if (page.current == rem) deleteItemQuietly(page, child);
            else TreeView_DeleteItem(tree, child);
            dropRecord(page, rem);
        }
        child = next;
    }
    for (ReminderList* node = stored; node; node = node->next) freeReminder(node->reminder);
    freeReminderList(stored);
}

static void deleteSelectedGroup() {
    HWND tree = pageTree(page);
    HTREEITEM item = TreeView_GetSelection(tree);
    if (!item) return;
    if (TreeView_GetParent(tree, item)) {
        reportPlain(IDS_GROUP_NOT_REMINDER);
        return;
    }
    std::wstring display = itemText(tree, item);
    if (_wcsicmp(display.c_str(), defgroup.c_str()) == 0) {
        reportPlain(IDS_DEFAULT_UNDELETABLE);
        return;
    }
    HeapText caption(getString(IDS_DELETE_GROUP_CAPTION));
    if (ask(hRemTab, IDS_DELETE_GROUP_QUESTION, caption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    std::wstring group = storeGroup(display);
    if (!deleteGroup(TRUE, group.c_str())) {
        DWORD code = GetLastError();
        // Some of its reminders may be gone already: the page shows what the store still holds.
        dropVanished(item, group.c_str());
        reportError(IDS_NO_DELETE_GROUP, code);
        return;
    }
    std::vector<Reminder*> records;
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        if (Reminder* rem = itemRecord(tree, child)) records.push_back(rem);
    deleteItemQuietly(page, item);
    for (Reminder* rem : records) dropRecord(page, rem);
}

static void undoChanges() {
    HeapText caption(getString(IDS_UNDO_CAPTION));
    if (ask(hRemTab, IDS_UNDO_QUESTION, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) reloadReminders();
}

static void relabelPage() {
    relabel(hRemTab, LABELS);
    fillChoiceLists(page);
    HTREEITEM item = getGroupItem(defgroup.c_str());
    HeapText name(getString(IDS_DEFAULT_GROUP));
    defgroup = name.get() ? name.get() : DEFAULT_GROUP;
    if (item) {
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = defgroup.data();
        TreeView_SetItem(pageTree(page), &tv);
    }
}

INT_PTR CALLBACK RemTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG: {
            hRemTab = dlg;
            HeapText name(getString(IDS_DEFAULT_GROUP));
            defgroup = name.get() ? name.get() : DEFAULT_GROUP;
            SendDlgItemMessageW(dlg, IDC_R_TEXT, EM_LIMITTEXT, MAX_TEXT, 0);
            initPanel(page, dlg);
            reloadReminders();
            return TRUE;
        }
        case WM_DESTROY:
            // An import run later in this process must not reload a page that is gone.
            hRemTab = page.dlg = nullptr;
            return FALSE;
        case WM_COMMAND:
            if (panelCommand(page, wParam)) return TRUE;
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
            case IDC_R_NEWREM: newReminder(); return TRUE;
            case IDC_R_DELREM: deleteCurrentReminder(); return TRUE;
            case IDC_R_RENAME: renameCurrent(); return TRUE;
            case IDC_R_CHGROUP: changeGroup(); return TRUE;
            case IDC_R_EDITCMD: editCommand(page, LaunchText::Always); return TRUE;
            case IDC_R_SAVE: saveCReminders(); return TRUE;
            case IDC_R_UNDO: undoChanges(); return TRUE;
            case IDC_R_NEWGROUP: newGroup(); return TRUE;
            case IDC_R_DELGROUP: deleteSelectedGroup(); return TRUE;
            case CMD_RELABEL: relabelPage(); return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == TVN_KEYDOWN && static_cast<int>(header->idFrom) == IDC_R_TREE) {
                WORD key = reinterpret_cast<const NMTVKEYDOWN*>(lParam)->wVKey;
                if (key == VK_DELETE) deleteCurrentReminder();
                else if (key == VK_F2) renameCurrent();
                return TRUE;
            }
            return panelNotify(page, header);
        }
        }
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    return FALSE;
}

// ---- Small input dialogs ------------------------------------------------------------------------

static void labelSmallDialog(HWND dlg, int title, int labelId, int label, int input) {
    HeapText caption(getString(title));
    SetWindowTextW(dlg, caption);
    const Label labels[] = {{IDOK, IDS_BTN_OK}, {IDCANCEL, IDS_BTN_CANCEL}, {labelId, label}};
    relabel(dlg, labels);
    SetFocus(GetDlgItem(dlg, input));
}

// Names become registry key names, where a backslash would make a nested key.
static bool refuseBackslash(HWND dlg, const std::wstring& name) {
    if (name.find(L'\\') == std::wstring::npos) return false;
    HeapText text(getString(IDS_NAME_BACKSLASH)), caption(getString(0xA01));
    msgBox(dlg, text, caption, MB_OK | MB_ICONERROR);
    return true;
}

static bool nameInUse(const std::wstring& name) {
    for (ReminderList* node = page.list; node; node = node->next)
        if (_wcsicmp(node->reminder->name, name.c_str()) == 0) return true;
    return false;
}

// One procedure body for the small dialogs. `init` fills the input, `accept` decides whether OK
// may close. A drop-down list's window text is its selected entry, so all four read the same way.
template <typename Init, typename Accept>
static INT_PTR smallDialog(HWND dlg, UINT msg, WPARAM wParam, int title, int labelId, int label, int input, Init init,
                           Accept accept) {
    switch (msg) {
    case WM_INITDIALOG:
        setTextBuf(nullptr);
        labelSmallDialog(dlg, title, labelId, label, input);
        init(GetDlgItem(dlg, input));
        return FALSE; // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            std::wstring text = dialogItemText(dlg, input);
            if (!accept(dlg, text)) return TRUE;
            setTextBuf(text.c_str());
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            setTextBuf(nullptr);
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
    }
    return FALSE;
}

template <typename Accept>
static INT_PTR textDialog(HWND dlg, UINT msg, WPARAM wParam, int title, int labelId, int label, int input,
                          Accept accept) {
    return smallDialog(dlg, msg, wParam, title, labelId, label, input, [](HWND) {}, accept);
}

INT_PTR CALLBACK RenameProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    return textDialog(dlg, msg, wParam, IDS_RENAME_TITLE, IDC_RENAME_LABEL, IDS_NAME_LABEL, IDC_RENAME_EDIT,
                      [](HWND owner, const std::wstring& name) {
                          if (!isReminderNameValid(name.c_str()) || refuseBackslash(owner, name)) return false;
                          if (nameInUse(name)) {
                              HeapText text(getString(IDS_NAME_TAKEN)), caption(getString(0xA01));
                              msgBox(owner, text, caption, MB_OK | MB_ICONERROR);
                              return false;
                          }
                          return true;
                      });
}

INT_PTR CALLBACK EditCmdProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    return textDialog(dlg, msg, wParam, IDS_CMD_TITLE, IDC_CMD_LABEL, IDS_CMD_LABEL, IDC_CMD_EDIT,
                      [](HWND, const std::wstring&) { return true; });
}

INT_PTR CALLBACK NewGroupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    return textDialog(dlg, msg, wParam, IDS_NEW_GROUP, IDC_GROUP_LABEL, IDS_GROUP_LABEL, IDC_GROUP_EDIT,
                      [](HWND owner, const std::wstring& name) {
                          return isGroupNameValid(name.c_str()) && !refuseBackslash(owner, name);
                      });
}

INT_PTR CALLBACK SelGroupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    return smallDialog(
        dlg, msg, wParam, IDS_SELGROUP_TITLE, IDC_SELGROUP_LABEL, IDS_SELGROUP_LABEL, IDC_SELGROUP_LIST,
        [](HWND list) {
            StringList* groups = getGroups(TRUE);
            for (StringList* g = groups; g; g = g->next)
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(displayName(g->string)));
            freeStringList(groups);
            SendMessageW(list, CB_SETCURSEL, 0, 0);
        },
        [](HWND dlg, const std::wstring&) {
            return SendDlgItemMessageW(dlg, IDC_SELGROUP_LIST, CB_GETCURSEL, 0, 0) != CB_ERR;
        });
}
