// Entry point of velloran-apply: velloran's run on one setup file for
// deployment tools, with no window and no box, a result per entry, and the
// diff convention for its exit status: 0 nothing failed (or, checking,
// nothing would change), 1 a call failed (or something would change or
// fail), 2 the setup file cannot be read or the arguments are wrong.
#include "apply.h"

#include <string>

static int Unreadable(const ApplyOptions& options, const TextOutput& text, const char* reason)
{
    PrintUnreadableLine(text, options.file, reason);
    if (options.json)
        PrintJsonUnreadable(stdout, options, reason);
    return EXIT_UNREADABLE;
}

static int Apply(const ApplyOptions& options, const TextOutput& text)
{
    // Windows looks for a bare file name in its own folder; velloran-apply
    // means the file in the working folder, on both systems.
    std::string named = options.file;
    if (named.find_first_of("/\\") == std::string::npos)
        named = "./" + named;
    if (!FillSetupFilePath(named.c_str()))
        return Unreadable(options, text, "a path of 260 characters or more, which velloran refuses");
    if (!SetupFileReadable(SetupFilePath))
        return Unreadable(options, text, "not a readable regular file of at most 64 MiB");

    RunResult result;
    RunApply(options, [&text](const EntryResult& entry) { PrintEntryLine(text, entry); }, result);
    PrintSummaryLine(text, options, result);
    if (options.json)
        PrintJsonResult(stdout, options, result);
    if (options.check)
        return result.changed || result.failed > 0 ? EXIT_FAILED_OR_CHANGES : EXIT_DONE;
    return result.failed > 0 ? EXIT_FAILED_OR_CHANGES : EXIT_DONE;
}

int main(int argc, char** argv)
{
    UseSystemDirectoryForLibraries();
    IgnoreClosedOutput();
    KeepHeapBetweenInstallerCalls();
    if (AnswerInformationOption(argc, argv))
        return EXIT_DONE;
    ApplyOptions options;
    if (!ParseApplyArguments(argc, argv, options))
        return EXIT_UNREADABLE;
    TextOutput text = {options.json ? NULL : stdout, options.quiet,
                       options.log != NULL ? OpenApplyLog(options.log) : NULL};
    int status = Apply(options, text);
    if (text.log != NULL)
        std::fclose(text.log);
    return status;
}
