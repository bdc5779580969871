// A stand-in for update.dll in the notifier tests' own folder: checkUpdates answers what the test
// put in TOLVA_FAKE_CHECK and notes each call ("quiet,definition") in the file TOLVA_FAKE_LOG.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

extern "C" __declspec(dllexport) int checkUpdates(int quiet, int definition) {
    wchar_t value[32] = L"";
    int result = GetEnvironmentVariableW(L"TOLVA_FAKE_CHECK", value, 32) ? _wtoi(value) : -1;
    wchar_t log[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"TOLVA_FAKE_LOG", log, MAX_PATH)) {
        if (FILE* f = _wfopen(log, L"ab")) {
            fprintf(f, "%d,%d\n", quiet, definition);
            fclose(f);
        }
    }
    return result;
}
