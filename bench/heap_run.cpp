// velloran's installation run, headless, with or without the heap kept
// between installer calls: velloran always keeps it, so this is how the
// run's peak memory is compared with what it was before.
//
//   heap_run keep|default SETUP_FILE
#include "odbc_install.h"
#include "setup_file.h"

#include <cstdio>
#include <cstring>

// Warnings go to standard error, as velloran's do without a display.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return IDOK;
}

int main(int argc, char** argv)
{
    bool keep = argc == 3 && std::strcmp(argv[1], "keep") == 0;
    if (argc != 3 || (!keep && std::strcmp(argv[1], "default") != 0) || !FillSetupFilePath(argv[2])) {
        std::fprintf(stderr, "usage: heap_run keep|default SETUP_FILE\n");
        return 2;
    }
    if (keep)
        KeepHeapBetweenInstallerCalls();
    RunInstallation();
    return 0;
}
