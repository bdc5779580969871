#include "common.h"
#include "fixture.h"
#include "modal.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::wstring text(int id) {
    HeapText t(getString(id));
    return t.get() ? std::wstring(t) : L"";
}

struct Boxes : ::testing::Test {
    void SetUp() override {
        removeUserSettings();
        installAt(); // the build's own English.lng
    }
    void TearDown() override { removeMachineSettings(); }
};

TEST_F(Boxes, ButtonCaptionsComeFromTheLanguageFile) {
    struct Case {
        UINT style;
        int press;
        std::vector<std::pair<int, int>> captions; // button id, text id
    } cases[] = {
        {MB_YESNO | MB_ICONQUESTION, IDNO, {{IDYES, 0xA22}, {IDNO, 0xA23}}},
        {MB_OK | MB_ICONINFORMATION, IDOK, {{IDOK, 0xA20}}},
        {MB_YESNOCANCEL | MB_ICONQUESTION, IDCANCEL, {{IDYES, 0xA22}, {IDNO, 0xA23}, {IDCANCEL, 0xA21}}},
        {MB_OKCANCEL, IDOK, {{IDOK, 0xA20}, {IDCANCEL, 0xA21}}},
    };
    for (const auto& c : cases) {
        ModalAnswer answer(GetCurrentThreadId(), c.press);
        int result = msgBox(nullptr, L"Question text", L"Caption", c.style);
        const ModalWindow& box = answer.result();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(c.press, result);
        EXPECT_EQ(L"Caption", box.caption);
        EXPECT_EQ(L"Question text", box.text);
        EXPECT_EQ(c.captions.size(), box.buttons.size());
        for (auto [button, id] : c.captions) {
            ASSERT_NE(nullptr, box.button(button)) << button;
            EXPECT_EQ(text(id), box.button(button)->caption);
            EXPECT_EQ(std::wstring::npos, box.button(button)->caption.find(L"LangError"));
        }
    }
}

TEST_F(Boxes, OtherButtonsKeepTheSystemCaptions) {
    ModalAnswer answer(GetCurrentThreadId(), IDRETRY);
    int result = msgBox(nullptr, L"Retry?", L"Caption", MB_RETRYCANCEL);
    const ModalWindow& box = answer.result();
    EXPECT_EQ(IDRETRY, result);
    ASSERT_NE(nullptr, box.button(IDRETRY));
    EXPECT_EQ(L"&Retry", box.button(IDRETRY)->caption);
    EXPECT_EQ(text(0xA21), box.button(IDCANCEL)->caption);
}

TEST_F(Boxes, TwoThreadsShowBoxesAtOnce) {
    int results[2] = {};
    ModalWindow seen[2];
    auto show = [&](int i) {
        ModalAnswer answer(GetCurrentThreadId(), i ? IDYES : IDNO);
        results[i] = msgBox(nullptr, i ? L"second" : L"first", L"Caption", MB_YESNO);
        seen[i] = answer.result();
    };
    std::thread a(show, 0), b(show, 1);
    a.join();
    b.join();
    EXPECT_EQ(IDNO, results[0]);
    EXPECT_EQ(IDYES, results[1]);
    for (const auto& box : seen) {
        ASSERT_TRUE(box.found);
        EXPECT_EQ(text(0xA22), box.button(IDYES)->caption);
        EXPECT_EQ(text(0xA23), box.button(IDNO)->caption);
    }
}

TEST_F(Boxes, ErrorBoxInsertsTheArgumentLiterally) {
    ModalAnswer answer(GetCurrentThreadId(), IDOK);
    errBox(L"Cannot open %s now.", L"50%s off %d", FALSE);
    const ModalWindow& box = answer.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(L"Cannot open 50%s off %d now.", box.text);
    EXPECT_EQ(text(0xA05), box.caption);
    ASSERT_EQ(1u, box.buttons.size());
    EXPECT_EQ(text(0xA20), box.buttons[0].caption);
}

TEST_F(Boxes, ErrorBoxAppendsTheCodeAsItStoodOnEntry) {
    std::wstring suffix = text(0xA06);
    size_t field = suffix.find(L"%d");
    ASSERT_NE(std::wstring::npos, field);
    std::wstring expected = L"Registry failed." + suffix.replace(field, 2, L"5");
    ModalAnswer answer(GetCurrentThreadId(), IDOK);
    SetLastError(ERROR_ACCESS_DENIED);
    errBox(L"Registry failed.", nullptr, TRUE);
    EXPECT_EQ(expected, answer.result().text);
}

TEST_F(Boxes, NoFormatShowsNothing) {
    ModalAnswer answer(GetCurrentThreadId(), IDOK, 1500);
    errBox(nullptr, L"ignored", TRUE);
    EXPECT_FALSE(answer.result().found);
}

TEST_F(Boxes, HelpWithoutInstallationFolderReportsIt) {
    removeMachineSettings();
    ModalAnswer answer(GetCurrentThreadId(), IDOK);
    openHelp();
    const ModalWindow& box = answer.result();
    ASSERT_TRUE(box.found);
    // The language file itself can't be found without the folder, so the texts are placeholders.
    EXPECT_EQ(0u, box.text.find(L"<LangError: [16004]>"));
    EXPECT_EQ(L"<LangError: [16004]>", box.caption);
}

} // namespace
