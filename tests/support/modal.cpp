#include "modal.h"

#include <atomic>

namespace {

std::atomic<HWND> ignored{nullptr};

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
    HWND skip = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK findDialog(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (hwnd != ignored.load() && hwnd != search->skip && IsWindowVisible(hwnd) && className(hwnd) == L"#32770") {
        search->found = hwnd;
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

void modalIgnore(HWND window) { ignored = window; }

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

namespace {

// Waits for a dialog of the thread other than `previous`, reads it, acts, presses. Returns its handle.
HWND answerOne(DWORD threadId, const ModalStep& step, HWND previous, DWORD start, DWORD timeoutMs,
               ModalWindow& window) {
    while (GetTickCount() - start < timeoutMs) {
        Search s{previous};
        EnumThreadWindows(threadId, findDialog, reinterpret_cast<LPARAM>(&s));
        if (s.found) {
            // Let the window finish its activation (captions are set when it first activates).
            Sleep(150);
            window = readWindow(s.found);
            if (step.before) step.before(s.found);
            HWND button = GetDlgItem(s.found, step.press);
            if (button && window.button(step.press)) {
                window.pressed = true;
                PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(step.press, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            } else if (step.press == IDCANCEL) {
                PostMessageW(s.found, WM_COMMAND, IDCANCEL, 0); // what Escape sends
            } else {
                PostMessageW(s.found, WM_CLOSE, 0, 0);
            }
            // The next window may only be looked for once this one has gone, or once it has opened
            // another one itself (a refused input shows a box and the dialog stays).
            while (IsWindow(s.found) && GetTickCount() - start < timeoutMs) {
                Search next{s.found};
                EnumThreadWindows(threadId, findDialog, reinterpret_cast<LPARAM>(&next));
                if (next.found) break;
                Sleep(10);
            }
            return s.found;
        }
        Sleep(20);
    }
    return nullptr;
}

} // namespace

ModalAnswer::ModalAnswer(DWORD threadId, int pressId, DWORD timeoutMs) {
    watcher_ = std::thread([this, threadId, pressId, timeoutMs] {
        answerOne(threadId, ModalStep{pressId}, nullptr, GetTickCount(), timeoutMs, window_);
    });
}

ModalScript::ModalScript(DWORD threadId, std::vector<ModalStep> steps, DWORD timeoutMs) {
    watcher_ = std::thread([this, threadId, steps = std::move(steps), timeoutMs] {
        HWND previous = nullptr;
        DWORD start = GetTickCount();
        for (const auto& step : steps) {
            ModalWindow w;
            previous = answerOne(threadId, step, previous, start, timeoutMs, w);
            if (!previous) return;
            windows_.push_back(w);
        }
    });
}

ModalScript::~ModalScript() {
    if (watcher_.joinable()) watcher_.join();
}

const std::vector<ModalWindow>& ModalScript::result() {
    if (watcher_.joinable()) watcher_.join();
    return windows_;
}

ModalAnswer::~ModalAnswer() {
    if (watcher_.joinable()) watcher_.join();
}

const ModalWindow& ModalAnswer::result() {
    if (watcher_.joinable()) watcher_.join();
    return window_;
}
