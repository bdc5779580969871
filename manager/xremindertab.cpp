// The Built-in reminders page: only the schedule and the command of the built-in reminders can be
// changed here; Restore Defaults rebuilds the whole set.
#include "reminderpage.h"

HWND hTab = nullptr;

static const int TOGGLED[] = {IDC_X_FREQ, IDC_X_ACTIVE, IDC_X_TIME, IDC_X_DATE, IDC_X_EDITCMD};
static const PanelIds IDS = {IDC_X_TREE, IDC_X_NAME, IDC_X_TEXT, IDC_X_CMD, IDC_X_FREQ,
                             IDC_X_ACTIVE, IDC_X_DATE, IDC_X_TIME, TOGGLED, false};
static ReminderPage page = makePage(&IDS);

static const Label LABELS[] = {
    {IDC_X_NAME_LABEL, IDS_NAME_LABEL},   {IDC_X_TEXT_LABEL, IDS_TEXT_LABEL}, {IDC_X_CMD_LABEL, IDS_COMMAND_LABEL},
    {IDC_X_EDITCMD, IDS_EDIT_COMMAND},    {IDC_X_FREQ_LABEL, IDS_FREQ_LABEL}, {IDC_X_ACTIVE_LABEL, IDS_ACTIVE_LABEL},
    {IDC_X_DUE_LABEL, IDS_DUE_LABEL},     {IDC_X_AT_LABEL, IDS_AT_LABEL},     {IDC_X_SAVE, IDS_SAVE},
    {IDC_X_UNDO, IDS_UNDO},               {IDC_X_RESTORE, IDS_RESTORE},
};

BOOL isXUnsaved() { return hasEdits(page); }

void reloadXReminders() {
    clearPage(page);
    StringList* groups = getGroups(FALSE);
    for (StringList* g = groups; g; g = g->next) {
        HTREEITEM item = insertItem(pageTree(page), nullptr, g->string, nullptr);
        adoptGroup(page, item, getReminders(FALSE, g->string));
    }
    freeStringList(groups);
    loadPanel(page, nullptr);
}

// Only the edited records are written, forced or not: a forced save (before the language changes)
// must not set back what the notifier did to the others.
bool saveXReminders(BOOL) { return saveEdited(page); }

void closeXRemTab() { clearPage(page); }

static void undoChanges() {
    HeapText caption(getString(IDS_UNDO_CAPTION));
    if (ask(hTab, IDS_UNDO_QUESTION, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) reloadXReminders();
}

static void restoreDefaults() {
    HeapText caption(getString(IDS_RESTORE_CAPTION));
    if (ask(hTab, IDS_RESTORE_QUESTION, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    restoreDefaultReminders();
    reloadXReminders();
}

INT_PTR CALLBACK XRemTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG:
            hTab = dlg;
            initPanel(page, dlg);
            reloadXReminders();
            return TRUE;
        case WM_DESTROY:
            // An import run later in this process must not reload a page that is gone.
            hTab = page.dlg = nullptr;
            return FALSE;
        case WM_COMMAND:
            if (panelCommand(page, wParam)) return TRUE;
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
            case IDC_X_EDITCMD: editCommand(page, LaunchText::WhenEmpty); return TRUE;
            case IDC_X_SAVE: saveXReminders(FALSE); return TRUE;
            case IDC_X_UNDO: undoChanges(); return TRUE;
            case IDC_X_RESTORE: restoreDefaults(); return TRUE;
            case CMD_RELABEL:
                relabel(dlg, LABELS);
                fillChoiceLists(page);
                reloadXReminders();
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY:
            return panelNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        }
    } catch (const std::bad_alloc&) {
        reportError(IDS_STORE_FAILED, ERR_NOMEM);
    }
    return FALSE;
}
