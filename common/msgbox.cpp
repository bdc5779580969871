// Message boxes with translated button captions, error reports and the help viewer.
#include "common.h"

#include <cwchar>

// One hook per thread: the notifier's two threads may each show a box at the same time.
thread_local HHOOK msgBoxHook = nullptr;

LRESULT CALLBACK MsgBoxProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HCBT_ACTIVATE) return CallNextHookEx(msgBoxHook, code, wParam, lParam);
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t cls[16] = L"";
    GetClassNameW(box, cls, 16);
    if (wcscmp(cls, L"#32770") != 0) return CallNextHookEx(msgBoxHook, code, wParam, lParam);
    static const struct {
        int button, text;
    } CAPTIONS[] = {{IDYES, IDS_BTN_YES}, {IDOK, IDS_BTN_OK}, {IDNO, IDS_BTN_NO}, {IDCANCEL, IDS_BTN_CANCEL}};
    for (const auto& c : CAPTIONS) {
        if (HWND button = GetDlgItem(box, c.button)) {
            HeapText caption(getString(c.text));
            if (caption.get()) SetWindowTextW(button, caption);
        }
    }
    UnhookWindowsHookEx(msgBoxHook);
    msgBoxHook = nullptr;
    return 0;
}

int msgBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    HHOOK outer = msgBoxHook; // a box shown from inside another box's message loop
    msgBoxHook = SetWindowsHookExW(WH_CBT, MsgBoxProc, nullptr, GetCurrentThreadId());
    int result = MessageBoxW(owner, text, caption, style);
    if (msgBoxHook) UnhookWindowsHookEx(msgBoxHook); // the box never became active
    msgBoxHook = outer;
    return result;
}

// Done by hand so a damaged language file can never feed the runtime a field without its argument.
std::wstring fillNumbers(const wchar_t* format, std::initializer_list<long long> values) {
    std::wstring out;
    auto next = values.begin();
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') {
            out += *p;
            continue;
        }
        if (p[1] == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        const wchar_t* q = p + 1;
        bool zeros = *q == L'0';
        if (zeros) ++q;
        size_t width = 0;
        if (*q >= L'1' && *q <= L'9') width = static_cast<size_t>(*q++ - L'0');
        if (*q == L'l') ++q;
        if (next != values.end() && (*q == L'd' || *q == L'i' || *q == L'u')) {
            std::wstring digits = std::to_wstring(*next++);
            if (digits.size() < width) digits.insert(0, width - digits.size(), zeros ? L'0' : L' ');
            out += digits;
            p = q;
            continue;
        }
        out += *p;
    }
    return out;
}

std::wstring fillNumber(const wchar_t* format, long long value) { return fillNumbers(format, {value}); }

void errBox(const wchar_t* format, const wchar_t* arg, BOOL withCode) {
    DWORD code = GetLastError();
    if (!format) return;
    HeapText caption(getString(IDS_ERROR_CAPTION));
    try {
        std::wstring message = format;
        // The argument goes in literally: a "%s" inside it is text, not a field.
        if (arg) {
            size_t at = message.find(L"%s");
            if (at != std::wstring::npos) message.replace(at, 2, arg);
        }
        if (withCode) {
            HeapText suffix(getString(IDS_ERROR_CODE));
            if (suffix.get()) message += fillNumber(suffix, static_cast<long long>(code));
        }
        msgBox(nullptr, message.c_str(), caption, MB_OK | MB_ICONERROR);
    } catch (const std::bad_alloc&) {
        msgBox(nullptr, format, caption, MB_OK | MB_ICONERROR);
    }
}

void openInstalledFile(const wchar_t* viewer, const wchar_t* file, int failText) {
    HeapText dir(getStringSetting(L"InstallDir"));
    if (!dir.get()) {
        DWORD rc = GetLastError();
        HeapText text(getString(IDS_NO_INSTALLDIR));
        SetLastError(rc);
        errBox(text, nullptr, TRUE);
        return;
    }
    HeapText program(expand(viewer));
    if (!program.get()) return;
    std::wstring cmd = L"\"" + std::wstring(program) + L"\" \"" + std::wstring(dir) + L"\\" + file + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD rc = GetLastError();
        HeapText text(getString(failText));
        SetLastError(rc);
        errBox(text, nullptr, TRUE);
        return;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void openHelp() { openInstalledFile(L"%systemroot%\\hh.exe", L"Tolva.chm", IDS_NO_HELP); }

void reportError(int textId, DWORD code) {
    HeapText text(getString(textId));
    SetLastError(code);
    errBox(text, nullptr, TRUE);
}

void reportPlain(int textId) {
    HeapText text(getString(textId));
    errBox(text, nullptr, FALSE);
}

int ask(HWND owner, int textId, const wchar_t* caption, UINT style) {
    HeapText text(getString(textId));
    return msgBox(owner, text, caption, style);
}

void relabel(HWND dlg, std::span<const Label> labels) {
    for (const Label& l : labels) {
        HeapText text(getString(l.text));
        SetDlgItemTextW(dlg, l.control, text);
    }
}
