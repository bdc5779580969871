// Measures the texts a program has put into its dialogs against the controls that show them, and
// looks for keyboard mnemonics that a dialog uses twice. The programs' own procedures fill the
// dialogs, so what is measured is what the user sees, in each language the build made.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common.h"
#include "fixture.h"

// The build's bin folder as Windows sees it: the installation the programs read lang\ from.
std::wstring buildBinFolder();

// Windows draws these dialogs in Tahoma ("MS Shell Dlg 2" and "MS Shell Dlg" stand for it). A Wine
// prefix without the fonts Wine ships puts another face in its place, whose widths say nothing
// about Windows, so the test program loads Wine's own Tahoma (Debian's fonts-wine) for itself
// before its first test. Empty when the dialogs get Tahoma; else what is missing.
std::wstring dialogFontMissing();

// The languages the build wrote a file for, as indexes into LANGUAGE_FILES.
bool languageBuilt(int index);
// The per-user Language setting that makes every lookup read that file.
void chooseLanguage(int index);

// One language of the build per test: skipped when the build made no file for it, failed when the
// dialogs would not get their font. A test's own SetUp calls this one first and stops when it did.
struct LanguageTest : ::testing::TestWithParam<int> {
    void SetUp() override {
        if (!languageBuilt(GetParam())) GTEST_SKIP() << "the build made no " << LANGUAGE_FILES[GetParam()] << ".lng";
        std::wstring missing = dialogFontMissing();
        ASSERT_TRUE(missing.empty()) << missing;
    }
    bool ready() const { return !IsSkipped() && !HasFailure(); }
    void TearDown() override { removeUserSettings(); }
};

// Test names for the language indexes: the language file's name.
inline std::string languageTestName(const ::testing::TestParamInfo<int>& info) {
    std::wstring name = LANGUAGE_FILES[info.param];
    return std::string(name.begin(), name.end());
}

// The key a text gives its control: the character after a single '&' ("&&" shows an '&'), upper case.
std::vector<wchar_t> mnemonics(const std::wstring& text);

// One text checked against the room its control gives it, in pixels.
struct Fit {
    SIZE needed{};
    SIZE available{};
    bool fits() const { return needed.cx <= available.cx && needed.cy <= available.cy; }
};
// Statics, push buttons, check boxes, radio buttons and group boxes; nothing for other controls or
// controls without text.
std::optional<Fit> measureText(HWND control);

// What the checks found in one language, one line per fault, for the people who fix the texts.
struct Findings {
    explicit Findings(std::wstring lang) : language(std::move(lang)) {}
    std::wstring language;
    std::vector<std::wstring> misfits;
    std::vector<std::wstring> clashes;
    // Which templates were checked, so a dialog added later without a check does not go unnoticed.
    std::set<std::pair<HMODULE, int>> checked;

    // Measures every control placed directly on `dlg` (template `templateId` of `module`), the
    // items of its drop-down lists and the tabs of its tab controls; then looks for mnemonics used
    // twice among those controls and the ones directly on the windows `around` it (a page and the
    // main window that holds it take their keys from one keyboard).
    void checkDialog(HMODULE module, int templateId, const std::wstring& name, HWND dlg,
                     std::initializer_list<HWND> around = {});
    // Mnemonics used twice among the items of a menu.
    void checkMenu(const std::wstring& name, HMENU menu);
};

// The lines of a finding, one under the other, for a failure message.
std::wstring joined(const std::vector<std::wstring>& lines);

// The dialog templates of a module that `findings` did not check, as "module: id" lines.
std::vector<std::wstring> uncheckedTemplates(const Findings& findings, std::initializer_list<HMODULE> modules);

// Runs the messages of the calling thread for a while (a page's threads post their texts).
void pumpMessages(DWORD ms);
// Pumps until `done` holds or `ms` have passed.
template <typename Done> bool pumpUntil(Done done, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms) return false;
        pumpMessages(20);
    }
    return true;
}
