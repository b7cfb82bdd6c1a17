// Entry point of velloran-check: reads a setup file the way velloran does,
// without loading the installer library or changing anything, and prints
// the plan of the run and the traps found in the file.
// Exit status: 0 no findings (or --help, --version), 1 findings, 2 the file
// cannot be read or the command line is wrong.
#include "checker.h"
#include "console_arguments.h"
#include "setup_file_refusal.h"

#include <algorithm>
#include <new>

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNREADABLE = 2 };

static const char USAGE[] = "usage: velloran-check [--quiet] [--json] <setup file>\n";

static int Usage(void)
{
    std::fputs(USAGE, stderr);
    return EXIT_UNREADABLE;
}

static int Help(void)
{
    std::printf("%s"
                "       velloran-check --help | --version\n\n"
                "Prints what velloran will do with the setup file, and the traps in it.\n"
                "  --quiet    the findings only, without the plan\n"
                "  --json     the same report as one JSON object\n"
                "Exit status: 0 no findings, 1 findings, 2 the file cannot be read\n"
                "or the command line is wrong.\n",
                USAGE);
    return EXIT_CLEAN;
}

static int Unreadable(LPCSTR path, const std::string& error, bool json)
{
    if (json)
        PrintJsonError(stdout, path, error);
    else
        std::fprintf(stderr, "velloran-check: cannot read %s: %s\n", path, error.c_str());
    return EXIT_UNREADABLE;
}

static int Check(int argc, char** argv);

int main(int argc, char** argv)
{
    UseSystemDirectoryForLibraries();
    // No allocation failure ends the checker with an abort.
    try {
        return Check(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "velloran-check: the setup file is too large to hold in memory\n");
        return EXIT_UNREADABLE;
    }
}

static int Check(int argc, char** argv)
{
    bool quiet = false;
    bool json = false;
    const ConsoleOption options[] = {{"--quiet", &quiet, NULL, NULL}, {"--json", &json, NULL, NULL}};
    LPCSTR path = NULL;
    switch (ParseConsoleArguments(argc, argv, options, 2, &path)) {
    case CONSOLE_HELP:
        return Help();
    case CONSOLE_VERSION:
        std::printf("velloran-check %s\n", VELLORAN_VERSION);
        return EXIT_CLEAN;
    case CONSOLE_WRONG:
        return Usage();
    default:
        break;
    }
    if (path == NULL || path[0] == '\0')
        return Usage();

    if (!FillSetupFilePathFromArgument(path))
        return Unreadable(path, SetupPathRefusal(), json);

    RawFile file;
    std::string error;
    if (!ScanIniFile(SetupFilePath, file, error))
        return Unreadable(path, error, json);

    SetupPlan plan;
    ReadSetupPlan(plan);
    Findings findings;
    FindValueFindings(plan, file, findings);
    FindListFindings(plan, file, findings);
    FindFileFindings(file, findings);
    FindOdbcIniFindings(plan, file, findings);
    FindInstallerFindings(plan, file, findings);
    // In file order, so the report reads top to bottom.
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });

    if (json)
        PrintJsonReport(stdout, path, plan, findings, quiet);
    else
        PrintTextReport(stdout, path, plan, findings, quiet);
    return findings.empty() ? EXIT_CLEAN : EXIT_FINDINGS;
}
