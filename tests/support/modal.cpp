#include "modal.h"

namespace {

std::wstring windowText(HWND hwnd) {
    wchar_t buf[2048] = L"";
    GetWindowTextW(hwnd, buf, 2048);
    return buf;
}

std::wstring className(HWND hwnd) {
    wchar_t buf[64] = L"";
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK findDialog(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd) && className(hwnd) == L"#32770") {
        reinterpret_cast<Search*>(param)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* w = reinterpret_cast<ModalWindow*>(param);
    std::wstring cls = className(child);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        w->buttons.push_back({GetDlgCtrlID(child), windowText(child)});
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        LONG style = GetWindowLongW(child, GWL_STYLE);
        std::wstring text = windowText(child);
        if ((style & SS_TYPEMASK) != SS_ICON && !text.empty()) {
            if (!w->text.empty()) w->text += L"\n";
            w->text += text;
        }
    }
    return TRUE;
}

} // namespace

const ModalButton* ModalWindow::button(int id) const {
    for (const auto& b : buttons)
        if (b.id == id) return &b;
    return nullptr;
}

ModalWindow readWindow(HWND hwnd) {
    ModalWindow w;
    w.found = true;
    w.caption = windowText(hwnd);
    EnumChildWindows(hwnd, collectChild, reinterpret_cast<LPARAM>(&w));
    return w;
}

ModalAnswer::ModalAnswer(DWORD threadId, int pressId, DWORD timeoutMs) {
    watcher_ = std::thread([this, threadId, pressId, timeoutMs] {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            Search s;
            EnumThreadWindows(threadId, findDialog, reinterpret_cast<LPARAM>(&s));
            if (s.found) {
                // Let the window finish its activation (captions are set when it first activates).
                Sleep(150);
                window_ = readWindow(s.found);
                HWND button = GetDlgItem(s.found, pressId);
                if (button && window_.button(pressId)) {
                    window_.pressed = true;
                    PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
                } else {
                    PostMessageW(s.found, WM_CLOSE, 0, 0);
                }
                return;
            }
            Sleep(20);
        }
    });
}

ModalAnswer::~ModalAnswer() {
    if (watcher_.joinable()) watcher_.join();
}

const ModalWindow& ModalAnswer::result() {
    if (watcher_.joinable()) watcher_.join();
    return window_;
}
