// The checker's picture of a setup file: the plan the run will follow (read
// through the run's own functions), the file's raw lines (for what the
// profile functions hide), and the findings drawn from both.
#pragma once

#include "secret_keys.h"
#include "setup_walk.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

// Why a list stopped where it did.
enum ListEnd { LIST_END_MISSING, LIST_END_NONE_VALUE, LIST_END_KEY_LIMIT };

struct ComponentEntry {
    std::string key;
    std::string raw;  // the value as read, before decoding
    Elements elements;
};

struct ComponentPlan {
    LPCSTR section;
    LPCSTR keyFormat;
    std::vector<ComponentEntry> entries;
    ListEnd end;
};

struct DataSourceEntry {
    std::string driver;
    std::string rawAttributes;
    Elements attributes;
    std::string keyword;
    WORD request;
};

struct SetupPlan {
    std::string caption;
    std::string message;
    bool installManager;
    ComponentPlan translators;
    ComponentPlan drivers;
    std::vector<DataSourceEntry> dataSources;
    ListEnd dataSourcesEnd;
};

struct RawKey {
    std::string name;
    std::string folded;
    int line;
    bool hasEquals;
};

struct RawSection {
    std::string name;
    std::string folded;
    int line;  // 0 for the keys before any header
    bool repeated;
    std::vector<RawKey> keys;
    std::unordered_map<std::string, size_t> firstKey;  // folded name to index
};

// sections[0] holds the keys before the first header.
struct RawFile {
    std::vector<RawSection> sections;
    // Folded name to the index of the first section of that name (""
    // is sections[0]), so finding a section does not walk them all.
    std::unordered_map<std::string, size_t> firstSection;
};

struct Finding {
    std::string kind;
    std::string section;
    std::string key;
    int line;  // 0 when the key is not in the file
    std::string problem;
    std::string fix;
};
typedef std::vector<Finding> Findings;

// The plan, from the setup file named by SetupFilePath.
void ReadSetupPlan(SetupPlan& plan);

// A value in full (default ""), beyond any buffer the run uses.
std::string ReadFullValue(LPCSTR section, LPCSTR key);

// Numbered key name, e.g. ListKeyName("Driver%d", 3) is "Driver3".
std::string ListKeyName(LPCSTR keyFormat, int index);

// false with a reason when the file cannot be read: the setup file rule
// (SetupFileReadable) applied to the opened file, then the read itself.
bool ScanIniFile(LPCSTR path, RawFile& file, std::string& error);
std::string FoldName(const std::string& name);
// The first section of a name (the only one read), or NULL.
const RawSection* FindRawSection(const RawFile& file, LPCSTR section);
int LineOf(const RawFile& file, LPCSTR section, const std::string& key);
// The number in a folded key of a list ("driver12" for "Driver%d" is 12):
// -1 when the key is not of that list, 0 when its number can never be read
// (none, zero or a leading zero).
long long ListKeyNumber(const std::string& folded, LPCSTR keyFormat);

// "A, B, C" with at most five names and a count of the rest.
std::string JoinNames(const std::vector<std::string>& names);

void FindListFindings(const SetupPlan& plan, const RawFile& file, Findings& findings);
void FindFileFindings(const RawFile& file, Findings& findings);
void FindValueFindings(const SetupPlan& plan, const RawFile& file, Findings& findings);
// Names and keys that break unixODBC's odbcinst.ini and odbc.ini.
void FindOdbcIniFindings(const SetupPlan& plan, const RawFile& file, Findings& findings);

// What the installer stores otherwise than written (blanks, case, a key
// twice, an empty library, a long data-source name), and secrets stored
// where every local user can read them.
void FindInstallerFindings(const SetupPlan& plan, const RawFile& file, Findings& findings);

void PrintTextReport(FILE* out, LPCSTR path, const SetupPlan& plan, const Findings& findings,
                     bool quiet);
void PrintJsonReport(FILE* out, LPCSTR path, const SetupPlan& plan, const Findings& findings,
                     bool quiet);
void PrintJsonError(FILE* out, LPCSTR path, const std::string& error);
