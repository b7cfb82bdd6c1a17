// The command line of velloran-apply:
//   velloran-apply [--check] [--skip-unchanged] [--json] [--log FILE] [--quiet] SETUP_FILE
#include "apply.h"

#include <cstring>

static BOOL Usage(void)
{
    std::fprintf(stderr, "usage: velloran-apply [--check] [--skip-unchanged] [--json] "
                         "[--log FILE] [--quiet] SETUP_FILE\n");
    return FALSE;
}

BOOL ParseApplyArguments(int argc, char** argv, ApplyOptions& options)
{
    options = ApplyOptions{false, false, false, false, NULL, NULL};
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnd && std::strcmp(argument, "--check") == 0)
            options.check = true;
        else if (!optionsEnd && std::strcmp(argument, "--skip-unchanged") == 0)
            options.skipUnchanged = true;
        else if (!optionsEnd && std::strcmp(argument, "--json") == 0)
            options.json = true;
        else if (!optionsEnd && std::strcmp(argument, "--quiet") == 0)
            options.quiet = true;
        else if (!optionsEnd && std::strcmp(argument, "--log") == 0 && i + 1 < argc &&
                 argv[i + 1][0] != '\0')
            options.log = argv[++i];
        else if (!optionsEnd && std::strcmp(argument, "--") == 0)
            optionsEnd = true;
        else if (options.file == NULL && (optionsEnd || argument[0] != '-'))
            options.file = argument;
        else
            return Usage();
    }
    if (options.file == NULL || options.file[0] == '\0')
        return Usage();
    return TRUE;
}
