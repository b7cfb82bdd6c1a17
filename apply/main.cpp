// Entry point of velloran-apply: velloran's run on one setup file for
// deployment tools, with no window and no box, a result per entry read back
// from the configuration, and the diff convention for its exit status:
// 0 nothing failed (or, checking, nothing would change), 1 something failed
// or was lost (or would change or fail), 2 nothing was done: the setup
// file cannot be read, the arguments are wrong, or the lock cannot be had.
#include "apply.h"
#include "setup_file_refusal.h"

#include <string>

static int Problem(const ApplyOptions& options, TextOutput& text, const std::string& problem,
                   int status)
{
    PrintProblemLine(text, options.file, problem);
    if (options.json)
        PrintJsonProblem(stdout, options, problem);
    return status;
}

static int Apply(const ApplyOptions& options, TextOutput& text)
{
    if (!FillSetupFilePathFromArgument(options.file))
        return Problem(options, text, "cannot read it: " + SetupPathRefusal(), EXIT_UNREADABLE);
    HANDLE file;
    SetupFileCheck check = OpenSetupFile(SetupFilePath, &file);
    if (check != SETUP_FILE_READABLE)
        return Problem(options, text, "cannot read it: " + SetupFileRefusal(check), EXIT_UNREADABLE);
    CloseHandle(file);

    RunResult result;
    RunApply(options, result);
    if (result.locking != LOCK_TAKEN)
        return Problem(options, text, result.stopped,
                       result.locking == LOCK_TIMED_OUT ? EXIT_FAILED_OR_CHANGES : EXIT_UNREADABLE);
    for (const EntryResult& entry : result.entries)
        PrintEntryLine(text, entry);
    for (const LostSection& lost : result.lost)
        PrintLostLine(text, lost);
    PrintSummaryLine(text, options, result);
    if (options.json)
        PrintJsonResult(stdout, options, result);
    if (options.check)
        return result.changed || result.failed > 0 ? EXIT_FAILED_OR_CHANGES : EXIT_DONE;
    return result.failed > 0 || !result.lost.empty() ? EXIT_FAILED_OR_CHANGES : EXIT_DONE;
}

static int List(const ApplyOptions& options)
{
    std::string problem;
    if (PrintConfigurationList(stdout, options.json, problem))
        return EXIT_DONE;
    std::fprintf(stderr, "velloran-apply: %s\n", Printable(problem).c_str());
    return EXIT_UNREADABLE;
}

int main(int argc, char** argv)
{
    UseSystemDirectoryForLibraries();
    IgnoreClosedOutput();
    KeepHeapBetweenInstallerCalls();
    ApplyOptions options;
    ApplyArguments arguments = ParseApplyArguments(argc, argv, options);
    if (arguments != APPLY_RUN)
        return arguments == APPLY_ANSWERED ? EXIT_DONE : EXIT_UNREADABLE;
    if (options.list)
        return List(options);
    TextOutput text = {options.json ? NULL : stdout, options.quiet, NULL, false};
    if (options.log != NULL) {
        std::string reason;
        text.log = OpenApplyLog(options.log, reason);
        if (text.log == NULL && !reason.empty()) {
            std::fprintf(stderr, "velloran-apply: the log %s: %s; nothing was done\n",
                         Printable(options.log).c_str(), reason.c_str());
            return EXIT_UNREADABLE;
        }
        text.logFailed = text.log == NULL;
    }
    CatchStopSignals();
    int status = Apply(options, text);
    if (text.log != NULL && std::fclose(text.log) != 0 && !text.logFailed) {
        std::fprintf(stderr, "velloran-apply: writing the log failed\n");
        text.logFailed = true;
    }
    if (CaughtStopSignal() != NULL)
        EndByCaughtSignal();
    if (text.logFailed && status == EXIT_DONE)
        status = EXIT_FAILED_OR_CHANGES;
    return status;
}
