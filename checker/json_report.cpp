// The report for build pipelines: one JSON object. Strings are the file's
// bytes: valid UTF-8 passes, any other byte becomes \u00XX.
#include "checker.h"

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
static size_t Utf8SequenceLength(const std::string& text, size_t i)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points past U+10FFFF.
    unsigned char second = static_cast<unsigned char>(text[i + 1]);
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if (next < 0x80 || next > 0xBF)
            return 0;
    }
    return length;
}

static std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c >= 0x80 ? Utf8SequenceLength(text, i) : 1;
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\t') {
            json += "\\t";
        } else if (c < 0x20 || length == 0) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            json += escape;
            length = 1;
        } else {
            json.append(text, i, length);
        }
        i += length;
    }
    return json + "\"";
}

static std::string JsonList(const Elements& elements)
{
    std::string json = "[";
    for (size_t i = 0; i < elements.size(); ++i)
        json += (i > 0 ? ", " : "") + JsonString(elements[i]);
    return json + "]";
}

static void PrintComponents(FILE* out, LPCSTR name, const ComponentPlan& list)
{
    std::fprintf(out, "  \"%s\": [", name);
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const ComponentEntry& entry = list.entries[i];
        std::fprintf(out, "%s\n    {\"key\": %s, \"elements\": %s}", i > 0 ? "," : "",
                     JsonString(entry.key).c_str(), JsonList(entry.elements).c_str());
    }
    std::fprintf(out, "%s],\n", list.entries.empty() ? "" : "\n  ");
}

static void PrintPlan(FILE* out, const SetupPlan& plan)
{
    std::fprintf(out, "  \"window\": {\"caption\": %s, \"message\": %s},\n",
                 JsonString(plan.caption).c_str(), JsonString(plan.message).c_str());
    std::fprintf(out, "  \"driverManager\": %s,\n", plan.installManager ? "true" : "false");
    PrintComponents(out, "translators", plan.translators);
    PrintComponents(out, "drivers", plan.drivers);
    std::fprintf(out, "  \"dataSources\": [");
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        std::string name = "?";
        for (const RequestKeyword& known : RequestKeywords) {
            if (known.request == entry.request)
                name = known.keyword;
        }
        std::fprintf(out,
                     "%s\n    {\"key\": %s, \"driver\": %s, \"attributes\": %s,\n"
                     "     \"request\": {\"keyword\": %s, \"code\": %u, \"name\": %s}}",
                     i > 0 ? "," : "",
                     JsonString(ListKeyName(DataSourceDriverKeyFormat, static_cast<int>(i) + 1)).c_str(),
                     JsonString(entry.driver).c_str(), JsonList(entry.attributes).c_str(),
                     JsonString(entry.keyword).c_str(), static_cast<unsigned>(entry.request),
                     JsonString(name).c_str());
    }
    std::fprintf(out, "%s],\n", plan.dataSources.empty() ? "" : "\n  ");
}

void PrintJsonReport(FILE* out, LPCSTR path, const SetupPlan& plan, const Findings& findings,
                     bool quiet)
{
    std::fprintf(out, "{\n  \"file\": %s,\n", JsonString(path).c_str());
    if (!quiet)
        PrintPlan(out, plan);
    std::fprintf(out, "  \"findings\": [");
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        std::fprintf(out,
                     "%s\n    {\"kind\": %s, \"section\": %s, \"key\": %s, \"line\": %d,\n"
                     "     \"problem\": %s,\n     \"fix\": %s}",
                     i > 0 ? "," : "", JsonString(f.kind).c_str(), JsonString(f.section).c_str(),
                     JsonString(f.key).c_str(), f.line, JsonString(f.problem).c_str(),
                     JsonString(f.fix).c_str());
    }
    std::fprintf(out, "%s]\n}\n", findings.empty() ? "" : "\n  ");
}

void PrintJsonError(FILE* out, LPCSTR path, const std::string& error)
{
    std::fprintf(out, "{\n  \"file\": %s,\n  \"error\": %s\n}\n", JsonString(path).c_str(),
                 JsonString(error).c_str());
}
