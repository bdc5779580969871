// The About page: product title and notice, the help file, the licence, the forum and donations.
#include "manager.h"

#include <shellapi.h>
#include <uxtheme.h>

// The maker's pages; the only two web addresses of the manager.
static const wchar_t FORUM_URL[] = L"https://forum.ondrel.example/index.php?showforum=6";
static const wchar_t DONATE_URL[] = L"https://www.ondrel.example/donate/";

static const Label LABELS[] = {
    {IDC_A_TITLE, 0x2B0}, {IDC_A_NOTICE, 0x2B1}, {IDC_A_HELP, 0x2B3},
    {IDC_A_EULA, 0x2B2},  {IDC_A_FORUM, 0x2B4},  {IDC_A_DONATE, 0x2B5},
};

static HFONT titleFont = nullptr;
static HBITMAP picture = nullptr;

static void boldTitle(HWND dlg) {
    LOGFONTW lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    if (!font || !GetObjectW(font, sizeof lf, &lf)) return;
    lf.lfWeight = FW_BOLD;
    if ((titleFont = CreateFontIndirectW(&lf)))
        SendDlgItemMessageW(dlg, IDC_A_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), FALSE);
}

static void releaseResources(HWND dlg) {
    if (picture) DeleteObject(picture);
    picture = nullptr;
    if (titleFont) {
        SendDlgItemMessageW(dlg, IDC_A_TITLE, WM_SETFONT, 0, FALSE);
        DeleteObject(titleFont);
        titleFont = nullptr;
    }
}

static SIZE pictureSize() {
    BITMAP bm{};
    GetObjectW(picture, sizeof bm, &bm);
    return {bm.bmWidth, bm.bmHeight};
}

// The picture is drawn by the page so that its corners show the page's own background, which
// under visual styles is the tab's texture and no colour a bitmap could carry.
static bool drawPicture(const DRAWITEMSTRUCT* item) {
    if (item->CtlID != IDC_A_PICTURE || !picture) return false;
    RECT area = item->rcItem;
    DrawThemeParentBackground(item->hwndItem, item->hDC, &area);
    HDC memory = CreateCompatibleDC(item->hDC);
    HGDIOBJ old = SelectObject(memory, picture);
    SIZE size = pictureSize();
    // The corner colour is the background the picture was drawn on.
    TransparentBlt(item->hDC, 0, 0, size.cx, size.cy, memory, 0, 0, size.cx, size.cy, GetPixel(memory, 0, 0));
    SelectObject(memory, old);
    DeleteDC(memory);
    return true;
}

INT_PTR CALLBACK AboutTabDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        boldTitle(dlg);
        if ((picture = LoadBitmapW(hInst, MAKEINTRESOURCEW(IDB_ABOUT)))) {
            SIZE size = pictureSize();
            SetWindowPos(GetDlgItem(dlg, IDC_A_PICTURE), nullptr, 0, 0, size.cx, size.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return FALSE;
    case WM_DRAWITEM:
        return drawPicture(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_DESTROY:
        releaseResources(dlg);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        switch (LOWORD(wParam)) {
        case CMD_RELABEL: relabel(dlg, LABELS); break;
        case IDC_A_HELP: openHelp(); break;
        case IDC_A_EULA: openInstalledFile(L"%systemroot%\\notepad.exe", L"EULA.txt", 0x21C); break;
        // Failures of the browser are the browser's to tell.
        case IDC_A_FORUM: ShellExecuteW(dlg, L"open", FORUM_URL, nullptr, nullptr, SW_SHOWNORMAL); break;
        case IDC_A_DONATE: ShellExecuteW(dlg, L"open", DONATE_URL, nullptr, nullptr, SW_SHOWNORMAL); break;
        }
        return FALSE;
    }
    return FALSE;
}
