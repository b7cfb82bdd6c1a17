// The report for build pipelines: one JSON object, through the same JSON
// text as velloran-apply's (json/): ASCII only, and bytes that are not
// UTF-8 stand for the characters U+0080..U+00FF.
#include "checker.h"
#include "run_policy.h"
#include "json_text.h"

static JsonValue JsonList(const Elements& elements)
{
    JsonValue list = JsonValue::array();
    for (const std::string& element : MaskedElements(elements))
        list.push_back(JsonText(element));
    return list;
}

static JsonValue Components(const ComponentPlan& list)
{
    JsonValue entries = JsonValue::array();
    for (const ComponentEntry& entry : list.entries)
        entries.push_back({{"key", JsonText(entry.key)}, {"elements", JsonList(entry.elements)}});
    return entries;
}

static void AddPlan(JsonValue& report, const SetupPlan& plan)
{
    report["window"] = {{"caption", JsonText(plan.caption)}, {"message", JsonText(plan.message)}};
    report["driverManager"] = plan.installManager;
    report["translators"] = Components(plan.translators);
    report["drivers"] = Components(plan.drivers);
    JsonValue dataSources = JsonValue::array();
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        std::string name = RequestKeywordName(entry.request);
        JsonValue item;
        item["key"] = JsonText(ListKeyName(DATA_SOURCE_DRIVER_KEY_FORMAT, static_cast<int>(i) + 1));
        item["driver"] = JsonText(entry.driver);
        item["attributes"] = JsonList(entry.attributes);
        item["request"] = {{"keyword", JsonText(entry.keyword)},
                           {"code", static_cast<unsigned>(entry.request)},
                           {"name", JsonText(name)}};
        dataSources.push_back(item);
    }
    report["dataSources"] = dataSources;
}

void PrintJsonReport(FILE* out, LPCSTR path, const SetupPlan& plan, const Findings& findings,
                     bool quiet)
{
    JsonValue report;
    report["file"] = JsonText(path);
    report["view"] = OdbcViewName();
    if (!quiet)
        AddPlan(report, plan);
    report["findings"] = JsonValue::array();
    for (const Finding& f : findings) {
        JsonValue item;
        item["kind"] = JsonText(f.kind);
        item["section"] = JsonText(f.section);
        item["key"] = JsonText(f.key);
        item["line"] = f.line;
        item["problem"] = JsonText(f.problem);
        item["fix"] = JsonText(f.fix);
        report["findings"].push_back(item);
    }
    std::fputs(JsonDocument(report).c_str(), out);
}

void PrintJsonError(FILE* out, LPCSTR path, const std::string& error)
{
    JsonValue report;
    report["file"] = JsonText(path);
    report["error"] = JsonText(error);
    std::fputs(JsonDocument(report).c_str(), out);
}
