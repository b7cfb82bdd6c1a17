// The report as one JSON object on standard output, for deployment tools:
// the file, the mode, whether anything changed, the failure count, one item
// per entry in the run's order with what it changed key by key, and the
// sections lost.
#include "apply.h"
#include "json_text.h"
#include "secret_keys.h"

static JsonValue EntryJson(const EntryResult& entry)
{
    JsonValue item;
    item["phase"] = PHASE_NAMES[entry.phase];
    item["index"] = entry.index;
    item["key"] = JsonText(entry.key);
    // A name can be a whole key=value element when the list is malformed.
    item["name"] = JsonText(MaskedElement(entry.name));
    if (entry.hasRequest)
        item["request"] = {{"keyword", JsonText(entry.keyword)}, {"code", entry.request}};
    item["outcome"] = OUTCOME_NAMES[entry.outcome];
    // So a tool needs no copy of the outcome words to tell what they mean.
    item["changed"] = IsChange(entry.outcome);
    item["failed"] = IsFailure(entry.outcome);
    item["errors"] = JsonValue::array();
    for (const InstallerError& error : entry.errors)
        item["errors"].push_back({{"code", error.code}, {"message", JsonText(error.message)}});
    item["changes"] = JsonValue::array();
    for (const KeyChange& change : entry.changes)
        item["changes"].push_back(
            {{"key", JsonText(change.key)},
             {"before", change.hadBefore ? JsonText(change.before) : JsonValue(nullptr)},
             {"after", change.hasAfter ? JsonText(change.after) : JsonValue(nullptr)}});
    return item;
}

static JsonValue Document(const ApplyOptions& options, const RunResult& result)
{
    JsonValue document;
    document["file"] = JsonText(options.file);
    document["mode"] = options.check ? "check" : "apply";
    document["view"] = OdbcViewName();
    document["changed"] = result.changed;
    document["failed"] = result.failed;
    document["entries"] = JsonValue::array();
    for (const EntryResult& entry : result.entries)
        document["entries"].push_back(EntryJson(entry));
    document["lost"] = JsonValue::array();
    for (const LostSection& lost : result.lost)
        document["lost"].push_back(
            {{"file", JsonText(lost.place)}, {"section", JsonText(MaskedElement(lost.section))}});
    if (result.interrupted != NULL)
        document["interrupted"] = result.interrupted;
    return document;
}

static void Print(FILE* out, const JsonValue& document)
{
    std::fputs(JsonDocument(document).c_str(), out);
    std::fflush(out);
}

void PrintJsonResult(FILE* out, const ApplyOptions& options, const RunResult& result)
{
    Print(out, Document(options, result));
}

// The same document with no entries, and why.
void PrintJsonProblem(FILE* out, const ApplyOptions& options, const std::string& problem)
{
    JsonValue document = Document(options, RunResult{{}, 0, false, {}, NULL, LOCK_TAKEN, ""});
    document["error"] = JsonText(problem);
    Print(out, document);
}
