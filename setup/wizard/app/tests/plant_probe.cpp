// Loads each DLL named on its command line the way a program that leaves the search alone
// would: the proof that a planted copy in the program's folder is taken on this system.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) LoadLibraryW(argv[i]);
    return 0;
}
