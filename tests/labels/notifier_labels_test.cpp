// The notifier's dialogs and menu, and the reminders library's selection dialog that its set-up
// shows, filled by their own procedures in each language the build made. The popups show the
// built-in reminders, whose names, texts and buttons come from the language file too.
#include <gtest/gtest.h>

#include "Tolva.h"
#include "fixture.h"
#include "labelcheck.h"
#include "modal.h"
#include "ntf_support.h"

namespace {

// The library's reminder selection dialog (reminders.rc).
constexpr int SELECTION_TEMPLATE = 101;
// The button of a reminder made for a detected security program that has an updater of its own.
constexpr int DETECTED_UPDATE_BUTTON = 0x314;

struct NotifierLabels : LanguageTest {
    void SetUp() override {
        LanguageTest::SetUp();
        if (!ready()) return;
        prepareStore();
        chooseLanguage(GetParam());
        setUserDword(L"DisplayDueDate", 1);
        hInst = GetModuleHandleW(nullptr);
        init(0x100);
    }
};

std::vector<ReminderPtr> storedBuiltins() {
    std::vector<ReminderPtr> out;
    StringList* groups = getGroups(FALSE);
    for (StringList* g = groups; g; g = g->next) {
        ReminderList* list = getReminders(FALSE, g->string);
        for (ReminderList* n = list; n; n = n->next) out.emplace_back(n->reminder);
        freeReminderList(list);
    }
    freeStringList(groups);
    return out;
}

TEST_P(NotifierLabels, EveryTextFitsAndNoKeyIsUsedTwice) {
    Findings found{LANGUAGE_FILES[GetParam()]};
    HMODULE self = GetModuleHandleW(nullptr), library = GetModuleHandleW(L"reminders.dll");
    ASSERT_TRUE(library);
    DWORD thread = GetCurrentThreadId();
    // Looks at the dialog while its modal loop runs, then presses `press`.
    auto look = [&](HMODULE module, int id, std::wstring name, int press) {
        return ModalStep{press, [&found, module, id, name](HWND dlg) { found.checkDialog(module, id, name, dlg); }};
    };

    // The built-in reminders as the set-up makes them, without looking for security programs.
    {
        ModalScript script(thread, {{IDNO}, look(library, SELECTION_TEMPLATE, L"reminders.dll selection dialog", IDOK)});
        ASSERT_TRUE(restoreDefaultReminders());
        ASSERT_EQ(script.result().size(), 2u);
    }
    std::vector<ReminderPtr> builtins = storedBuiltins();
    ASSERT_FALSE(builtins.empty());
    {
        ReminderPtr detected(cloneReminder(builtins.front().get()));
        HeapText button(getString(DETECTED_UPDATE_BUTTON));
        free(detected->yesText);
        free(detected->cmd);
        detected->yesText = wcsdupHeap(button);
        detected->cmd = wcsdupHeap(L"\"C:\\Program Files\\Scanner\\update.exe\"");
        builtins.push_back(std::move(detected));
    }
    for (const ReminderPtr& rem : builtins) {
        ModalScript script(thread, {look(self, IDD_REMINDER, L"Tolva IDD_REMINDER (reminder popup)", IDC_DONE)});
        showReminderPopup(nullptr, rem.get());
        EXPECT_EQ(script.result().size(), 1u) << std::wstring(rem->name);
    }
    {
        ModalScript script(thread, {look(self, IDD_AUTOUPDATE, L"Tolva IDD_AUTOUPDATE", IDCANCEL)});
        DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_AUTOUPDATE), nullptr, AUProc, 0);
        EXPECT_EQ(script.result().size(), 1u);
    }
    {
        ModalScript script(thread, {look(self, IDD_UPDATE, L"Tolva IDD_UPDATE", IDC_UPDATE_LATER)});
        DialogBoxParamW(hInst, MAKEINTRESOURCEW(IDD_UPDATE), nullptr, UpdateProc, 0);
        EXPECT_EQ(script.result().size(), 1u);
    }
    HMENU menu = buildTrayMenu();
    ASSERT_TRUE(menu);
    found.checkMenu(L"Tolva tray menu", menu);
    DestroyMenu(menu);

    EXPECT_TRUE(found.misfits.empty()) << joined(found.misfits);
    EXPECT_TRUE(found.clashes.empty()) << joined(found.clashes);
    EXPECT_EQ(uncheckedTemplates(found, {self, library}), std::vector<std::wstring>{});
}

INSTANTIATE_TEST_SUITE_P(Languages, NotifierLabels, ::testing::Range(0, NUM_LANGUAGES), languageTestName);

} // namespace
