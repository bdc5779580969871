// The tree, the details panel and the unsaved records, shared by the Reminders and Built-in pages.
#include "reminderpage.h"

#include <algorithm>
#include <cwchar>

wchar_t* textBuf = nullptr;

wchar_t* takeTextBuf() {
    wchar_t* text = textBuf;
    textBuf = nullptr;
    return text;
}

void setTextBuf(const wchar_t* text) {
    free(textBuf);
    textBuf = text ? wcsdupHeap(text) : nullptr;
}

std::wstring dialogItemText(HWND dlg, int id) {
    HWND item = GetDlgItem(dlg, id);
    int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), length + 1)));
    return text;
}

HWND pageTree(const ReminderPage& page) { return GetDlgItem(page.dlg, page.ids->tree); }

bool hasEdits(const ReminderPage& page) { return !page.edited.empty(); }

void markEdited(ReminderPage& page, Reminder* rem) {
    if (rem && std::find(page.edited.begin(), page.edited.end(), rem) == page.edited.end())
        page.edited.push_back(rem);
}

static void forget(ReminderPage& page, Reminder* rem) {
    std::erase(page.edited, rem);
    if (page.current == rem) page.current = nullptr;
}

// ---- Panel --------------------------------------------------------------------------------------

static void fillList(HWND list, std::span<const int> texts) {
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int id : texts) {
        HeapText text(getString(id));
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.get() ? text.get() : L""));
    }
    SendMessageW(list, CB_SETCURSEL, selected == CB_ERR ? 0 : selected, 0);
}

void fillChoiceLists(ReminderPage& page) {
    static const int FREQUENCIES[] = {0x233, 0x234, 0x235, 0x236, 0x237, 0x238, 0x239, 0x23A, 0x23B};
    static const int ACTIVE[] = {IDS_BTN_NO, IDS_BTN_YES};
    page.filling = true;
    fillList(GetDlgItem(page.dlg, page.ids->freq), FREQUENCIES);
    fillList(GetDlgItem(page.dlg, page.ids->active), ACTIVE);
    page.filling = false;
}

static SYSTEMTIME today() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wHour = t.wMinute = t.wSecond = t.wMilliseconds = 0;
    return t;
}

static bool dateBefore(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    if (a.wYear != b.wYear) return a.wYear < b.wYear;
    if (a.wMonth != b.wMonth) return a.wMonth < b.wMonth;
    return a.wDay < b.wDay;
}

void setDateFloor(ReminderPage& page, const SYSTEMTIME* due) {
    SYSTEMTIME range[2] = {today(), {}};
    if (due && dateBefore(*due, range[0])) {
        range[0] = *due;
        range[0].wHour = range[0].wMinute = range[0].wSecond = range[0].wMilliseconds = 0;
    }
    SendDlgItemMessageW(page.dlg, page.ids->date, DTM_SETRANGE, GDTR_MIN, reinterpret_cast<LPARAM>(range));
}

// The locale's long date, or a shorter form of it when the picker is too narrow to show it whole.
static std::wstring dateFormatThatFits(HWND picker) {
    wchar_t longFormat[80] = L"", shortFormat[80] = L"";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLONGDATE, longFormat, 80);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, shortFormat, 80);
    std::wstring withoutDay = longFormat;
    // Drop the day-of-week name with the separator that follows it.
    if (size_t at = withoutDay.find(L"dddd"); at != std::wstring::npos) {
        size_t end = at + 4;
        while (end < withoutDay.size() && withoutDay[end] == L'd') ++end;
        while (end < withoutDay.size() && (withoutDay[end] == L',' || withoutDay[end] == L' ')) ++end;
        withoutDay.erase(at, end - at);
    }
    RECT client{};
    GetClientRect(picker, &client);
    int room = client.right - GetSystemMetrics(SM_CXVSCROLL) - 8;
    HDC dc = GetDC(picker);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(picker, WM_GETFONT, 0, 0)));
    // The widest day and month names of the year decide.
    SYSTEMTIME widest{};
    widest.wYear = 2000;
    widest.wMonth = 9;
    widest.wDay = 27;
    widest.wDayOfWeek = 3;
    std::wstring chosen = shortFormat;
    for (const std::wstring& format : {std::wstring(longFormat), withoutDay}) {
        if (format.empty()) continue;
        bool fits = true;
        for (WORD month = 1; month <= 12 && fits; ++month) {
            widest.wMonth = month;
            wchar_t text[128] = L"";
            GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &widest, format.c_str(), text, 128, nullptr);
            SIZE size{};
            GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
            fits = size.cx <= room;
        }
        if (fits) {
            chosen = format;
            break;
        }
    }
    SelectObject(dc, old);
    ReleaseDC(picker, dc);
    return chosen;
}

void fitPickers(ReminderPage& page) {
    HWND date = GetDlgItem(page.dlg, page.ids->date);
    std::wstring format = dateFormatThatFits(date);
    SendMessageW(date, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format.c_str()));
    // Seconds are always 0 in a due time, so the picker does not show them.
    wchar_t time[80] = L"";
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, time, 80))
        SendDlgItemMessageW(page.dlg, page.ids->time, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(time));
}

void initPanel(ReminderPage& page, HWND dlg) {
    page.dlg = dlg;
    fillChoiceLists(page);
    setDateFloor(page, nullptr);
    fitPickers(page);
}

static void enablePanel(ReminderPage& page, bool enable) {
    for (int id : page.ids->toggled) EnableWindow(GetDlgItem(page.dlg, id), enable);
}

void loadPanel(ReminderPage& page, const Reminder* rem) {
    page.filling = true;
    HWND dlg = page.dlg;
    const PanelIds& ids = *page.ids;
    if (rem) {
        SetDlgItemTextW(dlg, ids.name, rem->name);
        SetDlgItemTextW(dlg, ids.text, rem->reminderText);
        SetDlgItemTextW(dlg, ids.cmd, rem->cmd);
        int frequency = rem->frequency >= 0 && rem->frequency <= FREQ_ONCE ? rem->frequency : 0;
        SendDlgItemMessageW(dlg, ids.freq, CB_SETCURSEL, frequency, 0);
        SendDlgItemMessageW(dlg, ids.active, CB_SETCURSEL, rem->active ? 1 : 0, 0);
        setDateFloor(page, rem->nextDue);
        SendDlgItemMessageW(dlg, ids.date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(rem->nextDue));
        SendDlgItemMessageW(dlg, ids.time, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(rem->nextDue));
    } else {
        SetDlgItemTextW(dlg, ids.name, L"");
        SetDlgItemTextW(dlg, ids.text, L"");
        SetDlgItemTextW(dlg, ids.cmd, L"");
        SendDlgItemMessageW(dlg, ids.freq, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageW(dlg, ids.active, CB_SETCURSEL, 0, 0);
    }
    enablePanel(page, rem != nullptr);
    page.filling = false;
}

void storePanel(ReminderPage& page) {
    Reminder* rem = page.current;
    if (!rem) return;
    HWND dlg = page.dlg;
    const PanelIds& ids = *page.ids;
    if (ids.textEditable) {
        std::wstring text = dialogItemText(dlg, ids.text);
        if (text.size() > MAX_TEXT) text.resize(MAX_TEXT);
        if (wchar_t* copy = wcsdupHeap(text.c_str())) {
            free(rem->reminderText);
            rem->reminderText = copy;
        }
    }
    LRESULT active = SendDlgItemMessageW(dlg, ids.active, CB_GETCURSEL, 0, 0);
    LRESULT frequency = SendDlgItemMessageW(dlg, ids.freq, CB_GETCURSEL, 0, 0);
    if (active != CB_ERR) rem->active = active == 1;
    if (frequency != CB_ERR) rem->frequency = static_cast<int>(frequency);
    SYSTEMTIME date{}, time{};
    if (SendDlgItemMessageW(dlg, ids.date, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) == GDT_VALID &&
        SendDlgItemMessageW(dlg, ids.time, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID) {
        rem->nextDue->wYear = date.wYear;
        rem->nextDue->wMonth = date.wMonth;
        rem->nextDue->wDay = date.wDay;
        rem->nextDue->wHour = time.wHour;
        rem->nextDue->wMinute = time.wMinute;
        rem->nextDue->wSecond = 0;
        rem->nextDue->wMilliseconds = 0;
    }
}

// ---- Tree and records ---------------------------------------------------------------------------

HTREEITEM insertItem(HWND tree, HTREEITEM parent, const wchar_t* text, Reminder* rem) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.lParam = reinterpret_cast<LPARAM>(rem);
    return TreeView_InsertItem(tree, &insert);
}

Reminder* itemRecord(HWND tree, HTREEITEM item) {
    if (!item) return nullptr;
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!TreeView_GetItem(tree, &tv)) return nullptr;
    return reinterpret_cast<Reminder*>(tv.lParam);
}

std::wstring itemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_NAME + 1] = L"";
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_NAME + 1;
    if (!TreeView_GetItem(tree, &tv)) return {};
    return text;
}

void clearPage(ReminderPage& page) {
    page.current = nullptr;
    page.filling = true;
    TreeView_DeleteAllItems(pageTree(page));
    page.filling = false;
    for (ReminderList* node = page.list; node; node = node->next) freeReminder(node->reminder);
    freeReminderList(page.list);
    page.list = nullptr;
    page.edited.clear();
}

void adoptRecord(ReminderPage& page, Reminder* rem) {
    auto* node = static_cast<ReminderList*>(calloc(1, sizeof(ReminderList)));
    if (!node) throw std::bad_alloc();
    node->reminder = rem;
    node->next = page.list;
    page.list = node;
}

void adoptGroup(ReminderPage& page, HTREEITEM groupItem, ReminderList* records) {
    HWND tree = pageTree(page);
    ReminderList* last = nullptr;
    for (ReminderList* node = records; node; node = node->next) {
        insertItem(tree, groupItem, node->reminder->name, node->reminder);
        last = node;
    }
    if (last) {
        last->next = page.list;
        page.list = records;
    }
}

void dropRecord(ReminderPage& page, Reminder* rem) {
    forget(page, rem);
    for (ReminderList** link = &page.list; *link; link = &(*link)->next) {
        if ((*link)->reminder == rem) {
            ReminderList* gone = *link;
            *link = gone->next;
            free(gone);
            break;
        }
    }
    freeReminder(rem);
}

void deleteItemQuietly(ReminderPage& page, HTREEITEM item) {
    HWND tree = pageTree(page);
    page.filling = true;
    TreeView_DeleteItem(tree, item);
    TreeView_SelectItem(tree, nullptr);
    page.filling = false;
    page.current = nullptr;
    loadPanel(page, nullptr);
}

bool saveEdited(ReminderPage& page) {
    storePanel(page);
    std::vector<Reminder*> failed;
    DWORD code = 0;
    for (Reminder* rem : page.edited) {
        if (!saveReminder(rem)) {
            code = GetLastError();
            failed.push_back(rem);
        }
    }
    page.edited = std::move(failed);
    if (page.edited.empty()) return true;
    reportError(IDS_NOT_SAVED, code);
    return false;
}

// ---- Notifications ------------------------------------------------------------------------------

bool panelCommand(ReminderPage& page, WPARAM wParam) {
    int id = LOWORD(wParam), code = HIWORD(wParam);
    const PanelIds& ids = *page.ids;
    bool change = (code == CBN_SELCHANGE && (id == ids.freq || id == ids.active)) ||
                  (code == EN_CHANGE && id == ids.text && ids.textEditable);
    if (!change) return false;
    if (!page.filling) markEdited(page, page.current);
    return true;
}

static void zeroSeconds(ReminderPage& page) {
    HWND picker = GetDlgItem(page.dlg, page.ids->time);
    SYSTEMTIME t{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)) != GDT_VALID) return;
    if (t.wSecond == 0 && t.wMilliseconds == 0) return;
    t.wSecond = t.wMilliseconds = 0;
    page.filling = true;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    page.filling = false;
}

bool panelNotify(ReminderPage& page, const NMHDR* header) {
    const PanelIds& ids = *page.ids;
    int from = static_cast<int>(header->idFrom);
    if (header->code == DTN_DATETIMECHANGE && (from == ids.date || from == ids.time)) {
        if (page.filling) return true;
        if (from == ids.time) zeroSeconds(page);
        markEdited(page, page.current);
        return true;
    }
    if (header->code == TVN_SELCHANGEDW && from == ids.tree) {
        if (page.filling) return true;
        auto* change = reinterpret_cast<const NMTREEVIEWW*>(header);
        storePanel(page);
        Reminder* rem = itemRecord(pageTree(page), change->itemNew.hItem);
        loadPanel(page, rem);
        page.current = rem;
        return true;
    }
    return false;
}

// ---- Command ------------------------------------------------------------------------------------

void editCommand(ReminderPage& page, LaunchText launchText) {
    Reminder* rem = page.current;
    if (!rem) return;
    if (DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_EDITCMD), page.dlg, EditCmdProc, 0) != IDOK) return;
    HeapText entered(takeTextBuf());
    if (!entered.get()) return;
    wchar_t* cmd = wcsdupHeap(entered);
    if (!cmd) return;
    free(rem->cmd);
    rem->cmd = cmd;
    if (launchText == LaunchText::Always || !*cmd) {
        if (wchar_t* yes = getString(IDS_LAUNCH)) {
            free(rem->yesText);
            rem->yesText = yes;
        }
    }
    page.filling = true;
    SetDlgItemTextW(page.dlg, page.ids->cmd, cmd);
    page.filling = false;
    markEdited(page, rem);
}
