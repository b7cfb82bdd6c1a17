// The command line of velloran-apply:
//   velloran-apply [--check] [--skip-unchanged] [--json] [--log FILE] [--quiet] SETUP_FILE
#include "apply.h"

#include <cstring>

static const char USAGE[] = "usage: velloran-apply [--check] [--skip-unchanged] [--json] "
                            "[--log FILE] [--quiet] SETUP_FILE\n";

static bool Usage(void)
{
    std::fputs(USAGE, stderr);
    return false;
}

bool AnswerInformationOption(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velloran-apply %s\n", VELLORAN_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s"
                        "       velloran-apply --help | --version\n\n"
                        "Makes velloran's installer calls for the setup file, without a window,\n"
                        "and reports each entry's outcome.\n"
                        "  --check           change nothing; report what an apply would do\n"
                        "  --skip-unchanged  no call for an entry already in place\n"
                        "  --json            the report as one JSON object\n"
                        "  --log FILE        append the report's lines to FILE, time-stamped\n"
                        "  --quiet           only failures and the summary\n"
                        "Exit status: 0 nothing failed (checking: nothing would change),\n"
                        "1 a call failed (something would change or fail), 2 the file cannot\n"
                        "be read or the command line is wrong.\n",
                        USAGE);
            return true;
        }
        if (std::strcmp(argv[i], "--log") == 0)
            ++i;  // its file may be named --help
    }
    return false;
}

bool ParseApplyArguments(int argc, char** argv, ApplyOptions& options)
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
    return true;
}
