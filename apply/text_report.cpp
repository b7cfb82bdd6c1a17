// The text report: one line per entry (phase, index, name, outcome, what
// changed key by key, and the reasons of a failure), a line per section
// lost, and a summary line, on standard output and, with a timestamp each,
// in the log. Control bytes from the setup file are shown escaped.
#include "apply.h"
#include "secret_keys.h"

#include <ctime>
#include <string>

static void WriteLine(TextOutput& text, const std::string& line, bool always)
{
    if (text.out != NULL && (always || !text.quiet)) {
        std::fprintf(text.out, "%s\n", line.c_str());
        std::fflush(text.out);
    }
    if (text.log == NULL)
        return;
    char stamp[32] = "";
    std::time_t now = std::time(NULL);
    const std::tm* utc = std::gmtime(&now);
    if (utc != NULL)
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", utc);
    bool written = std::fprintf(text.log, "%s %s\n", stamp, line.c_str()) >= 0 &&
                   std::fflush(text.log) == 0;
    if (!written && !text.logFailed) {
        std::fprintf(stderr, "velloran-apply: writing the log failed; the report is incomplete there\n");
        text.logFailed = true;
    }
}

static std::string ChangesText(const std::vector<KeyChange>& changes)
{
    std::string shown;
    for (const KeyChange& change : changes) {
        shown += shown.empty() ? " (" : "; ";
        if (!change.hadBefore)
            shown += change.key + " = " + change.after + " added";
        else if (!change.hasAfter)
            shown += change.key + " removed";
        else
            shown += change.key + ": " + change.before + " -> " + change.after;
    }
    return shown.empty() ? "" : shown + ")";
}

void PrintEntryLine(TextOutput& text, const EntryResult& entry)
{
    std::string line = std::string(PHASE_NAMES[entry.phase]) + " " + std::to_string(entry.index) + " " +
                       MaskedElement(entry.name) + ": " + OUTCOME_NAMES[entry.outcome] +
                       ChangesText(entry.changes);
    for (size_t i = 0; i < entry.errors.size(); ++i)
        line += (i == 0 ? ": " : "; ") + entry.errors[i].message;
    WriteLine(text, Printable(line), IsFailure(entry.outcome));
}

void PrintLostLine(TextOutput& text, const LostSection& lost)
{
    WriteLine(text, Printable("lost: section [" + MaskedElement(lost.section) + "] of " + lost.place +
                              " changed or vanished during the run"),
              true);
}

void PrintSummaryLine(TextOutput& text, const ApplyOptions& options, const RunResult& result)
{
    int changes = 0;
    for (const EntryResult& entry : result.entries)
        changes += IsChange(entry.outcome) ? 1 : 0;
    std::string line = std::string(options.check ? "check " : "apply ") + options.file + " (" +
                       OdbcViewName() + " view): " +
                       std::to_string(result.entries.size()) + " entries, " +
                       std::to_string(changes) + (options.check ? " to change, " : " changed, ") +
                       std::to_string(result.failed) + (options.check ? " to fail" : " failed");
    if (!result.lost.empty())
        line += ", " + std::to_string(result.lost.size()) + " sections lost";
    if (result.interrupted != NULL)
        line += "; interrupted by " + std::string(result.interrupted) +
                ", the entries after these were not run";
    WriteLine(text, Printable(line), true);
}

void PrintProblemLine(TextOutput& text, const char* path, const std::string& problem)
{
    std::string line = Printable(std::string(path) + ": " + problem);
    std::fprintf(stderr, "velloran-apply: %s\n", line.c_str());
    TextOutput logOnly = {NULL, false, text.log, text.logFailed};
    WriteLine(logOnly, line, true);
    text.logFailed = logOnly.logFailed;
}
