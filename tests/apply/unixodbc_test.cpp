// velloran-apply against the real unixODBC, with Debian's SQLite driver and
// the setup library, in a temporary configuration: the whole cycle of a
// deployment tool (check, apply, check, re-apply with and without
// --skip-unchanged, a changed attribute, removal in both views), and a
// failure carrying unixODBC's own message.
#include "program_run.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <map>

namespace fs = std::filesystem;

namespace {

const char SQLITE_DRIVER[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

struct FileState {
    std::string bytes;
    fs::file_time_type modified;
    bool operator==(const FileState& other) const
    {
        return bytes == other.bytes && modified == other.modified;
    }
};

class ApplyOnUnixOdbc : public testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(SQLITE_DRIVER) || std::string(ISQL_PROGRAM).empty() ||
            std::string(SQLITE3_PROGRAM).empty())
            GTEST_SKIP() << "needs libsqliteodbc, isql and sqlite3";
        // A fresh configuration as Debian ships it: the files exist, empty.
        // (unixODBC's read functions create a missing one, empty.)
        for (const fs::path& file : {odbcinst(), systemIni(), userIni()})
            box_.Write(fs::relative(file, box_.Dir()).string(), "");
        database_ = (box_.Dir() / "sales.db").string();
        ProgramResult created = RunProgram(box_, SQLITE3_PROGRAM,
            {database_, "CREATE TABLE sales(region TEXT, amount INTEGER);"
                        "INSERT INTO sales VALUES ('North', 120), ('South', 80);"},
            {});
        ASSERT_EQ(created.exitCode, 0) << created.errors;
    }

    fs::path odbcinst() const { return box_.OdbcDir() / "odbcinst.ini"; }
    fs::path systemIni() const { return box_.OdbcDir() / "odbc.ini"; }
    fs::path userIni() const { return box_.Dir() / "user" / "odbc.ini"; }

    std::string Write(const std::string& dataSources)
    {
        return box_.Write("setup.ini",
                          "[Drivers]\nDriver1=SQLite3\\0Description=SQLite3 ODBC Driver\\0Driver=" +
                              std::string(SQLITE_DRIVER) + "\\0Setup=" SETUP_LIBRARY "\n"
                              "[Data Sources]\n" + dataSources);
    }

    // unixODBC's profile reader keeps memory in statics that releasing the
    // library does not free (it is found reachable when the library stays
    // loaded), so sanitizer builds count no leaks here.
    ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments)
    {
        return RunProgram(box_, program, arguments,
                          {"ODBCINI=" + userIni().string(), "LSAN_OPTIONS=detect_leaks=0"});
    }

    // The outcomes of a --json run, in order, and its exit status.
    std::vector<std::string> Outcomes(const std::vector<std::string>& flags, const std::string& setup,
                                      int& status, nlohmann::json* report = nullptr)
    {
        std::vector<std::string> arguments = flags;
        arguments.push_back("--json");
        arguments.push_back(setup);
        ProgramResult run = Run(APPLY_PROGRAM, arguments);
        status = run.exitCode;
        nlohmann::json parsed = nlohmann::json::parse(run.output);
        std::vector<std::string> outcomes;
        for (const nlohmann::json& entry : parsed["entries"])
            outcomes.push_back(entry["outcome"]);
        if (report != nullptr)
            *report = parsed;
        return outcomes;
    }

    std::map<std::string, FileState> Files() const
    {
        std::map<std::string, FileState> files;
        for (const fs::path& file : {odbcinst(), systemIni(), userIni()})
            files[file.string()] = FileState{ReadText(file), fs::last_write_time(file)};
        return files;
    }

    std::string UsageCount() { return ReadIni(odbcinst())["SQLite3"]["UsageCount"]; }

    Sandbox box_;
    std::string database_;
};

typedef std::vector<std::string> Expected;

TEST_F(ApplyOnUnixOdbc, ChecksAppliesAndReappliesLikeADeploymentTool)
{
    std::string setup = Write("DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0Description=Sales\\0Database=" +
                              database_ + "\nDSRequest1=ODBC_ADD_SYS_DSN\n"
                              "DSDriver2=SQLite3\nDSAttrib2=DSN=Mine\\0Database=" + database_ +
                              "\nDSRequest2=ODBC_ADD_DSN\n");
    int status = -1;
    auto before = Files();
    EXPECT_EQ(Outcomes({"--check"}, setup, status), (Expected{"install", "add", "add"}));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Files() == before) << "--check changed a file";

    EXPECT_EQ(Outcomes({}, setup, status), (Expected{"installed", "added", "added"}));
    EXPECT_EQ(status, 0);
    std::string query = box_.Write("query.sql", "SELECT region, amount FROM sales ORDER BY region\n");
    for (const char* dsn : {"Sales", "Mine"}) {
        ProgramResult rows = Run("/bin/sh", {"-c", "exec \"$0\" -b -d, \"$1\" < \"$2\"",
                                             ISQL_PROGRAM, dsn, query});
        EXPECT_NE(rows.output.find("North,120\nSouth,80"), std::string::npos)
            << dsn << ": " << rows.output << rows.errors;
    }

    // --check predicts the run it is given: a plain apply installs again.
    EXPECT_EQ(Outcomes({"--check"}, setup, status), (Expected{"install", "configure", "configure"}));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Outcomes({"--check", "--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "unchanged", "unchanged"}));
    EXPECT_EQ(status, 0);

    auto applied = Files();
    EXPECT_EQ(Outcomes({"--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "unchanged", "unchanged"}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(UsageCount(), "1");
    EXPECT_TRUE(Files() == applied) << "--skip-unchanged changed a file";

    // A plain apply installs again, as velloran does: each counts one more.
    nlohmann::json report;
    EXPECT_EQ(Outcomes({}, setup, status, &report), (Expected{"installed", "configured", "configured"}));
    EXPECT_EQ(report["entries"][0]["changes"],
              nlohmann::json::parse(R"([{"key": "UsageCount", "before": "1", "after": "2"}])"));
    EXPECT_EQ(UsageCount(), "2");
    EXPECT_EQ(Run(VELLORAN_PROGRAM, {setup}).exitCode, 0);
    EXPECT_EQ(UsageCount(), "3");

    // A changed attribute: the data source exists, so adding it configures it.
    std::string moved = (box_.Dir() / "moved.db").string();
    fs::copy_file(database_, moved);
    setup = Write("DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0Description=Sales\\0Database=" + moved +
                  "\nDSRequest1=ODBC_ADD_SYS_DSN\n"
                  "DSDriver2=SQLite3\nDSAttrib2=DSN=Mine\\0Database=" + database_ +
                  "\nDSRequest2=ODBC_CONFIG_DSN\n");
    EXPECT_EQ(Outcomes({"--check", "--skip-unchanged"}, setup, status, &report),
              (Expected{"unchanged", "configure", "unchanged"}));
    EXPECT_EQ(report["entries"][1]["changes"],
              nlohmann::json::parse("[{\"key\": \"Database\", \"before\": \"" + database_ +
                                    "\", \"after\": \"" + moved + "\"}]"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Outcomes({"--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "configured", "unchanged"}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadIni(systemIni())["Sales"]["Database"], moved);
    EXPECT_EQ(Outcomes({"--check", "--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "unchanged", "unchanged"}));
    EXPECT_EQ(status, 0);

    // Removal in both views.
    setup = Write("DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\nDSRequest1=ODBC_REMOVE_SYS_DSN\n"
                  "DSDriver2=SQLite3\nDSAttrib2=DSN=Mine\nDSRequest2=ODBC_REMOVE_DSN\n");
    EXPECT_EQ(Outcomes({"--check", "--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "remove", "remove"}));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Outcomes({"--skip-unchanged"}, setup, status), (Expected{"unchanged", "removed", "removed"}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadIni(systemIni()).count("Sales"), 0u);
    EXPECT_EQ(ReadIni(userIni()).count("Mine"), 0u);
    EXPECT_EQ(Outcomes({"--check", "--skip-unchanged"}, setup, status),
              (Expected{"unchanged", "unchanged", "unchanged"}));
    EXPECT_EQ(status, 0);
    // Removing what is gone fails, as it does for velloran, and a plain
    // --check says so first.
    EXPECT_EQ(Outcomes({"--check"}, setup, status), (Expected{"install", "fail", "fail"}));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Outcomes({}, setup, status), (Expected{"installed", "failed", "failed"}));
    EXPECT_EQ(status, 1);
}

TEST_F(ApplyOnUnixOdbc, FailuresCarryUnixOdbcsOwnMessage)
{
    std::string setup = box_.Write("setup.ini",
        "[Drivers]\nDriver1=No Setup\\0Driver=" + std::string(SQLITE_DRIVER) + "\n"
        "[Data Sources]\n"
        "DSDriver1=No Setup\nDSAttrib1=DSN=Broken\\0Database=x.db\nDSRequest1=ODBC_ADD_DSN\n"
        "DSDriver2=No Setup\nDSAttrib2=DSN=Absent\nDSRequest2=ODBC_CONFIG_SYS_DSN\n"
        "DSDriver3=Never Installed\nDSAttrib3=DSN=Orphan\nDSRequest3=ODBC_ADD_SYS_DSN\n");
    int status = -1;
    // The outcome is certain for a driver without a setup library, a missing
    // data source and a missing driver.
    EXPECT_EQ(Outcomes({"--check"}, setup, status), (Expected{"install", "fail", "fail", "fail"}));
    EXPECT_EQ(status, 1);

    nlohmann::json report;
    EXPECT_EQ(Outcomes({}, setup, status, &report), (Expected{"installed", "failed", "failed", "failed"}));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["failed"], 3);
    EXPECT_EQ(report["entries"][1]["errors"],
              nlohmann::json::parse(R"([{"code": 1, "message": "General installer error"}])"));

    ProgramResult text = Run(APPLY_PROGRAM, {setup});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.output.find("datasource 1 Broken: failed: General installer error\n"),
              std::string::npos)
        << text.output;
}

}  // namespace
