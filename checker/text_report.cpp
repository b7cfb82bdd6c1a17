// The report for a person: the plan, then the findings, one block each.
#include "checker.h"
#include "printable_text.h"
#include "run_policy.h"

static void PrintElements(FILE* out, const Elements& list)
{
    Elements elements = MaskedElements(list);
    if (elements.empty())
        std::fprintf(out, "    (empty list)\n");
    for (size_t i = 0; i < elements.size(); ++i)
        std::fprintf(out, "    %zu. %s\n", i + 1, Printable(elements[i]).c_str());
}

static void PrintComponents(FILE* out, LPCSTR title, const ComponentPlan& list)
{
    std::fprintf(out, "\n%s: %zu\n", title, list.entries.size());
    for (const ComponentEntry& entry : list.entries) {
        std::fprintf(out, "  %s\n", entry.key.c_str());
        PrintElements(out, entry.elements);
    }
}

static void PrintPlan(FILE* out, const SetupPlan& plan)
{
    std::fprintf(out, "\nWindow\n  caption: %s\n  message: %s\n", Printable(plan.caption).c_str(),
                 Printable(plan.message).c_str());
    std::fprintf(out, "\nDriver manager: %s\n",
                 plan.installManager ? "installed" : "not installed");
    PrintComponents(out, "Translators", plan.translators);
    PrintComponents(out, "Drivers", plan.drivers);
    std::fprintf(out, "\nData sources: %zu\n", plan.dataSources.size());
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        std::fprintf(out, "  %s: %s\n",
                     ListKeyName(DATA_SOURCE_DRIVER_KEY_FORMAT, static_cast<int>(i) + 1).c_str(),
                     Printable(entry.driver).c_str());
        std::fprintf(out, "    request: %s -> %s (%u)\n", Printable(entry.keyword).c_str(),
                     RequestKeywordName(entry.request), static_cast<unsigned>(entry.request));
        PrintElements(out, entry.attributes);
    }
}

void PrintTextReport(FILE* out, LPCSTR path, const SetupPlan& plan, const Findings& findings,
                     bool quiet)
{
    if (!quiet) {
        std::fprintf(out, "Setup file: %s\n", Printable(path).c_str());
        std::fprintf(out, "ODBC view: %s\n", OdbcViewName());
        PrintPlan(out, plan);
        std::fprintf(out, "\n");
        if (findings.empty())
            std::fprintf(out, "No findings.\n");
        else
            std::fprintf(out, "Findings: %zu\n", findings.size());
    }
    for (const Finding& finding : findings) {
        std::string where = finding.line > 0 ? "line " + std::to_string(finding.line) + ", " : "";
        std::string name = finding.section.empty() && finding.line > 0 ? "" : "[" + finding.section + "]";
        if (!finding.key.empty())
            name += (name.empty() ? "" : " ") + finding.key;
        std::fprintf(out, "  %s%s (%s)\n    %s\n    fix: %s\n", where.c_str(),
                     Printable(name).c_str(), finding.kind.c_str(),
                     Printable(finding.problem).c_str(), Printable(finding.fix).c_str());
    }
}
