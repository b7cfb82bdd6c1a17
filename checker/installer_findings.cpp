// Findings about what the installer stores otherwise than the file says, so
// that a run fails or a re-run never finds what the last one stored: blanks
// around a key, a value or a name (the installer trims them), a key given
// twice in one list (it keeps one), names that differ only in case (it takes
// them as one), an empty Setup= or Driver=, a data-source name longer than
// ODBC allows; and secrets stored where every local user can read them.
#include "checker.h"
#include "stored_blanks.h"

#include <unordered_map>

// SQL_MAX_DSN_LENGTH: the setup library refuses a longer name.
const size_t LONGEST_DSN = 32;

namespace {

// The first entry of a name, for the ones that differ from it in case only.
struct FirstName {
    std::string name;
    std::string key;
    int line;
};
typedef std::unordered_map<std::string, FirstName> FirstNames;

// One list as the checks see it: where it is, and what the installer does
// with it.
struct ListPlace {
    LPCSTR section;
    std::string key;
    int line;
    LPCSTR what;  // "driver", "translator", "data source"
};

}  // namespace

static void CheckBlankName(const ListPlace& place, LPCSTR what, const std::string& name,
                           Findings& findings)
{
    if (!HasBlankEdge(name))
        return;
    std::string trimmed = MaskedElement(TrimmedAsStored(name));
    findings.push_back({"blank-name", place.section, place.key, place.line,
                        std::string("the ") + what + " '" + MaskedElement(name) +
                            "' starts or ends with a blank, which the installer trims: a re-run "
                            "never finds it as written, and unixODBC adds another empty [" +
                            trimmed + "] section each run",
                        "remove the blanks: '" + trimmed + "'"});
}

static void CheckCaseClash(const ListPlace& place, LPCSTR what, const std::string& name,
                           FirstNames& seen, Findings& findings)
{
    std::string trimmed = TrimmedAsStored(name);
    if (trimmed.empty())
        return;
    auto found = seen.emplace(FoldName(trimmed), FirstName{trimmed, place.key, place.line});
    const FirstName& first = found.first->second;
    if (found.second || first.name == trimmed)
        return;
    findings.push_back({"case-clash", place.section, place.key, place.line,
                        std::string("the ") + what + " '" + MaskedElement(trimmed) + "' differs from '" +
                            MaskedElement(first.name) +
                            "' (" + first.key + ", line " + std::to_string(first.line) +
                            ") in case only: the installer takes both as one, so each run "
                            "overwrites one with the other",
                        "spell the name the same way in both, or remove one of them"});
}

static void CheckBlankAttribute(const ListPlace& place, const std::string& element,
                                const std::string& key, const std::string& value, bool valueToo,
                                Findings& findings)
{
    bool keyBlank = HasBlankEdge(key);
    bool valueBlank = valueToo && HasBlankEdge(value);
    if (!keyBlank && !valueBlank)
        return;
    LPCSTR which = keyBlank && valueBlank ? "its key and its value" : keyBlank ? "its key" : "its value";
    findings.push_back({"blank-attribute", place.section, place.key, place.line,
                        "'" + MaskedElement(element) + "' has blanks around " + which +
                            ", which the installer trims: a re-run never finds it as written",
                        "write '" + MaskedElement(TrimmedAsStored(key) + "=" + TrimmedAsStored(value)) + "'"});
}

static void CheckEmptyLibrary(const ListPlace& place, const std::string& key, const std::string& value,
                              Findings& findings)
{
    std::string folded = FoldName(key);
    if (!TrimmedAsStored(value).empty())
        return;
    if (folded == "setup")
        findings.push_back({"empty-library", place.section, place.key, place.line,
                            TrimmedAsStored(key) + "= is empty: every data source of this driver then fails "
                                           "with \"Could not find Setup property\"",
                            "name the driver's setup library (on Linux, Velloran's "
                            "libvelloran-setup.so serves any driver), or remove the element"});
    else if (folded == "driver")
        findings.push_back({"empty-library", place.section, place.key, place.line,
                            TrimmedAsStored(key) + "= is empty: the driver manager has no library to "
                                           "load, so every connection through this driver fails",
                            "name the driver's library"});
}

// <secrets>: the secret keys of one list that the installer stores
// where every local user can read them.
static void AddSharedSecret(const ListPlace& place, const std::vector<std::string>& secrets,
                            WORD request, Findings& findings)
{
    if (secrets.empty())
        return;
    std::string names = JoinNames(secrets);
    if (place.section == std::string(DATA_SOURCES_SECTION)) {
        findings.push_back({"shared-secret", place.section, place.key, place.line,
                            "the system data source (" + std::string(RequestKeywordName(request)) +
                                ") keeps " + names +
                                " where every local user can read it: in the system odbc.ini on "
                                "Linux, under HKLM on Windows",
                            "make it a user data source (ODBC_ADD_DSN), or use the driver's own "
                            "credential method (a trusted connection, a key store) instead"});
    } else {
        findings.push_back({"shared-secret", place.section, place.key, place.line,
                            std::string("the ") + place.what + " keeps " + names +
                                " where every local user can read it: in odbcinst.ini on Linux, "
                                "under HKLM on Windows",
                            "remove it from the " + std::string(place.what) +
                                "'s list: give it in a user data source, or use the driver's own "
                                "credential method (a trusted connection, a key store)"});
    }
}

static void CheckLongDsn(const ListPlace& place, const std::string& name, Findings& findings)
{
    if (name.size() <= LONGEST_DSN)
        return;
    findings.push_back({"long-dsn", place.section, place.key, place.line,
                        "the data source name '" + name + "' is " + std::to_string(name.size()) +
                            " characters; ODBC allows " + std::to_string(LONGEST_DSN) +
                            " (SQL_MAX_DSN_LENGTH), and the setup library refuses it",
                        "shorten the name to " + std::to_string(LONGEST_DSN) + " characters or fewer"});
}

// The key=value elements of a list from <first> on. <shared>: a secret
// there is stored where every local user can read it.
static void CheckAttributes(const ListPlace& place, const Elements& elements, size_t first,
                            bool shared, WORD request, Findings& findings)
{
    bool dataSource = place.section == std::string(DATA_SOURCES_SECTION);
    std::unordered_map<std::string, std::string> keys;  // folded to the first spelling
    std::vector<std::string> secrets;
    for (size_t i = first; i < elements.size(); ++i) {
        const std::string& element = elements[i];
        size_t equals = element.find('=');
        if (equals == std::string::npos || TrimmedAsStored(element.substr(0, equals)).empty())
            continue;
        std::string key = element.substr(0, equals);
        std::string value = element.substr(equals + 1);
        bool isDsn = dataSource && FoldName(key) == "dsn";
        if (isDsn) {
            CheckBlankName(place, "data source name", value, findings);
            CheckLongDsn(place, TrimmedAsStored(value), findings);
        }
        CheckBlankAttribute(place, element, key, value, !isDsn, findings);
        auto seen = keys.emplace(FoldName(key), TrimmedAsStored(key));
        if (!seen.second)
            findings.push_back({"duplicate-attribute", place.section, place.key, place.line,
                                TrimmedAsStored(key) + " is given twice in " + place.key + " (as " +
                                    seen.first->second + " and " + TrimmedAsStored(key) +
                                    "): the installer keeps one of them, so a re-run never finds "
                                    "the list as written",
                                "keep one of them"});
        if (!dataSource && std::string(place.what) == "driver")
            CheckEmptyLibrary(place, key, value, findings);
        if (shared && IsSecretKey(key) && !TrimmedAsStored(value).empty())
            secrets.push_back(TrimmedAsStored(key));
    }
    AddSharedSecret(place, secrets, request, findings);
}

static void CheckComponents(const ComponentPlan& list, LPCSTR what, const RawFile& file,
                            Findings& findings)
{
    FirstNames seen;
    std::string name = std::string(what) + " name";
    for (const ComponentEntry& entry : list.entries) {
        if (entry.elements.empty())
            continue;
        ListPlace place{list.section, entry.key, LineOf(file, list.section, entry.key), what};
        CheckBlankName(place, name.c_str(), entry.elements[0], findings);
        CheckCaseClash(place, name.c_str(), entry.elements[0], seen, findings);
        // Drivers and translators are system-wide on both systems.
        CheckAttributes(place, entry.elements, 1, true, 0, findings);
    }
}

static void CheckDataSources(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    FirstNames seen[2];  // user, system
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        std::string key = ListKeyName(DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, static_cast<int>(i) + 1);
        ListPlace place{DATA_SOURCES_SECTION, key, LineOf(file, DATA_SOURCES_SECTION, key), "data source"};
        bool system = IsSystemRequest(entry.request) != FALSE;
        // Removing stores nothing, so only an add or a configure shares a secret.
        bool stored = system && entry.request != ODBC_REMOVE_SYS_DSN;
        CheckAttributes(place, entry.attributes, 0, stored, entry.request, findings);
        for (const std::string& element : entry.attributes) {
            size_t equals = element.find('=');
            if (equals != std::string::npos && FoldName(element.substr(0, equals)) == "dsn") {
                CheckCaseClash(place, system ? "system data source name" : "user data source name",
                               element.substr(equals + 1), seen[system], findings);
                break;
            }
        }
    }
}

void FindInstallerFindings(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    CheckComponents(plan.translators, "translator", file, findings);
    CheckComponents(plan.drivers, "driver", file, findings);
    CheckDataSources(plan, file, findings);
}
