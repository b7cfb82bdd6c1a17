// The command line of velloran-apply:
//   velloran-apply [--check] [--skip-unchanged] [--json] [--log FILE] [--quiet]
//                  [--wait SECONDS] SETUP_FILE
//   velloran-apply --list [--json]
#include "apply.h"

#include <cstdlib>
#include <cstring>

static const char USAGE[] = "usage: velloran-apply [--check] [--skip-unchanged] [--json] "
                            "[--log FILE] [--quiet] [--wait SECONDS] SETUP_FILE\n"
                            "       velloran-apply --list [--json]\n";

// A day is longer than any deployment tool waits.
enum { LONGEST_WAIT_SECONDS = 86400 };

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
                        "and reports each entry's outcome as read back from the configuration.\n"
                        "  --check           change nothing; report what this apply would do\n"
                        "  --skip-unchanged  no call for an entry already in place\n"
                        "  --json            the report as one JSON object\n"
                        "  --log FILE        append the report's lines to FILE, time-stamped\n"
                        "  --quiet           only failures and the summary\n"
                        "  --wait SECONDS    wait at most this long for another run (default %d)\n"
                        "  --list            print the ODBC configuration as it is, secrets masked\n"
                        "Exit status: 0 nothing failed (checking: nothing would change),\n"
                        "1 a call failed or a section was lost (something would change or fail),\n"
                        "2 nothing was done: the file cannot be read, the command line is wrong,\n"
                        "or the configuration cannot be locked.\n",
                        USAGE, DEFAULT_LOCK_WAIT_SECONDS);
            return true;
        }
        if (std::strcmp(argv[i], "--log") == 0 || std::strcmp(argv[i], "--wait") == 0)
            ++i;  // its value may be --help
    }
    return false;
}

static bool ParseSeconds(const char* text, DWORD& seconds)
{
    char* end = NULL;
    long value = std::strtol(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || value > LONGEST_WAIT_SECONDS)
        return false;
    seconds = static_cast<DWORD>(value);
    return true;
}

bool ParseApplyArguments(int argc, char** argv, ApplyOptions& options)
{
    options = ApplyOptions{false, false, false, false, false, NULL, NULL, DEFAULT_LOCK_WAIT_SECONDS};
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        bool option = !optionsEnd && argument[0] == '-';
        if (option && std::strcmp(argument, "--check") == 0)
            options.check = true;
        else if (option && std::strcmp(argument, "--skip-unchanged") == 0)
            options.skipUnchanged = true;
        else if (option && std::strcmp(argument, "--json") == 0)
            options.json = true;
        else if (option && std::strcmp(argument, "--quiet") == 0)
            options.quiet = true;
        else if (option && std::strcmp(argument, "--list") == 0)
            options.list = true;
        else if (option && std::strcmp(argument, "--log") == 0 && i + 1 < argc &&
                 argv[i + 1][0] != '\0')
            options.log = argv[++i];
        else if (option && std::strcmp(argument, "--wait") == 0 && i + 1 < argc &&
                 ParseSeconds(argv[i + 1], options.waitSeconds))
            ++i;
        else if (option && std::strcmp(argument, "--") == 0)
            optionsEnd = true;
        else if (options.file == NULL && !option)
            options.file = argument;
        else
            return Usage();
    }
    if (options.list)
        return options.file == NULL && !options.check && !options.skipUnchanged &&
                       options.log == NULL
                   ? true
                   : Usage();
    if (options.file == NULL || options.file[0] == '\0')
        return Usage();
    return true;
}
