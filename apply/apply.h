// velloran-apply: the run of velloran for deployment tools. The same
// entries in the same order give the same installer calls, but for entries
// the installer cannot store as asked, which are refused; what it adds is
// the result of each entry, read back from the configuration after the
// run, the installer's error detail, the changes made key by key, and
// re-runs that leave what is in place alone.
#pragma once

#include "installer_queries.h"
#include "printable_text.h"
#include "run_policy.h"
#include "setup_walk.h"

#include <cstdio>
#include <string>
#include <vector>

enum { EXIT_DONE = 0, EXIT_FAILED_OR_CHANGES = 1, EXIT_UNREADABLE = 2 };

struct ApplyOptions {
    bool check;
    bool skipUnchanged;
    bool json;
    bool quiet;
    bool list;             // --list: the configuration as it is
    const char* log;       // NULL without --log
    const char* file;      // the setup file as given
    DWORD waitSeconds;     // for another run's lock
};

// APPLY_ANSWERED when --help or --version was answered, APPLY_WRONG (with
// the usage printed) when the arguments are wrong.
enum ApplyArguments { APPLY_RUN, APPLY_ANSWERED, APPLY_WRONG };
ApplyArguments ParseApplyArguments(int argc, char** argv, ApplyOptions& options);

// One key the run changed (or, checking, would change); a missing side is
// absent. Secret values are masked already.
struct KeyChange {
    std::string key;
    bool hadBefore;
    std::string before;
    bool hasAfter;
    std::string after;
};

// What became of an entry: applied, then what --check predicts. The words
// of every report, the JSON's and so the Ansible collection's, are these.
enum Outcome {
    OUTCOME_INSTALLED, OUTCOME_ADDED, OUTCOME_CONFIGURED, OUTCOME_REMOVED, OUTCOME_UNCHANGED,
    OUTCOME_FAILED, OUTCOME_INSTALL, OUTCOME_ADD, OUTCOME_CONFIGURE, OUTCOME_REMOVE, OUTCOME_FAIL,
    OUTCOME_COUNT
};
const LPCSTR OUTCOME_NAMES[OUTCOME_COUNT] = {
    "installed", "added", "configured", "removed", "unchanged", "failed",
    "install", "add", "configure", "remove", "fail"};

struct EntryResult {
    Phase phase;
    int index;
    std::string key;   // the setup file's key, e.g. "Driver3"
    std::string name;  // the driver, translator or data-source name
    bool hasRequest;   // data sources only
    std::string keyword;
    WORD request;
    Outcome outcome;
    InstallerErrors errors;  // the installer's, or velloran-apply's own (code 0)
    std::vector<KeyChange> changes;
};

// A section the run did not ask to change that changed or vanished.
struct LostSection {
    std::string place;
    std::string section;
};

struct RunResult {
    std::vector<EntryResult> entries;
    int failed;
    bool changed;
    std::vector<LostSection> lost;
    LPCSTR interrupted;  // the signal's name when one ended the run, else NULL
    ConfigurationLocking locking;  // LOCK_TAKEN, or why no entry was run
    std::string stopped;           // the lock's problem, when not taken
};

// The run over the setup file in SetupFilePath.
void RunApply(const ApplyOptions& options, RunResult& result);

// Whether an outcome is a change (done or planned).
bool IsChange(Outcome outcome);
bool IsFailure(Outcome outcome);

// The text lines, on a stream and in the log.
struct TextOutput {
    FILE* out;   // NULL with --json
    bool quiet;
    FILE* log;   // NULL without a log
    bool logFailed;
};
// Opens the log for appending, without waiting: only a regular file, or a
// new one. NULL, with the reason, otherwise.
FILE* OpenApplyLog(const char* path, std::string& reason);
void PrintEntryLine(TextOutput& text, const EntryResult& entry);
void PrintLostLine(TextOutput& text, const LostSection& lost);
void PrintSummaryLine(TextOutput& text, const ApplyOptions& options, const RunResult& result);
void PrintProblemLine(TextOutput& text, const char* path, const std::string& problem);

void PrintJsonResult(FILE* out, const ApplyOptions& options, const RunResult& result);
void PrintJsonProblem(FILE* out, const ApplyOptions& options, const std::string& problem);

// --list: the configuration as it is, secrets masked. false when it cannot
// be read.
bool PrintConfigurationList(FILE* out, bool json, std::string& problem);

// Not Win32: a reader that goes away must not end the run.
void IgnoreClosedOutput(void);
// Not Win32: SIGTERM, SIGINT and SIGHUP are noted, not obeyed, so the run
// can report before it ends; the name of the first one caught, or NULL.
void CatchStopSignals(void);
LPCSTR CaughtStopSignal(void);
// Ends the process as the caught signal would have.
void EndByCaughtSignal(void);
