// Findings about single values: a caption, message, driver name or request
// keyword cut by the run's buffer, a keyword that is not in the table, and
// an Install value that reads as 0.
#include "ascii_case.h"
#include "checker.h"

// What the run's buffer cut off a value, empty when it fits.
static std::string CutOff(LPCSTR section, const std::string& key, const std::string& kept)
{
    std::string full = ReadFullValue(section, key.c_str());
    if (full.size() > kept.size() && full.compare(0, kept.size(), kept) == 0)
        return full.substr(kept.size());
    return "";
}

static void CheckCut(LPCSTR section, const std::string& key, const std::string& kept, int limit,
                     const RawFile& file, Findings& findings)
{
    std::string lost = CutOff(section, key, kept);
    if (lost.empty())
        return;
    findings.push_back({"cut", section, key, LineOf(file, section, key),
                        key + " is longer than " + std::to_string(limit) +
                            " characters; the run cuts off: " + lost,
                        "shorten it to " + std::to_string(limit) + " characters or fewer"});
}

static void CheckKeyword(const std::string& key, const std::string& keyword, const RawFile& file,
                         Findings& findings)
{
    // A missing DSRequest reads as None and adds a user data source, as
    // documented; only a keyword someone wrote can be wrong.
    if (MapRequestKeyword(keyword.c_str()) != ODBC_ADD_DSN || keyword == "ODBC_ADD_DSN")
        return;
    if (keyword == END_OF_LIST && ReadFullValue(DATA_SOURCES_SECTION, key.c_str()).empty())
        return;
    int line = LineOf(file, DATA_SOURCES_SECTION, key);
    for (const RequestKeyword& entry : REQUEST_KEYWORDS) {
        if (SameIgnoringAsciiCase(keyword, entry.keyword)) {
            findings.push_back({"unknown-request", DATA_SOURCES_SECTION, key, line,
                                "'" + keyword + "' differs from " + entry.keyword +
                                    " in case only, and case matters: it adds a user data source",
                                std::string("write ") + entry.keyword});
            return;
        }
    }
    std::string known;
    for (const RequestKeyword& entry : REQUEST_KEYWORDS)
        known += std::string(known.empty() ? "" : ", ") + entry.keyword;
    findings.push_back({"unknown-request", DATA_SOURCES_SECTION, key, line,
                        "'" + keyword + "' is not a request keyword: it adds a user data source",
                        "use one of " + known});
}

static void CheckInstall(const RawFile& file, Findings& findings)
{
    std::string text = ReadFullValue(INSTALL_MANAGER_SECTION, INSTALL_KEY);
    size_t start = text.find_first_not_of("+- \t");
    if (text.empty() || (start != std::string::npos && text[start] >= '0' && text[start] <= '9'))
        return;
    findings.push_back({"not-a-number", INSTALL_MANAGER_SECTION, INSTALL_KEY,
                        LineOf(file, INSTALL_MANAGER_SECTION, INSTALL_KEY),
                        "Install=" + text + " is not a number and reads as 0: no driver manager",
                        "write Install=1 to install it, Install=0 not to"});
}

void FindValueFindings(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    CheckCut(SETTINGS_SECTION, TITLE_KEY, plan.caption, TITLE_SIZE - 1, file, findings);
    CheckCut(SETTINGS_SECTION, LOAD_MESSAGE_KEY, plan.message, LOAD_MESSAGE_SIZE - 1, file, findings);
    CheckInstall(file, findings);
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        int n = static_cast<int>(i) + 1;
        CheckCut(DATA_SOURCES_SECTION, ListKeyName(DATA_SOURCE_DRIVER_KEY_FORMAT, n), entry.driver,
                 DRIVER_NAME_SIZE - 1, file, findings);
        std::string requestKey = ListKeyName(DATA_SOURCE_REQUEST_KEY_FORMAT, n);
        CheckCut(DATA_SOURCES_SECTION, requestKey, entry.keyword, REQUEST_KEYWORD_SIZE - 1, file,
                 findings);
        CheckKeyword(requestKey, entry.keyword, file, findings);
    }
}
