// The command line of velloran-apply:
//   velloran-apply [--check] [--skip-unchanged] [--json] [--log FILE] [--quiet]
//                  [--wait SECONDS] SETUP_FILE
//   velloran-apply --list [--json]
#include "apply.h"
#include "console_arguments.h"

#include <cstdlib>

static const char USAGE[] = "usage: velloran-apply [--check] [--skip-unchanged] [--json] "
                            "[--log FILE] [--quiet] [--wait SECONDS] SETUP_FILE\n"
                            "       velloran-apply --list [--json]\n";

// A day is longer than any deployment tool waits.
enum { LONGEST_WAIT_SECONDS = 86400 };

static void PrintHelp(void)
{
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
}

static bool ValidSeconds(LPCSTR text)
{
    char* end = NULL;
    long value = std::strtol(text, &end, 10);
    return text[0] >= '0' && text[0] <= '9' && *end == '\0' && value <= LONGEST_WAIT_SECONDS;
}

ApplyArguments ParseApplyArguments(int argc, char** argv, ApplyOptions& options)
{
    options = ApplyOptions{false, false, false, false, false, NULL, NULL, DEFAULT_LOCK_WAIT_SECONDS};
    LPCSTR wait = NULL;
    const ConsoleOption known[] = {
        {"--check", &options.check, NULL, NULL},
        {"--skip-unchanged", &options.skipUnchanged, NULL, NULL},
        {"--json", &options.json, NULL, NULL},
        {"--quiet", &options.quiet, NULL, NULL},
        {"--list", &options.list, NULL, NULL},
        {"--log", NULL, &options.log, NULL},
        {"--wait", NULL, &wait, ValidSeconds},
    };
    ConsoleRequest request =
        ParseConsoleArguments(argc, argv, known, sizeof known / sizeof known[0], &options.file);
    if (request == CONSOLE_HELP) {
        PrintHelp();
        return APPLY_ANSWERED;
    }
    if (request == CONSOLE_VERSION) {
        std::printf("velloran-apply %s\n", VELLORAN_VERSION);
        return APPLY_ANSWERED;
    }
    if (wait != NULL)
        options.waitSeconds = static_cast<DWORD>(std::strtol(wait, NULL, 10));
    bool fileGiven = options.file != NULL && options.file[0] != '\0';
    // --list reads the configuration only: no file, nothing to change.
    bool right = request == CONSOLE_RUN &&
                 (options.list ? options.file == NULL && !options.check && !options.skipUnchanged &&
                                     options.log == NULL
                               : fileGiven);
    if (!right)
        std::fputs(USAGE, stderr);
    return right ? APPLY_RUN : APPLY_WRONG;
}
