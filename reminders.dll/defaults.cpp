// The built-in reminders: generated from templates and detected programs, chosen by the user in the
// selection dialog, restored into the Built-in tree and re-translated after a change of language.
#include "autodetector.h"
#include "reminders.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase; // this library's own module, where dialog 101 lives

namespace {

enum : int {
    IDS_DETECT_QUESTION = 784,
    IDS_DETECTED_TEXT = 787,
    IDS_UPDATE_BUTTON = 788,
    IDS_SELECTION_HINT = 789,
    IDS_SELECTION_TITLE = 790,
    IDS_OK = 2592,
    IDS_LAUNCH_BUTTON = 2597,
    IDS_GROUP_SECURITY = 2625,
    IDS_GROUP_SYSTEM = 2626,
    IDS_GROUP_OTHER = 2627,
    IDD_SELECTION = 101,
    IDC_SELECTION_HINT = 1000,
    IDC_SELECTION_LIST = 1003,
};

struct default_reminder {
    const wchar_t* id;
    DWORD nameid, descid, freq, yesid;
    const wchar_t* cmd;
};

const default_reminder SYSTEM_DEFAULTS[] = {
    {L"Windows Update", 2647, 2663, FREQ_WEEKLY, 2597, L":wupdate"},
    {L"Temp Files", 2646, 2662, FREQ_WEEKLY, 2672, L":temp"},
    {L"Disk Cleanup", 2645, 2661, FREQ_WEEKLY, 2597, L"cleanmgr.exe"},
    {L"Defrag", 2644, 2660, FREQ_WEEKLY, 2597, L":defrag"},
    {L"Backup", 2643, 2659, FREQ_WEEKLY, 2597, L""},
};

const default_reminder SECURITY_DEFAULTS[] = {
    {L"Anti-Virus", 2640, 2656, FREQ_WEEKLY, 2597, L""},
    {L"Firewall", 2641, 2657, FREQ_WEEKLY, 2597, L""},
    {L"Anti-Malware", 2642, 2658, FREQ_WEEKLY, 2597, L""},
};

const struct {
    const wchar_t* key;
    int nameId;
} GROUPS[] = {{L"Security", IDS_GROUP_SECURITY}, {L"System", IDS_GROUP_SYSTEM}, {L"Other", IDS_GROUP_OTHER}};

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : std::wstring();
}

// A built-in group's display name. Lookups go by display name, so when the language has no text
// for it (no language file, say) its key name stands in: three equal error texts would make the
// Security and System reminders unreachable and send every restored reminder into one group.
std::wstring groupName(int nameId) {
    std::wstring name = text(nameId);
    if (!name.empty() && name.rfind(L"<LangError: [", 0) != 0) return name;
    for (const auto& g : GROUPS)
        if (g.nameId == nameId) return g.key;
    return name;
}

// Builds one built-in reminder, due an hour from now; null when memory runs out.
Reminder* makeBuiltin(std::wstring name, std::wstring reminderText, int freq, const std::wstring& yes,
                      const wchar_t* cmd, int groupId, const wchar_t* id) {
    std::wstring group = groupName(groupId);
    Reminder* rem = createReminder(name.data(), FALSE, reminderText.data(), DWORD(freq), nullptr, TRUE, nullptr,
                                   yes.c_str(), cmd, group.c_str());
    if (rem && !(rem->id = wcsdupHeap(id ? id : rem->name))) { // a detected program's id is its cut name
        freeReminder(rem);
        rem = nullptr;
    }
    return rem;
}

Reminder* fromTemplate(const default_reminder& t, int groupId) {
    return makeBuiltin(text(t.nameid), text(t.descid), int(t.freq), text(t.yesid), t.cmd, groupId, t.id);
}

ReminderList* append(ReminderList* list, Reminder* rem) {
    if (!rem) return list;
    ReminderList* head = addReminder(list, rem);
    if (!head) freeReminder(rem);
    return head ? head : list;
}

// Inserts the program's name literally: a "%" in a database name must not become a format field.
std::wstring detectedText(const wchar_t* name) {
    std::wstring format = text(IDS_DETECTED_TEXT);
    size_t at = format.find(L"%s");
    if (at != std::wstring::npos) format.replace(at, 2, name);
    return format;
}

ReminderList* GenerateDefaultReminders() {
    ReminderList* list = nullptr;
    bool antiVirus = false, firewall = false, antiMalware = false;
    std::wstring question = text(IDS_DETECT_QUESTION);
    if (msgBox(nullptr, question.c_str(), L"Tolva", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        PD* programs = detectPrograms();
        for (PD* p = programs; p; p = p->next) {
            // A backslash would make the name a registry path; such an entry can't be stored.
            if (wcschr(p->name, L'\\')) continue;
            std::wstring yes = text(IDS_LAUNCH_BUTTON), cmd;
            HeapText path(wcscmp(p->updater, L" ") ? findInstallPath(p) : nullptr);
            if (path.get()) {
                yes = text(IDS_UPDATE_BUTTON);
                cmd = L"\"" + std::wstring(path) + p->updater + L"\" " + p->switches;
            }
            int group = IDS_GROUP_SECURITY;
            switch (p->type) {
            case TYPE_AV: antiVirus = true; break;
            case TYPE_FW: firewall = true; break;
            case TYPE_SS: antiVirus = firewall = true; break;
            case TYPE_AM: antiMalware = true; break;
            case TYPE_AS: break;
            default: group = IDS_GROUP_OTHER; break; // OT, and types this version does not know
            }
            list = append(list, makeBuiltin(p->name, detectedText(p->name), FREQ_WEEKLY, yes, cmd.c_str(), group,
                                            nullptr));
        }
        freeDefs(programs);
    }
    const bool covered[] = {antiVirus, firewall, antiMalware};
    for (int i = 0; i < 3; ++i)
        if (!covered[i]) list = append(list, fromTemplate(SECURITY_DEFAULTS[i], IDS_GROUP_SECURITY));
    for (const auto& t : SYSTEM_DEFAULTS) list = append(list, fromTemplate(t, IDS_GROUP_SYSTEM));
    return list;
}

ReminderList* defaults = nullptr;

void freeDefaults() {
    for (ReminderList* n = defaults; n; n = n->next) freeReminder(n->reminder);
    freeReminderList(defaults);
    defaults = nullptr;
}

INT_PTR CALLBACK ReminderSelectionProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM) {
    HWND list = GetDlgItem(hDlg, IDC_SELECTION_LIST);
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowTextW(hDlg, text(IDS_SELECTION_TITLE).c_str());
        SetDlgItemTextW(hDlg, IDC_SELECTION_HINT, text(IDS_SELECTION_HINT).c_str());
        SetDlgItemTextW(hDlg, IDOK, text(IDS_OK).c_str());
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
        int index = 0;
        for (ReminderList* n = defaults; n; n = n->next, ++index) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = index;
            item.pszText = n->reminder->name;
            int at = int(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            ListView_SetCheckState(list, at, TRUE);
        }
        return TRUE;
    }
    case WM_COMMAND:
    case WM_CLOSE: {
        int index = 0;
        for (ReminderList* n = defaults; n; n = n->next, ++index)
            if (!ListView_GetCheckState(list, index)) n->reminder->active = FALSE;
        EndDialog(hDlg, msg == WM_CLOSE ? 0 : INT_PTR(LOWORD(wParam)));
        return TRUE;
    }
    }
    return FALSE;
}

BOOL showSelectionDialog() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE self = reinterpret_cast<HINSTANCE>(&__ImageBase);
    return DialogBoxParamW(self, MAKEINTRESOURCEW(IDD_SELECTION), nullptr, ReminderSelectionProc, 0) == IDOK;
}

LONG setText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(wchar_t)));
}

const std::wstring BUILTIN_PATH = REMINDERS_KEY L"\\" BUILTIN_CLASS;

} // namespace

static BOOL restoreDefaultRemindersBody() {
    RegKey builtin;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, BUILTIN_PATH.c_str(), 0, KEY_READ | KEY_WRITE | DELETE,
                            builtin.out());
    if (rc != ERROR_SUCCESS) {
        builtin.h = nullptr;
        SetLastError(rc);
        return FALSE;
    }
    for (const auto& g : GROUPS) RegDeleteTreeW(builtin, g.key), RegDeleteKeyW(builtin, g.key);
    bool created = true;
    LONG failure = ERROR_SUCCESS;
    for (const auto& g : GROUPS) {
        RegKey group;
        rc = RegCreateKeyExW(builtin, g.key, 0, nullptr, 0, KEY_WRITE, nullptr, group.out(), nullptr);
        if (rc == ERROR_SUCCESS) rc = setText(group, nullptr, groupName(g.nameId));
        else group.h = nullptr;
        if (rc != ERROR_SUCCESS) created = false, failure = rc;
    }
    if (!created) {
        SetLastError(failure);
        return FALSE;
    }
    freeDefaults();
    defaults = GenerateDefaultReminders();
    if (!showSelectionDialog()) {
        freeDefaults();
        return TRUE;
    }
    BOOL all = TRUE;
    DWORD firstError = 0;
    for (ReminderList* n = defaults; n; n = n->next) {
        if (!saveReminder(n->reminder) && all) {
            all = FALSE;
            firstError = GetLastError();
        }
    }
    freeDefaults();
    SetLastError(firstError);
    return all;
}

static BOOL translateRemindersBody() {
    RegKey builtin;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, BUILTIN_PATH.c_str(), 0, KEY_READ, builtin.out());
    if (rc != ERROR_SUCCESS) {
        builtin.h = nullptr;
        SetLastError(rc);
        return FALSE;
    }
    BOOL result = TRUE;
    auto rewrite = [&](HKEY group, const default_reminder& t, bool required) {
        RegKey key;
        LONG r = RegOpenKeyExW(group, t.id, 0, KEY_SET_VALUE, key.out());
        if (r != ERROR_SUCCESS) {
            key.h = nullptr;
            if (required) result = FALSE, SetLastError(r);
            return;
        }
        for (auto [name, id] : {std::pair{(const wchar_t*)nullptr, t.nameid}, std::pair{L"ReminderText", t.descid},
                                std::pair{L"YesText", t.yesid}}) {
            if ((r = setText(key, name, text(int(id)))) != ERROR_SUCCESS) result = FALSE, SetLastError(r);
        }
    };
    for (const auto& g : GROUPS) {
        RegKey group;
        rc = RegOpenKeyExW(builtin, g.key, 0, KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS, group.out());
        if (rc == ERROR_SUCCESS) rc = setText(group, nullptr, groupName(g.nameId));
        else group.h = nullptr;
        if (rc != ERROR_SUCCESS) {
            SetLastError(rc);
            return FALSE;
        }
        if (g.nameId == IDS_GROUP_SECURITY)
            for (const auto& t : SECURITY_DEFAULTS) rewrite(group, t, false);
        if (g.nameId == IDS_GROUP_SYSTEM)
            for (const auto& t : SYSTEM_DEFAULTS) rewrite(group, t, true);
    }
    return result;
}

// The exports: nothing thrown inside (only memory exhaustion can) crosses the module boundary.
BOOL restoreDefaultReminders() { return guarded<BOOL>(FALSE, [&] { return restoreDefaultRemindersBody(); }); }
BOOL translateReminders() { return guarded<BOOL>(FALSE, [&] { return translateRemindersBody(); }); }
