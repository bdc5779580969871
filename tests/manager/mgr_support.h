// Helpers of the manager tests: a store as a set-up user has it, the main window created in the
// test's own thread, and the gestures a user makes on its pages, sent as messages.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "manager.h"
#include "modal.h"
#include "ntf_support.h"

void makeGroup(const wchar_t* group);
// A custom reminder saved straight into the store.
void storeCustom(const wchar_t* group, const wchar_t* name, const SYSTEMTIME& due, const wchar_t* text = L"Text",
                 int frequency = FREQ_DAILY);
// The stored custom reminder, or null.
ReminderPtr storedCustom(const wchar_t* group, const wchar_t* name);
std::vector<std::wstring> storedNames(BOOL custom, const wchar_t* group);

// The main window, created on the calling thread and closed (without questions) when it goes.
struct MainWindow {
    HWND dlg = nullptr;
    explicit MainWindow(BOOL onAbout = FALSE);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    HWND page(int tab) const { return tabs ? tabs[tab] : nullptr; }
    void showTab(int tab) const;
    // The user's close (button 1000); true when the window went.
    bool close();
};

// Tree items by their text: a root item (group), or a child of it.
HTREEITEM findItem(HWND tree, const wchar_t* group, const wchar_t* name = nullptr);
bool selectItem(HWND page, int treeId, const wchar_t* group, const wchar_t* name = nullptr);
std::vector<std::wstring> childNames(HWND tree, const wchar_t* group);

void click(HWND page, int id);
void typeText(HWND page, int id, const wchar_t* text);
void chooseIndex(HWND page, int id, int index);
void setPicker(HWND page, int id, const SYSTEMTIME& t);
SYSTEMTIME pickerTime(HWND page, int id);
int selectedIndex(HWND page, int id);
std::wstring itemTextOf(HWND page, int id);

// Actions of scripted answers for the small dialogs.
ModalStep typeAndOk(int editId, std::wstring text);
ModalStep chooseAndOk(int listId, std::wstring text);

// An installation folder of its own whose lang\ holds English and a "German" made from English
// with the given entries replaced ("a40=Default" -> "a40=Standard"); InstallDir points at it.
std::wstring installWithSecondLanguage(const std::vector<std::pair<std::wstring, std::wstring>>& changes);

// Text of the current language, as the program looks it up.
std::wstring lang(int id);

// The caption of page `tab` in the main window's tab strip.
std::wstring tabTitle(int tab);
