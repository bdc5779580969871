// Stands in for a program of the user's that keeps an installed library loaded while an update
// runs: loads the library named on its command line, then waits to be closed or killed.
#include <windows.h>

#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !LoadLibraryW(argv[1])) return 2;
    Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    return 0;
}
