// The text report: one line per entry (phase, index, name, outcome, and the
// installer's messages on a failure) and a summary line, on standard output
// and, with a timestamp each, in the log.
#include "apply.h"

#include <cstring>
#include <ctime>
#include <string>

FILE* OpenApplyLog(const char* path)
{
    // Appended to, never truncated: earlier runs' lines stay.
    FILE* log = std::fopen(path, "ab");
    if (log == NULL)
        std::fprintf(stderr, "velloran-apply: cannot write the log %s; the run goes on\n", path);
    return log;
}

static void WriteLine(const TextOutput& text, const std::string& line, bool always)
{
    if (text.out != NULL && (always || !text.quiet)) {
        std::fprintf(text.out, "%s\n", line.c_str());
        std::fflush(text.out);
    }
    if (text.log != NULL) {
        char stamp[32] = "";
        std::time_t now = std::time(NULL);
        const std::tm* utc = std::gmtime(&now);
        if (utc != NULL)
            std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", utc);
        std::fprintf(text.log, "%s %s\n", stamp, line.c_str());
        std::fflush(text.log);
    }
}

void PrintEntryLine(const TextOutput& text, const EntryResult& entry)
{
    std::string line = std::string(entry.phase) + " " + std::to_string(entry.index) + " " +
                       entry.name + ": " + entry.outcome;
    for (size_t i = 0; i < entry.errors.size(); ++i)
        line += (i == 0 ? ": " : "; ") + entry.errors[i].message;
    WriteLine(text, line, IsFailure(entry.outcome));
}

void PrintSummaryLine(const TextOutput& text, const ApplyOptions& options, const RunResult& result)
{
    int changes = 0;
    for (const EntryResult& entry : result.entries)
        changes += IsChange(entry.outcome) ? 1 : 0;
    std::string line = std::string(options.check ? "check " : "apply ") + options.file + " (" +
                       OdbcViewName() + " view): " +
                       std::to_string(result.entries.size()) + " entries, " +
                       std::to_string(changes) + (options.check ? " to change, " : " changed, ") +
                       std::to_string(result.failed) + (options.check ? " to fail" : " failed");
    WriteLine(text, line, true);
}

void PrintUnreadableLine(const TextOutput& text, const char* path, const char* reason)
{
    std::string line = std::string("cannot read ") + path + ": " + reason;
    std::fprintf(stderr, "velloran-apply: %s\n", line.c_str());
    TextOutput logOnly = {NULL, false, text.log};
    WriteLine(logOnly, line, true);
}
