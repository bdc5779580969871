#include "common.h"
#include "fixture.h"

#include <gtest/gtest.h>

namespace {

ULONGLONG ticks(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

DWORD runDatemark() {
    DWORD code = 0;
    runCapture(L"\"" + exeFolder() + L"\\Datemark.exe\" ignored arguments", &code);
    return code;
}

TEST(Datemark, StampsTheLocalTimeAndALaterRunReplacesIt) {
    installAt();
    SYSTEMTIME before;
    GetLocalTime(&before);
    ASSERT_EQ(0u, runDatemark());
    SYSTEMTIME* first = getLastUpdate();
    ASSERT_NE(nullptr, first);
    SYSTEMTIME after;
    GetLocalTime(&after);
    EXPECT_GE(ticks(*first) + 10000000, ticks(before));
    EXPECT_LE(ticks(*first), ticks(after) + 10000000);

    Sleep(20);
    ASSERT_EQ(0u, runDatemark());
    SYSTEMTIME* second = getLastUpdate();
    ASSERT_NE(nullptr, second);
    EXPECT_GT(ticks(*second), ticks(*first));
    free(first);
    free(second);
    removeMachineSettings();
}

TEST(Datemark, WithoutTheSuiteNothingIsCreated) {
    removeMachineSettings();
    EXPECT_NE(0u, runDatemark());
    HKEY key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, KEY_READ, &key));
}

} // namespace
