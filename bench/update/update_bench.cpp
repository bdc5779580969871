// Times update.dll's downloadFile and md5 on one file, from inside the process so that starting
// Wine is not counted. Prints "download_ms=... md5_ms=... md5=...".
//   update_bench URL DESTINATION [ROUNDS]
#include "update.h"

#include <cstdio>
#include <cstdlib>

static double nowMs() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: update_bench URL DESTINATION [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? _wtoi(argv[3]) : 3;
    HMODULE module = LoadLibraryW(L"update.dll");
    auto openCon = updateProc<OPENCON>(module, "openCon");
    auto downloadFile = updateProc<DOWNLOADFILE>(module, "downloadFile");
    auto md5 = updateProc<MD5>(module, "md5");
    if (!module || !openCon || !downloadFile || !md5) {
        fprintf(stderr, "update.dll or one of its exports is missing (%lu)\n", GetLastError());
        return 1;
    }
    double bestDownload = 1e30, bestMd5 = 1e30;
    char digest[33] = "";
    for (int i = 0; i < rounds; ++i) {
        HINTERNET session = openCon();
        double start = nowMs();
        int result = downloadFile(session, argv[1], argv[2], 0);
        double took = nowMs() - start;
        InternetCloseHandle(session);
        if (result != 0) {
            fprintf(stderr, "downloadFile failed: %d (%lu)\n", result, GetLastError());
            return 1;
        }
        if (took < bestDownload) bestDownload = took;
        start = nowMs();
        char* text = md5(argv[2]);
        took = nowMs() - start;
        if (took < bestMd5) bestMd5 = took;
        snprintf(digest, sizeof digest, "%s", text ? text : "");
        free(text);
    }
    printf("download_ms=%.1f md5_ms=%.1f md5=%s\n", bestDownload, bestMd5, digest);
    FreeLibrary(module);
    return 0;
}
