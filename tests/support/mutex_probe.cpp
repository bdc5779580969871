// Child process for the single-instance tests: claims a mutex, prints whether it was already held,
// then keeps it until its standard input closes or it has waited the given milliseconds.
#include "common.h"

#include <cstdio>
#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    BOOL running = isAlreadyRunning(argv[1]);
    printf("%s\n", running ? "running" : "first");
    fflush(stdout);
    if (argc > 2) Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    return running ? 1 : 0;
}
