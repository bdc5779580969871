// Answers the modal windows (message boxes, dialogs) that code under test opens, so no person is needed.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct ModalButton {
    int id;
    std::wstring caption;
};

struct ModalWindow {
    bool found = false;
    std::wstring caption;             // the window's title
    std::wstring text;                // the static texts, joined by "\n" (a message box has one)
    std::vector<ModalButton> buttons; // in child-window order
    bool pressed = false;             // the chosen button existed and was pressed

    const ModalButton* button(int id) const;
};

// Watches thread `threadId` for the first visible dialog-class window it shows, records its texts,
// then presses button `pressId` (or closes the window if it has no such button).
// Start it before the call that opens the window; result() waits for the watcher.
struct ModalAnswer {
    ModalAnswer(DWORD threadId, int pressId, DWORD timeoutMs = 15000);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;
    const ModalWindow& result();

  private:
    ModalWindow window_;
    std::thread watcher_;
};


// One answer of a script: what to do to the window before pressing `press` (tick boxes, type text).
struct ModalStep {
    int press;
    std::function<void(HWND)> before = {};
};

// Answers several windows in turn, each one after the previous has gone: a question, then a dialog.
struct ModalScript {
    ModalScript(DWORD threadId, std::vector<ModalStep> steps, DWORD timeoutMs = 15000);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    const std::vector<ModalWindow>& result(); // one entry per window answered

  private:
    std::vector<ModalWindow> windows_;
    std::thread watcher_;
};

// A window the watchers never answer, such as a test's own modeless main window (null: none).
void modalIgnore(HWND window);

// The texts of a window's children, for checking dialogs field by field.
ModalWindow readWindow(HWND hwnd);
