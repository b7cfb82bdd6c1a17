// The report as one JSON object on standard output, for deployment tools:
// the file, the mode, whether anything changed, the failure count, and one
// item per entry in the run's order.
#include "apply.h"
#include "json_text.h"

static JsonValue EntryJson(const EntryResult& entry)
{
    JsonValue item;
    item["phase"] = entry.phase;
    item["index"] = entry.index;
    item["key"] = JsonText(entry.key);
    item["name"] = JsonText(entry.name);
    if (entry.hasRequest)
        item["request"] = {{"keyword", JsonText(entry.keyword)}, {"code", entry.request}};
    item["outcome"] = entry.outcome;
    item["errors"] = JsonValue::array();
    for (const InstallerError& error : entry.errors)
        item["errors"].push_back({{"code", error.code}, {"message", JsonText(error.message)}});
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
void PrintJsonUnreadable(FILE* out, const ApplyOptions& options, const char* reason)
{
    JsonValue document = Document(options, RunResult{{}, 0, false});
    document["error"] = JsonText(reason);
    Print(out, document);
}
