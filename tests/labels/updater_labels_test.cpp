// The updater's dialog, filled by its own procedure in each language the build made.
#include <gtest/gtest.h>

#include "fixture.h"
#include "labelcheck.h"
#include "updater.h"

namespace {

struct UpdaterLabels : LanguageTest {
    void SetUp() override {
        LanguageTest::SetUp();
        if (!ready()) return;
        removeUserSettings();
        installAt(buildBinFolder());
        chooseLanguage(GetParam());
        init(0x500);
    }
};

TEST_P(UpdaterLabels, EveryTextFitsAndNoKeyIsUsedTwice) {
    Findings found{LANGUAGE_FILES[GetParam()]};
    HMODULE self = GetModuleHandleW(nullptr);
    HWND dlg = CreateDialogParamW(self, MAKEINTRESOURCEW(IDD_PROCESSES), nullptr, ProcessDialogProc, 0);
    ASSERT_TRUE(dlg);
    found.checkDialog(self, IDD_PROCESSES, L"TolvaUpdater IDD_PROCESSES", dlg);
    DestroyWindow(dlg);

    EXPECT_TRUE(found.misfits.empty()) << joined(found.misfits);
    EXPECT_TRUE(found.clashes.empty()) << joined(found.clashes);
    EXPECT_EQ(uncheckedTemplates(found, {self}), std::vector<std::wstring>{});
}

INSTANTIATE_TEST_SUITE_P(Languages, UpdaterLabels, ::testing::Range(0, NUM_LANGUAGES), languageTestName);

} // namespace
