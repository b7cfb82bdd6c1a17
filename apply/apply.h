// velloran-apply: the run of velloran for deployment tools. The same
// entries in the same order give the same installer calls; what it adds is
// the result of each entry, the installer's error detail, a check of the
// live configuration, and re-runs that leave what is in place alone.
#pragma once

#include "installer_queries.h"
#include "setup_file.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

enum { EXIT_DONE = 0, EXIT_FAILED_OR_CHANGES = 1, EXIT_UNREADABLE = 2 };

struct ApplyOptions {
    bool check;
    bool skipUnchanged;
    bool json;
    bool quiet;
    const char* log;   // NULL without --log
    const char* file;  // the setup file as given
};

// false (with the usage printed) when the arguments are wrong.
bool ParseApplyArguments(int argc, char** argv, ApplyOptions& options);
// true, with the answer printed, when an option before any "--" is --help
// or --version; nothing else is then done.
bool AnswerInformationOption(int argc, char** argv);

struct EntryResult {
    LPCSTR phase;      // "manager", "translator", "driver" or "datasource"
    int index;
    std::string key;   // the setup file's key, e.g. "Driver3"
    std::string name;  // the driver, translator or data-source name
    bool hasRequest;   // data sources only
    std::string keyword;
    WORD request;
    // Applied: installed, added, configured, removed, unchanged or failed.
    // Checked: install, add, configure, remove, unchanged or fail.
    LPCSTR outcome;
    InstallerErrors errors;
};

struct RunResult {
    std::vector<EntryResult> entries;
    int failed;
    bool changed;
};

// Each entry as soon as its outcome is known, so a long run shows progress.
typedef std::function<void(const EntryResult&)> EntryReporter;

// The run over the setup file in SetupFilePath.
void RunApply(const ApplyOptions& options, const EntryReporter& report, RunResult& result);

// Whether an outcome is a change (done or planned).
bool IsChange(LPCSTR outcome);
bool IsFailure(LPCSTR outcome);

// The text lines, on a stream and in the log.
struct TextOutput {
    FILE* out;   // NULL with --json
    bool quiet;
    FILE* log;   // NULL without a log
};
// Opens the log for appending; reports on stderr and gives NULL when it
// cannot be written.
FILE* OpenApplyLog(const char* path);
void PrintEntryLine(const TextOutput& text, const EntryResult& entry);
void PrintSummaryLine(const TextOutput& text, const ApplyOptions& options,
                      const RunResult& result);
void PrintUnreadableLine(const TextOutput& text, const char* path, const char* reason);

void PrintJsonResult(FILE* out, const ApplyOptions& options, const RunResult& result);
void PrintJsonUnreadable(FILE* out, const ApplyOptions& options, const char* reason);

// Not Win32: a reader that goes away must not end the run.
void IgnoreClosedOutput(void);
