// The measuring itself, on controls of known size: a check that passes every dialog because it
// measures with the wrong font or forgets a glyph would say nothing about the real dialogs.
#include "labelcheck.h"

#include <commctrl.h>

namespace {

struct Font {
    HFONT h;
    explicit Font(int height, const wchar_t* face = L"Tahoma")
        : h(CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face)) {}
    ~Font() { DeleteObject(h); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
};

// A window to put test controls on, gone with the test.
struct Host {
    HWND hwnd = CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 800, 400, nullptr, nullptr, nullptr, nullptr);
    ~Host() { DestroyWindow(hwnd); }
    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    HWND add(const wchar_t* cls, DWORD style, const wchar_t* text, int width, int height, HFONT font, int id = 0) const {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | style, 0, 0, width, height, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    }
};

SIZE textSize(HFONT font, const wchar_t* text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE s{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &s);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return s;
}

TEST(LabelCheck, MeasuresWithTheControlsFontAndFurniture) {
    Font font(11), big(40);
    const wchar_t* word = L"Reminder";
    SIZE w = textSize(font.h, word);
    struct Case {
        const char* what;
        const wchar_t* cls;
        DWORD style;
        const wchar_t* text;
        int width, height;
        bool bigFont;
        bool fits;
    } const CASES[] = {
        {"button with room", L"Button", BS_PUSHBUTTON, word, w.cx + 20, w.cy + 10, false, true},
        {"button as wide as its text: the frame covers the ends", L"Button", BS_PUSHBUTTON, word, w.cx + 2, w.cy + 10,
         false, false},
        {"button too low", L"Button", BS_PUSHBUTTON, word, w.cx + 20, w.cy, false, false},
        {"check box with room", L"Button", BS_AUTOCHECKBOX, word, w.cx + 30, w.cy + 2, false, true},
        {"check box as wide as its text: the glyph pushes it out", L"Button", BS_AUTOCHECKBOX, word, w.cx + 4,
         w.cy + 2, false, false},
        {"radio button as wide as its text", L"Button", BS_AUTORADIOBUTTON, word, w.cx + 4, w.cy + 2, false, false},
        {"group box caption into the corner", L"Button", BS_GROUPBOX, word, w.cx + 4, 60, false, false},
        {"group box with room", L"Button", BS_GROUPBOX, word, w.cx + 30, 60, false, true},
        {"label that fits exactly", L"Static", SS_LEFT, word, w.cx, w.cy, false, true},
        {"label that wraps onto a line it does not have", L"Static", SS_LEFT, L"Reminder Reminder", w.cx + 4, w.cy,
         false, false},
        {"label with the second line it needs", L"Static", SS_LEFT, L"Reminder Reminder", w.cx + 4, 2 * w.cy, false,
         true},
        {"a word longer than the label", L"Static", SS_LEFT, L"ReminderReminder", w.cx + 4, 4 * w.cy, false, false},
        {"the prefix shows no ampersand", L"Static", SS_LEFT, L"&Reminder", w.cx, w.cy, false, true},
        {"without prefixes the ampersand shows", L"Static", SS_LEFT | SS_NOPREFIX, L"&Reminder", w.cx, w.cy, false,
         false},
        {"the control's own font is measured", L"Static", SS_LEFT, word, w.cx + 20, 60, true, false},
    };
    Host host;
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        HWND control = host.add(c.cls, c.style, c.text, c.width, c.height, c.bigFont ? big.h : font.h);
        auto fit = measureText(control);
        ASSERT_TRUE(fit);
        EXPECT_EQ(fit->fits(), c.fits) << "needs " << fit->needed.cx << "x" << fit->needed.cy << ", has "
                                       << fit->available.cx << "x" << fit->available.cy;
        DestroyWindow(control);
    }
    EXPECT_FALSE(measureText(host.add(L"Static", SS_LEFT, L"", 100, 20, font.h)));
    EXPECT_FALSE(measureText(host.add(L"Edit", 0, word, 10, 10, font.h)));
    EXPECT_FALSE(measureText(host.add(L"Static", SS_BITMAP, word, 10, 10, font.h)));
}

TEST(LabelCheck, ReadsMnemonicsAsTheControlsShowThem) {
    struct Case {
        const wchar_t* text;
        std::vector<wchar_t> keys;
    } const CASES[] = {
        {L"&Save", {L'S'}},      {L"Change &group", {L'G'}}, {L"Save && Close", {}}, {L"&&&Save", {L'S'}},
        {L"At the end &", {}},   {L"&\u00e9tat", {L'\u00c9'}}, {L"No key", {}},
    };
    for (const Case& c : CASES) EXPECT_EQ(mnemonics(c.text), c.keys) << std::wstring(c.text);
}

TEST(LabelCheck, ReportsKeysUsedTwiceAndTextsThatDoNotFit) {
    Font font(11);
    Host page, main;
    page.add(L"Button", BS_PUSHBUTTON, L"&Save", 100, 24, font.h, 1);
    page.add(L"Button", BS_AUTOCHECKBOX, L"&show dates", 200, 20, font.h, 2);
    page.add(L"Static", SS_LEFT | SS_NOPREFIX, L"&Size", 100, 20, font.h, 3); // shows "&S", takes no key
    page.add(L"Static", SS_LEFT, L"&Frequency:", 100, 20, font.h, 4);
    page.add(L"Button", BS_PUSHBUTTON, L"Fish && &Chips", 100, 24, font.h, 5);
    main.add(L"Button", BS_PUSHBUTTON, L"&Close", 100, 24, font.h, 6);
    page.add(L"Button", BS_PUSHBUTTON, L"A caption far too long for its button", 60, 24, font.h, 7);
    HWND list = page.add(WC_COMBOBOXW, CBS_DROPDOWNLIST, L"", 60, 200, font.h, 8);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Yes"));
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"An entry wider than the list"));

    Findings found{L"Test"};
    found.checkDialog(nullptr, 1, L"page", page.hwnd, {main.hwnd});
    ASSERT_EQ(found.clashes.size(), 2u) << joined(found.clashes);
    EXPECT_NE(found.clashes[0].find(L"key C used by 5 \"Fish && &Chips\" 6 \"&Close\""), std::wstring::npos)
        << found.clashes[0];
    EXPECT_NE(found.clashes[1].find(L"key S used by 1 \"&Save\" 2 \"&show dates\""), std::wstring::npos)
        << found.clashes[1];
    ASSERT_EQ(found.misfits.size(), 2u) << joined(found.misfits);
    EXPECT_EQ(found.misfits[0].find(L"Test, page, control 7 (button): \"A caption far too long for its button\" needs "),
              0u)
        << found.misfits[0];
    EXPECT_EQ(found.misfits[1].find(L"Test, page, control 8 (drop-down list entry): \"An entry wider than the list\""),
              0u)
        << found.misfits[1];
}

} // namespace
