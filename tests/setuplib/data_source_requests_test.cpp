// The built program's six data-source requests against unixODBC's own
// installer library, with a driver whose Setup= is the setup library: user
// data sources land in the ODBCINI file, system ones in $ODBCSYSINI/odbc.ini,
// which does not exist before the run.
#include "ini_file.h"

#include <gtest/gtest.h>

namespace {

struct Request {
    const char* keyword;
    const char* attributes;  // as in a setup file, \0 written out
};

struct RequestCase {
    const char* name;
    std::vector<Request> requests;
    int failures;
    IniSections user;
    IniSections system;
};

const char REQUEST_FAILURE[] = "Error: Failed to configure ODBC data source.\n";

std::string SetupFile(const std::vector<Request>& requests)
{
    std::string text = "[Drivers]\nDriver1=Alpha\\0Driver=/opt/alpha/libalpha.so\\0Setup=" +
                       std::string(SETUP_LIBRARY) + "\n[Data Sources]\n";
    for (size_t i = 0; i < requests.size(); ++i) {
        std::string n = std::to_string(i + 1);
        text += "DSDriver" + n + "=Alpha\nDSAttrib" + n + "=" + requests[i].attributes +
                "\nDSRequest" + n + "=" + requests[i].keyword + "\n";
    }
    return text;
}

const IniSections NO_SECTIONS;

const RequestCase REQUEST_CASES[] = {
    {"AddUser",
     {{"ODBC_ADD_DSN", "DSN=Sales\\0Database=/srv/sales.db"}},
     0,
     {{"Sales", {{"Driver", "Alpha"}, {"Database", "/srv/sales.db"}}}},
     NO_SECTIONS},
    {"AddSystemWithoutSystemFile",
     {{"ODBC_ADD_SYS_DSN", "DSN=Sales\\0Database=/srv/sales.db"}},
     0,
     NO_SECTIONS,
     {{"Sales", {{"Driver", "Alpha"}, {"Database", "/srv/sales.db"}}}}},
    {"ConfigureUser",
     {{"ODBC_ADD_DSN", "DSN=Sales\\0Database=/srv/a.db"},
      {"ODBC_CONFIG_DSN", "DSN=Sales\\0Database=/srv/b.db\\0ReadOnly=1"}},
     0,
     {{"Sales", {{"Driver", "Alpha"}, {"Database", "/srv/b.db"}, {"ReadOnly", "1"}}}},
     NO_SECTIONS},
    {"ConfigureSystem",
     {{"ODBC_ADD_SYS_DSN", "DSN=Sales\\0Database=/srv/a.db"},
      {"ODBC_CONFIG_SYS_DSN", "DSN=Sales\\0Database=/srv/b.db\\0ReadOnly=1"}},
     0,
     NO_SECTIONS,
     {{"Sales", {{"Driver", "Alpha"}, {"Database", "/srv/b.db"}, {"ReadOnly", "1"}}}}},
    {"RemoveUser",
     {{"ODBC_ADD_DSN", "DSN=Sales\\0Database=/srv/a.db"},
      {"ODBC_ADD_DSN", "DSN=Archive\\0Database=/srv/b.db"},
      {"ODBC_REMOVE_DSN", "DSN=Sales"}},
     0,
     {{"Archive", {{"Driver", "Alpha"}, {"Database", "/srv/b.db"}}}},
     NO_SECTIONS},
    {"RemoveSystem",
     {{"ODBC_ADD_SYS_DSN", "DSN=Sales\\0Database=/srv/a.db"},
      {"ODBC_ADD_SYS_DSN", "DSN=Archive\\0Database=/srv/b.db"},
      {"ODBC_REMOVE_SYS_DSN", "DSN=Sales"}},
     0,
     NO_SECTIONS,
     {{"Archive", {{"Driver", "Alpha"}, {"Database", "/srv/b.db"}}}}},
    // The same name as a user and as a system data source: each request
    // touches its own file only.
    {"UserAndSystemApart",
     {{"ODBC_ADD_DSN", "DSN=Sales\\0Database=/srv/user.db"},
      {"ODBC_ADD_SYS_DSN", "DSN=Sales\\0Database=/srv/system.db"},
      {"ODBC_REMOVE_DSN", "DSN=Sales"},
      {"ODBC_CONFIG_DSN", "DSN=Sales\\0Database=/srv/other.db"}},
     1,
     NO_SECTIONS,
     {{"Sales", {{"Driver", "Alpha"}, {"Database", "/srv/system.db"}}}}},
    {"ConfigureOrRemoveMissingFails",
     {{"ODBC_CONFIG_DSN", "DSN=Ghost\\0Database=/srv/a.db"},
      {"ODBC_REMOVE_DSN", "DSN=Ghost"},
      {"ODBC_CONFIG_SYS_DSN", "DSN=Ghost\\0Database=/srv/a.db"},
      {"ODBC_REMOVE_SYS_DSN", "DSN=Ghost"}},
     4,
     NO_SECTIONS,
     NO_SECTIONS},
    // Refused before anything is written; the good entry after them still runs.
    {"MalformedListsFail",
     {{"ODBC_ADD_DSN", "Database=/srv/a.db"},
      {"ODBC_ADD_DSN", "DSN=Sales\\0ReadOnly"},
      {"ODBC_ADD_SYS_DSN", "DSN=Sales\\0=1"},
      {"ODBC_ADD_SYS_DSN", "DSN=Bad[Name]"},
      {"ODBC_ADD_DSN", ""},
      {"ODBC_ADD_DSN", "DSN=Kept"}},
     5,
     {{"Kept", {{"Driver", "Alpha"}}}},
     NO_SECTIONS},
    // Keywords that would read back as a section or a comment: each request
    // gets its warning and the data-source files stay as they were.
    {"InjectedSectionsRefused",
     {{"ODBC_ADD_SYS_DSN", "DSN=Kept\\0Database=/srv/a.db"},
      {"ODBC_ADD_SYS_DSN", "DSN=Inj\\0[Evil]=1"},
      {"ODBC_CONFIG_SYS_DSN", "DSN=Kept\\0;Database=/srv/b.db"},
      {"ODBC_ADD_DSN", "DSN=Inj\\0#Note=1"}},
     3,
     NO_SECTIONS,
     {{"Kept", {{"Driver", "Alpha"}, {"Database", "/srv/a.db"}}}}},
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const RequestCase& c, std::ostream* os)
{
    *os << c.name;
}

class DataSourceRequests : public testing::TestWithParam<RequestCase> {};

TEST_P(DataSourceRequests, ChangeTheRightFile)
{
    const RequestCase& c = GetParam();
    Sandbox box;
    std::string setup = box.Write("setup.ini", SetupFile(c.requests));
    ProgramResult run = RunWithUserIni(box, VELLORAN_PROGRAM, {setup});
    EXPECT_EQ(run.exitCode, 0);
    std::string errors;
    for (int i = 0; i < c.failures; ++i)
        errors += REQUEST_FAILURE;
    EXPECT_EQ(run.errors, errors);
    EXPECT_EQ(ReadIni(UserIni(box)), c.user);
    EXPECT_EQ(ReadIni(box.OdbcDir() / "odbc.ini"), c.system);
}

INSTANTIATE_TEST_SUITE_P(UnixOdbc, DataSourceRequests, testing::ValuesIn(REQUEST_CASES),
                         [](const testing::TestParamInfo<RequestCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
