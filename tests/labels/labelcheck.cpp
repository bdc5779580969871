#include "labelcheck.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "common.h"
#include "fixture.h"

// The room a control leaves its text, in pixels at 96 dpi. A push button draws a two-pixel frame
// and its focus rectangle inside it; text that touches the focus rectangle looks cut even when
// every pixel shows. A check box or radio button draws its 13-pixel glyph and a gap before the
// text, and a focus rectangle one pixel beyond it. A group box starts its caption a few pixels
// in from the frame's corner and needs the same at the other end for the frame to show.
constexpr int PUSH_MARGIN_X = 4;
constexpr int PUSH_MARGIN_Y = 3;
constexpr int GLYPH = 13;
constexpr int GLYPH_GAP = 6;
constexpr int FOCUS = 1;
constexpr int GROUP_INSET = 9;
// The selected entry of a drop-down list is drawn inside its focus rectangle, one pixel in from the
// list's item area, and one pixel further in on the left.
constexpr int ITEM_INSET = 3;

namespace {

std::wstring windowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), n + 1)));
    return text;
}

std::wstring className(HWND hwnd) {
    wchar_t buf[64] = L"";
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

bool isClass(HWND hwnd, const wchar_t* cls) { return _wcsicmp(className(hwnd).c_str(), cls) == 0; }

// A text on one line of a report: line breaks and tabs written as their escapes.
std::wstring oneLine(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\t') out += L"\\t";
        else out += c;
    }
    return out + L"\"";
}

std::wstring sizeText(SIZE s) { return std::to_wstring(s.cx) + L"x" + std::to_wstring(s.cy); }

// A device context of the control with the font the control draws with.
struct ControlDC {
    HWND hwnd;
    HDC dc;
    HGDIOBJ old;
    explicit ControlDC(HWND control) : hwnd(control), dc(GetDC(control)) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    }
    ~ControlDC() {
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
    }
    ControlDC(const ControlDC&) = delete;
    ControlDC& operator=(const ControlDC&) = delete;
    int px(int at96) const { return MulDiv(at96, GetDeviceCaps(dc, LOGPIXELSX), 96); }
    int lineHeight() const {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        return tm.tmHeight;
    }
    // The box DrawText needs for the text, wrapping (DT_WORDBREAK) at `width`.
    SIZE extent(const std::wstring& text, UINT flags, int width) const {
        RECT r{0, 0, width, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
        return {r.right - r.left, r.bottom - r.top};
    }
    // The same on one line, less the blank a last glyph such as a colon leaves after itself: a
    // control that clips only that blank shows every pixel of the text.
    SIZE inkOneLine(const std::wstring& text, UINT flags, int width) const {
        SIZE size = extent(text, flags | DT_SINGLELINE, width);
        ABC abc{};
        if (!text.empty() && GetCharABCWidthsW(dc, text.back(), text.back(), &abc) && abc.abcC > 0)
            size.cx -= abc.abcC;
        return size;
    }
};

SIZE clientSize(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

bool isTextStatic(LONG style) {
    switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: return true;
    }
    return false;
}

enum class ButtonKind { None, Push, Check, Radio, Group };

ButtonKind buttonKind(LONG style) {
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON: return ButtonKind::Push;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: return style & BS_PUSHLIKE ? ButtonKind::Push : ButtonKind::Check;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return style & BS_PUSHLIKE ? ButtonKind::Push : ButtonKind::Radio;
    case BS_GROUPBOX: return ButtonKind::Group;
    }
    return ButtonKind::None; // owner-drawn and user buttons draw their own text
}

const wchar_t* kindName(HWND control) {
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (isClass(control, L"Static")) return L"static";
    switch (buttonKind(style)) {
    case ButtonKind::Push: return L"button";
    case ButtonKind::Check: return L"check box";
    case ButtonKind::Radio: return L"radio button";
    case ButtonKind::Group: return L"group box";
    case ButtonKind::None: break;
    }
    return L"control";
}

// Whether a control shows an underlined key for its text; edits and lists show their text as it is.
bool takesMnemonic(HWND control) {
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (isClass(control, L"Static")) return isTextStatic(style) && !(style & SS_NOPREFIX);
    return isClass(control, L"Button") && buttonKind(style) != ButtonKind::None;
}

std::vector<HWND> directChildren(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

std::wstring moduleName(HMODULE module) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring s = path;
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? s : s.substr(slash + 1);
}

BOOL CALLBACK collectTemplate(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* ids = reinterpret_cast<std::vector<std::wstring>*>(param);
    ids->push_back(IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
    return TRUE;
}

// Loaded before the first test: Wine keeps the face it first picked for a font's description, so
// a Tahoma asked for before this would stay the substitute for the whole run.
struct DialogFont : ::testing::Environment {
    void SetUp() override {
        static const wchar_t* const FOLDERS[] = {L"Z:\\usr\\share\\wine\\fonts", L"Z:\\usr\\local\\share\\wine\\fonts"};
        for (const wchar_t* folder : FOLDERS) {
            std::wstring regular = std::wstring(folder) + L"\\tahoma.ttf";
            if (GetFileAttributesW(regular.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
            AddFontResourceExW(regular.c_str(), FR_PRIVATE, nullptr);
            AddFontResourceExW((std::wstring(folder) + L"\\tahomabd.ttf").c_str(), FR_PRIVATE, nullptr);
            return;
        }
    }
};
auto* const dialogFont = ::testing::AddGlobalTestEnvironment(new DialogFont);

} // namespace

std::wstring buildBinFolder() {
    std::wstring path = L"Z:";
    for (const char* p = LABELS_BIN_UNIX; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

std::wstring dialogFontMissing() {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    if (_wcsicmp(face, L"Tahoma") == 0) return {};
    return std::wstring(L"no Tahoma to draw the dialogs with (") + face +
           L" in its place): install the fonts Wine ships (Debian package fonts-wine)";
}

bool languageBuilt(int index) {
    std::wstring file = buildBinFolder() + L"\\lang\\" + LANGUAGE_FILES[index] + L".lng";
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void chooseLanguage(int index) { setUserDword(L"Language", static_cast<DWORD>(LANGUAGE_MAP[index])); }

std::vector<wchar_t> mnemonics(const std::wstring& text) {
    std::vector<wchar_t> keys;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] != L'&') keys.push_back(static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(text[i + 1]))))));
        ++i;
    }
    return keys;
}

std::optional<Fit> measureText(HWND control) {
    std::wstring text = windowText(control);
    if (text.empty()) return std::nullopt;
    LONG style = GetWindowLongW(control, GWL_STYLE);
    SIZE room = clientSize(control);
    ControlDC dc(control);
    Fit fit;
    if (isClass(control, L"Static")) {
        if (!isTextStatic(style)) return std::nullopt;
        UINT prefix = style & SS_NOPREFIX ? DT_NOPREFIX : 0;
        bool wraps = (style & SS_TYPEMASK) <= SS_RIGHT && !(style & SS_ELLIPSISMASK);
        fit.available = room;
        bool single = text.find_first_of(L"\r\n") == std::wstring::npos;
        if (!wraps || single) {
            fit.needed = dc.inkOneLine(text, DT_EXPANDTABS | prefix, room.cx);
            // A one-line label too wide for a control that wraps it loses its second line, unless
            // the control has one; what is too wide for one line is what it lacks.
            if (!wraps || fit.fits() || room.cy < 2 * dc.lineHeight()) return fit;
        }
        fit.needed = dc.extent(text, DT_WORDBREAK | DT_EXPANDTABS | prefix, room.cx);
        return fit;
    }
    if (!isClass(control, L"Button")) return std::nullopt;
    UINT lines = style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE;
    switch (buttonKind(style)) {
    case ButtonKind::Push:
        fit.available = {room.cx - 2 * dc.px(PUSH_MARGIN_X), room.cy - 2 * dc.px(PUSH_MARGIN_Y)};
        break;
    case ButtonKind::Check:
    case ButtonKind::Radio:
        fit.available = {room.cx - dc.px(GLYPH + GLYPH_GAP + FOCUS), room.cy};
        break;
    case ButtonKind::Group:
        fit.available = {room.cx - 2 * dc.px(GROUP_INSET), room.cy};
        lines = DT_SINGLELINE;
        break;
    case ButtonKind::None: return std::nullopt;
    }
    fit.needed = lines == DT_SINGLELINE ? dc.inkOneLine(text, 0, fit.available.cx)
                                        : dc.extent(text, lines, fit.available.cx);
    return fit;
}

void Findings::checkDialog(HMODULE module, int templateId, const std::wstring& name, HWND dlg,
                           std::initializer_list<HWND> around) {
    checked.insert({module, templateId});
    const std::wstring where = language + L", " + name + L", ";
    // A dialog opened several times (a popup for each reminder) reports each fault once.
    auto add = [](std::vector<std::wstring>& lines, const std::wstring& line) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
    };
    auto misfit = [&](const std::wstring& control, const std::wstring& text, const Fit& fit) {
        add(misfits, where + control + L": " + oneLine(text) + L" needs " + sizeText(fit.needed) + L" px, has " +
                         sizeText(fit.available) + L" px");
    };
    for (HWND control : directChildren(dlg)) {
        int id = GetDlgCtrlID(control);
        std::wstring label = L"control " + std::to_wstring(id) + L" (" + kindName(control) + L")";
        if (auto fit = measureText(control); fit && !fit->fits()) misfit(label, windowText(control), *fit);

        if (isClass(control, WC_COMBOBOXW)) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (!GetComboBoxInfo(control, &info)) continue;
            ControlDC dc(control);
            int room = info.rcItem.right - info.rcItem.left;
            auto count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                auto n = SendMessageW(control, CB_GETLBTEXTLEN, i, 0);
                if (n <= 0) continue;
                std::wstring item(static_cast<size_t>(n) + 1, L'\0');
                item.resize(static_cast<size_t>(SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
                Fit fit;
                fit.available = {room - dc.px(ITEM_INSET), info.rcItem.bottom - info.rcItem.top};
                fit.needed = dc.inkOneLine(item, DT_NOPREFIX, room);
                if (!fit.fits()) misfit(L"control " + std::to_wstring(id) + L" (drop-down list entry)", item, fit);
            }
        } else if (isClass(control, WC_TABCONTROLW)) {
            // Tabs grow with their titles; past the control's width the last ones hide behind arrows.
            auto count = TabCtrl_GetItemCount(control);
            RECT last{};
            if (count <= 0 || !TabCtrl_GetItemRect(control, count - 1, &last)) continue;
            std::wstring titles;
            for (int i = 0; i < count; ++i) titles += (i ? L" | " : L"") + tabTitle(control, i);
            SIZE room = clientSize(control);
            Fit fit;
            fit.needed = {last.right, last.bottom - last.top};
            fit.available = {room.cx, last.bottom - last.top};
            if (!fit.fits()) misfit(L"control " + std::to_wstring(id) + L" (tab titles)", titles, fit);
        }
    }

    std::map<wchar_t, std::vector<std::wstring>> users;
    std::vector<HWND> scope{dlg};
    scope.insert(scope.end(), around.begin(), around.end());
    for (HWND window : scope)
        for (HWND control : directChildren(window)) {
            if (!takesMnemonic(control)) continue;
            std::wstring text = windowText(control);
            for (wchar_t key : mnemonics(text))
                users[key].push_back(std::to_wstring(GetDlgCtrlID(control)) + L" " + oneLine(text));
        }
    for (const auto& [key, list] : users) {
        if (list.size() < 2) continue;
        std::wstring line = where + L"key " + std::wstring(1, key) + L" used by";
        for (const auto& user : list) line += L" " + user;
        add(clashes, line);
    }
}

void Findings::checkMenu(const std::wstring& name, HMENU menu) {
    std::map<wchar_t, std::vector<std::wstring>> users;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t buf[256] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), buf, 256, MF_BYPOSITION);
        for (wchar_t key : mnemonics(buf)) users[key].push_back(oneLine(buf));
    }
    for (const auto& [key, list] : users) {
        if (list.size() < 2) continue;
        std::wstring line = language + L", " + name + L", key " + std::wstring(1, key) + L" used by";
        for (const auto& user : list) line += L" " + user;
        clashes.push_back(line);
    }
}

std::wstring joined(const std::vector<std::wstring>& lines) {
    std::wstring out;
    for (const auto& line : lines) out += line + L"\n";
    return out;
}

std::vector<std::wstring> uncheckedTemplates(const Findings& findings, std::initializer_list<HMODULE> modules) {
    std::vector<std::wstring> missing;
    for (HMODULE module : modules) {
        std::vector<std::wstring> ids;
        EnumResourceNamesW(module, RT_DIALOG, collectTemplate, reinterpret_cast<LONG_PTR>(&ids));
        for (const auto& id : ids) {
            wchar_t* end = nullptr;
            long number = wcstol(id.c_str(), &end, 10);
            if (end && !*end && findings.checked.count({module, static_cast<int>(number)})) continue;
            missing.push_back(moduleName(module) + L": dialog " + id);
        }
    }
    return missing;
}

void pumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The manager's main window posts its program's quit when it goes; the test has no such loop.
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}
