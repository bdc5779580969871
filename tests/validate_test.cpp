#include "fixture.h"
#include "modal.h"
#include "reminders.h"

#include <gtest/gtest.h>

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return std::wstring(t);
}

TEST(NameValidation, RefusalsAreExplainedAndTheRestPass) {
    removeUserSettings();
    installAt();
    struct Case {
        std::wstring name;
        std::wstring message; // empty: valid, no box
    } cases[] = {
        {L"", text(768)},
        {std::wstring(26, L'n'), text(769) + L" (25)."},
        {L" leading", text(770)},
        {std::wstring(25, L'n'), L""},
        {L"trailing ", L""},
        {L"in ner", L""},
        {L"\\/:*?\"<>|,.", L""},
        {L"\x00e9\x4e2d", L""},
    };
    for (auto* validate : {isReminderNameValid, isGroupNameValid}) {
        for (const auto& c : cases) {
            // A valid name shows no box; the short watch only keeps a wrong box from blocking the run.
            ModalAnswer answer(GetCurrentThreadId(), IDOK, c.message.empty() ? 400 : 15000);
            int valid = validate(c.name.c_str());
            const ModalWindow& box = answer.result();
            EXPECT_EQ(c.message.empty(), bool(valid)) << c.name.size();
            EXPECT_EQ(!c.message.empty(), box.found);
            if (box.found) {
                EXPECT_EQ(c.message, box.text);
                EXPECT_EQ(text(0xA05), box.caption);
                EXPECT_EQ(std::wstring::npos, box.text.find(L"LangError"));
            }
        }
    }
    removeMachineSettings();
}

} // namespace
