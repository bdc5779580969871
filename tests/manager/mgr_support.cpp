#include "mgr_support.h"

#include "fixture.h"

void makeGroup(const wchar_t* group) { createGroup(TRUE, group); }

void storeCustom(const wchar_t* group, const wchar_t* name, const SYSTEMTIME& due, const wchar_t* text, int frequency) {
    std::wstring n = name, t = text;
    Reminder* rem = createReminder(n.data(), TRUE, t.data(), frequency, &due, TRUE, nullptr, L"", L"", group);
    saveReminder(rem);
    freeReminder(rem);
}

ReminderPtr storedCustom(const wchar_t* group, const wchar_t* name) {
    ReminderList* list = getReminders(TRUE, group);
    Reminder* found = nullptr;
    for (ReminderList* n = list; n; n = n->next) {
        if (!found && _wcsicmp(n->reminder->name, name) == 0) found = cloneReminder(n->reminder);
        freeReminder(n->reminder);
    }
    freeReminderList(list);
    return ReminderPtr(found);
}

std::vector<std::wstring> storedNames(BOOL custom, const wchar_t* group) {
    std::vector<std::wstring> names;
    ReminderList* list = getReminders(custom, group);
    for (ReminderList* n = list; n; n = n->next) {
        names.push_back(n->reminder->name);
        freeReminder(n->reminder);
    }
    freeReminderList(list);
    return names;
}

MainWindow::MainWindow(BOOL onAbout) {
    hInst = GetModuleHandleW(nullptr);
    init(0x200);
    dlg = createMainWindow(onAbout);
    modalIgnore(dlg);
}

static void dropQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

MainWindow::~MainWindow() {
    if (IsWindow(dlg)) {
        closeCRemTab();
        closeXRemTab();
        DestroyWindow(dlg);
    }
    // The window posts the quit message of the program's loop; the test thread has no such loop.
    dropQuit();
    modalIgnore(nullptr);
}

void MainWindow::showTab(int tab) const {
    TabCtrl_SetCurSel(tabber, tab);
    NMHDR header{tabber, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dlg, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
}

bool MainWindow::close() {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_CLOSE)));
    dropQuit();
    return !IsWindow(dlg);
}

static std::wstring textOf(HWND tree, HTREEITEM item) {
    wchar_t buf[64] = L"";
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buf;
    tv.cchTextMax = 64;
    TreeView_GetItem(tree, &tv);
    return buf;
}

HTREEITEM findItem(HWND tree, const wchar_t* group, const wchar_t* name) {
    for (HTREEITEM g = TreeView_GetRoot(tree); g; g = TreeView_GetNextSibling(tree, g)) {
        if (textOf(tree, g) != group) continue;
        if (!name) return g;
        for (HTREEITEM c = TreeView_GetChild(tree, g); c; c = TreeView_GetNextSibling(tree, c))
            if (textOf(tree, c) == name) return c;
    }
    return nullptr;
}

bool selectItem(HWND page, int treeId, const wchar_t* group, const wchar_t* name) {
    HWND tree = GetDlgItem(page, treeId);
    HTREEITEM item = findItem(tree, group, name);
    return item && TreeView_SelectItem(tree, item);
}

std::vector<std::wstring> childNames(HWND tree, const wchar_t* group) {
    std::vector<std::wstring> names;
    HTREEITEM g = findItem(tree, group);
    for (HTREEITEM c = g ? TreeView_GetChild(tree, g) : nullptr; c; c = TreeView_GetNextSibling(tree, c))
        names.push_back(textOf(tree, c));
    return names;
}

void click(HWND page, int id) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

void typeText(HWND page, int id, const wchar_t* text) {
    HWND edit = GetDlgItem(page, id);
    SetWindowTextW(edit, text);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
}

void chooseIndex(HWND page, int id, int index) {
    HWND list = GetDlgItem(page, id);
    SendMessageW(list, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void setPicker(HWND page, int id, const SYSTEMTIME& t) {
    HWND picker = GetDlgItem(page, id);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    NMDATETIMECHANGE change{};
    change.nmhdr = {picker, static_cast<UINT_PTR>(id), static_cast<UINT>(DTN_DATETIMECHANGE)};
    change.dwFlags = GDT_VALID;
    change.st = t;
    SendMessageW(page, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&change));
}

SYSTEMTIME pickerTime(HWND page, int id) {
    SYSTEMTIME t{};
    SendDlgItemMessageW(page, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
    return t;
}

int selectedIndex(HWND page, int id) { return static_cast<int>(SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0)); }

std::wstring itemTextOf(HWND page, int id) {
    wchar_t buf[512] = L"";
    GetDlgItemTextW(page, id, buf, 512);
    return buf;
}

ModalStep typeAndOk(int editId, std::wstring text) {
    return {IDOK, [editId, text](HWND d) { SetDlgItemTextW(d, editId, text.c_str()); }};
}

ModalStep chooseAndOk(int listId, std::wstring text) {
    return {IDOK, [listId, text](HWND d) {
                SendDlgItemMessageW(d, listId, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(text.c_str()));
            }};
}

std::wstring lang(int id) {
    HeapText text(getString(id));
    return text.get() ? std::wstring(text) : std::wstring();
}

std::wstring installWithSecondLanguage(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    std::wstring folder = makeTempFolder(L"lang");
    std::wstring langDir = folder + L"\\lang";
    CreateDirectoryW(langDir.c_str(), nullptr);
    std::wstring english = exeFolder() + L"\\lang\\English.lng";
    CopyFileW(english.c_str(), (langDir + L"\\English.lng").c_str(), FALSE);
    std::string bytes = readFileBytes(english);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    for (const auto& [from, to] : changes) {
        size_t at = text.find(from);
        if (at != std::wstring::npos) text.replace(at, from.size(), to);
    }
    writeFile(langDir + L"\\German.lng", utf16(text));
    installAt(folder);
    return folder;
}

std::wstring tabTitle(int tab) { return tabTitle(tabber, tab); }
