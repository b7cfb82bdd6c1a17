// Findings about what unixODBC writes into its own INI files: a driver's
// name becomes the header of its section in odbcinst.ini, a data source's
// name its header in odbc.ini, and each attribute key a line of that
// section. A bracket in a name splits the section, a key starting with '['
// makes a section of its own, one starting with ';' or '#' a comment that
// is lost, and a name over 997 characters overruns the 1,000-byte line
// buffer ("[" name "]" and the line end) unixODBC reads these files with.
#include "checker.h"

// Longest name whose "[name]" line unixODBC still reads whole.
const size_t LONGEST_NAME = 997;

static std::string Trimmed(const std::string& text)
{
    size_t start = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

static std::string Shown(const std::string& name)
{
    return name.size() <= 40 ? name : name.substr(0, 40) + "...";
}

static void CheckName(LPCSTR section, const std::string& key, int line, LPCSTR what, LPCSTR iniFile,
                      const std::string& name, Findings& findings)
{
    // A driver's name is an element of its list like any other.
    std::string shown = Shown(MaskedElement(name));
    if (name.find_first_of("[]") != std::string::npos)
        findings.push_back({"bracket-name", section, key, line,
                            std::string("the ") + what + " '" + shown +
                                "' holds a bracket, which splits its section [" + shown +
                                "] in unixODBC's " + iniFile,
                            "remove [ and ] from the name"});
    if (name.size() > LONGEST_NAME)
        findings.push_back({"long-name", section, key, line,
                            std::string("the ") + what + " '" + shown + "' is " +
                                std::to_string(name.size()) +
                                " characters: unixODBC reads lines of at most 999, so its section "
                                "header breaks in " + iniFile,
                            "shorten the name to 997 characters or fewer"});
}

static void CheckKey(LPCSTR section, const std::string& listKey, int line, LPCSTR iniFile,
                     const std::string& element, Findings& findings)
{
    size_t equals = element.find('=');
    if (equals == std::string::npos)
        return;
    std::string key = Trimmed(element.substr(0, equals));
    if (key.empty())
        return;
    if (key[0] == ';' || key[0] == '#') {
        findings.push_back({"comment-key", section, listKey, line,
                            "the key '" + Shown(key) + "' starts with '" + key[0] +
                                "', so unixODBC's " + iniFile + " reads its line as a comment: '" +
                                Shown(MaskedElement(element)) + "' is lost",
                            "rename the key: no ; or # first, no [ or ]"});
    } else if (key.find_first_of("[]") != std::string::npos) {
        findings.push_back({"header-key", section, listKey, line,
                            "the key '" + Shown(key) + "' holds a bracket" +
                                (key[0] == '[' ? ": in unixODBC's " + std::string(iniFile) +
                                                     " its line starts a section of its own,"
                                                     " which takes the keys after it"
                                               : ", which unixODBC's " + std::string(iniFile) +
                                                     " cannot keep in a key"),
                            "rename the key: no ; or # first, no [ or ]"});
    }
}

static bool IsDataSourceName(const std::string& element)
{
    size_t equals = element.find('=');
    return equals != std::string::npos && FoldName(element.substr(0, equals)) == "dsn";
}

void FindOdbcIniFindings(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    for (const ComponentEntry& entry : plan.drivers.entries) {
        if (entry.elements.empty())
            continue;
        int line = LineOf(file, DRIVERS_SECTION, entry.key);
        CheckName(DRIVERS_SECTION, entry.key, line, "driver name", "odbcinst.ini", entry.elements[0],
                  findings);
        for (size_t i = 1; i < entry.elements.size(); ++i)
            CheckKey(DRIVERS_SECTION, entry.key, line, "odbcinst.ini", entry.elements[i], findings);
    }
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        std::string key = ListKeyName(DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, static_cast<int>(i) + 1);
        int line = LineOf(file, DATA_SOURCES_SECTION, key);
        for (const std::string& element : plan.dataSources[i].attributes) {
            if (IsDataSourceName(element))
                CheckName(DATA_SOURCES_SECTION, key, line, "data source name", "odbc.ini",
                          element.substr(element.find('=') + 1), findings);
            CheckKey(DATA_SOURCES_SECTION, key, line, "odbc.ini", element, findings);
        }
    }
}
