// velloran-apply against the real unixODBC, with Debian's SQLite driver and
// the setup library, in a temporary configuration: the whole cycle of a
// deployment tool (check, apply, check, re-apply with and without
// --skip-unchanged, a changed attribute, removal in both views), and a
// failure carrying unixODBC's own message.
#include "program_run.h"
#include "setup_texts.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <cstdlib>
#include <map>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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
        return RunProgram(box_, program, arguments, Settings({"ODBCINI=" + userIni().string()}));
    }

    // The installer library the suite runs against (another unixODBC when
    // VELLORAN_TEST_INSTALLER_DIR names its folder) on top of `settings`.
    static std::vector<std::string> Settings(std::vector<std::string> settings)
    {
        settings.push_back("LSAN_OPTIONS=detect_leaks=0");
        const char* installer = std::getenv("VELLORAN_TEST_INSTALLER_DIR");
        if (installer != nullptr && installer[0] != '\0')
            settings.push_back(std::string("LD_LIBRARY_PATH=") + installer);
        return settings;
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

namespace {

const char MARKER[] = "Hunter2-marker";

// One case of an administrator's run that once gave an untrue report: the
// configuration before, the setup file's data sources, then runs of
// velloran-apply, each with its options, exit status and outcomes.
struct Step {
    std::vector<std::string> options;
    int status;
    Expected outcomes;
    bool writes;  // false: the configuration files must stay as they were
};
struct TruthRow {
    const char* name;
    std::string drivers;          // replaces the standard [Drivers] when not empty
    std::string dataSources;
    std::string systemIniBefore;  // odbc.ini as found
    std::vector<Step> steps;
    std::vector<std::string> inReport;  // text the last run's JSON must hold
};

const std::vector<TruthRow> TRUTH_ROWS = {
    {"blanks and a repeated key settle after one run",
     "[Drivers]\nDriver1=SQLite3\\0Description = SQLite driver\\0 Driver=" + std::string(SQLITE_DRIVER) +
         "\\0Setup=" SETUP_LIBRARY "\n",
     "DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0 Database = /srv/x\\0Timeout=1\\0timeout=2\n"
     "DSRequest1=ODBC_ADD_SYS_DSN\n",
     "",
     {{{}, 0, {"installed", "added"}, true},
      {{"--check", "--skip-unchanged"}, 0, {"unchanged", "unchanged"}, false},
      {{"--skip-unchanged"}, 0, {"unchanged", "unchanged"}, false},
      {{"--skip-unchanged"}, 0, {"unchanged", "unchanged"}, false}},
     {}},
    {"names the installer trims are refused, with no call",
     "[Drivers]\nDriver1=SQLite3 \\0Driver=" + std::string(SQLITE_DRIVER) + "\n",
     "DSDriver1=SQLite3\nDSAttrib1=DSN=Sales \\0Database=/srv/x\nDSRequest1=ODBC_ADD_SYS_DSN\n", "",
     {{{"--check"}, 1, {"fail", "fail"}, false}, {{}, 1, {"failed", "failed"}, false}},
     {"has a blank at its start or end"}},
    {"names that differ only in case: the later is refused",
     "[Drivers]\nDriver1=SQLite3\\0Driver=" + std::string(SQLITE_DRIVER) + "\\0Setup=" SETUP_LIBRARY
     "\nDriver2=sqlite3\\0Driver=" + std::string(SQLITE_DRIVER) + "\n",
     "", "", {{{}, 1, {"installed", "failed"}, true}, {{"--skip-unchanged"}, 1, {"unchanged", "failed"}, false}},
     {"an earlier driver is named 'SQLite3'"}},
    {"re-adding replaces the data source and names every key it removed",
     "", "DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0Database=/srv/x\nDSRequest1=ODBC_ADD_SYS_DSN\n",
     "[Sales]\nDriver=SQLite3\nDatabase=/srv/x\nPWD=" + std::string(MARKER) + "\nTraceFile=/tmp/t\n",
     {{{"--check"}, 1, {"install", "configure"}, false}, {{}, 0, {"installed", "configured"}, true}},
     {R"({"after":null,"before":"********","key":"PWD"})",
      R"({"after":null,"before":"/tmp/t","key":"TraceFile"})"}},
    {"a configure cannot bind the data source to another driver",
     "", "DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0Timeout=5\nDSRequest1=ODBC_CONFIG_SYS_DSN\n",
     "[Sales]\nDriver=OldDrv\nDatabase=/srv/x\n",
     {{{"--check", "--skip-unchanged"}, 1, {"install", "fail"}, false},
      {{}, 1, {"installed", "failed"}, true},
      {{"--skip-unchanged"}, 1, {"unchanged", "failed"}, false}},
     {"uses driver 'OldDrv'"}},
    {"a configure after an add to the same store reads the store again safely",
     "", "DSDriver1=SQLite3\nDSAttrib1=DSN=New\\0Database=/srv/n\nDSRequest1=ODBC_ADD_SYS_DSN\n"
         "DSDriver2=SQLite3\nDSAttrib2=DSN=Sales\\0Timeout=5\nDSRequest2=ODBC_CONFIG_SYS_DSN\n",
     "[Sales]\nDriver=SQLite3\nDatabase=/srv/x\n",
     {{{}, 0, {"installed", "added", "configured"}, true}},
     {R"({"after":"5","before":null,"key":"Timeout"})"}},
    {"removing a data source that is not there: --check predicts each run",
     "", "DSDriver1=SQLite3\nDSAttrib1=DSN=Gone\nDSRequest1=ODBC_REMOVE_SYS_DSN\n", "",
     {{{"--check"}, 1, {"install", "fail"}, false},
      {{}, 1, {"installed", "failed"}, true},
      {{"--check", "--skip-unchanged"}, 0, {"unchanged", "unchanged"}, false},
      {{"--skip-unchanged"}, 0, {"unchanged", "unchanged"}, false}},
     {}},
};

void PrintTo(const TruthRow& row, std::ostream* out)
{
    *out << row.name;
}

class ApplyTellsTheTruth : public ApplyOnUnixOdbc, public testing::WithParamInterface<TruthRow> {};

}  // namespace

TEST_P(ApplyTellsTheTruth, ReportsWhatTheConfigurationHolds)
{
    const TruthRow& row = GetParam();
    box_.Write(fs::relative(systemIni(), box_.Dir()).string(), row.systemIniBefore);
    std::string setup = row.drivers.empty()
                            ? Write(row.dataSources)
                            : box_.Write("setup.ini", row.drivers + "[Data Sources]\n" + row.dataSources);
    nlohmann::json report;
    for (size_t i = 0; i < row.steps.size(); ++i) {
        const Step& step = row.steps[i];
        int status = -1;
        auto before = Files();
        EXPECT_EQ(Outcomes(step.options, setup, status, &report), step.outcomes) << "step " << i;
        EXPECT_EQ(status, step.status) << "step " << i << ": " << report.dump();
        if (!step.writes) {
            EXPECT_TRUE(Files() == before) << "step " << i << " changed a file";
        }
    }
    std::string last = report.dump();
    for (const std::string& text : row.inReport)
        EXPECT_NE(last.find(text), std::string::npos) << text << " not in " << last;
    EXPECT_EQ(last.find(MARKER), std::string::npos) << "the password leaked: " << last;
}

INSTANTIATE_TEST_SUITE_P(Rows, ApplyTellsTheTruth, testing::ValuesIn(TRUTH_ROWS),
                         [](const testing::TestParamInfo<TruthRow>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

namespace {

// A small tmpfs as the configuration folder, so writes run out of room.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& folder) : folder_(folder)
    {
        fs::create_directories(folder);
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            umount2(folder_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    // Takes every page that is left.
    void Fill() const
    {
        std::ofstream filler(folder_ / "filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }

private:
    fs::path folder_;
    bool mounted_;
};

std::string ManyDrivers(int count)
{
    std::string drivers = "[Drivers]\n";
    for (int i = 1; i <= count; ++i)
        drivers += "Driver" + std::to_string(i) + "=Bench Driver " + std::to_string(i) +
                   "\\0Driver=/opt/bench/" + std::to_string(i) + ".so\n";
    return drivers;
}

}  // namespace

TEST_F(ApplyOnUnixOdbc, AFullDiskFailsTheEntryAndNamesWhatWasLost)
{
    fs::path folder = box_.Dir() / "small";
    SmallDisk disk(folder);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a 16 KiB tmpfs needs root";
    std::vector<std::string> small = Settings({"ODBCSYSINI=" + folder.string(),
                                               "ODBCINI=" + (folder / "user.ini").string()});
    std::string setup = box_.Write("many.ini", ManyDrivers(300));
    for (const char* options : {"", "--skip-unchanged"}) {
        ProgramResult run = RunProgram(box_, APPLY_PROGRAM,
                                       {std::string(options).empty() ? "--json" : options, "--json", setup},
                                       small);
        EXPECT_EQ(run.exitCode, 1) << options;
        nlohmann::json report = nlohmann::json::parse(run.output);
        IniSections stored = ReadIni(folder / "odbcinst.ini");
        int cut = 0;
        for (const nlohmann::json& entry : report["entries"]) {
            bool held = stored[entry["name"]]["Driver"] != "";
            // Nothing reported done that the file does not hold.
            EXPECT_TRUE(held || entry["outcome"] == "failed") << entry.dump();
            cut += entry["outcome"] == "failed" ? 1 : 0;
        }
        EXPECT_GT(cut, 0) << options;
        EXPECT_EQ(report["failed"], cut);
    }

    // One data source configured on the full disk: unixODBC cuts the file,
    // and the sections at its end are lost, though nobody asked for them.
    fs::remove(folder / "odbcinst.ini");
    std::string setupOfDrivers = Write("");
    ASSERT_EQ(RunProgram(box_, APPLY_PROGRAM, {setupOfDrivers}, small).exitCode, 0);
    std::string others;
    for (int i = 1; i <= 30; ++i)
        others += "[Other" + std::to_string(i) + "]\nDriver=SQLite3\nDatabase=" + std::string(230, 'd') + "\n";
    box_.Write("small/odbc.ini", "[Sales]\nDriver=SQLite3\nDatabase=/srv/x\n" + others);
    disk.Fill();
    setup = box_.Write("note.ini", "[Data Sources]\nDSDriver1=SQLite3\nDSAttrib1=DSN=Sales\\0Note=" +
                                       std::string(900, 'n') + "\nDSRequest1=ODBC_CONFIG_SYS_DSN\n");
    ProgramResult run = RunProgram(box_, APPLY_PROGRAM, {"--json", setup}, small);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    nlohmann::json report = nlohmann::json::parse(run.output);
    ASSERT_FALSE(report["lost"].empty()) << run.output;
    EXPECT_EQ(report["lost"].back()["section"], "Other30");
    EXPECT_EQ(ReadIni(folder / "odbc.ini").count("Other30"), 0u);
}

TEST_F(ApplyOnUnixOdbc, ASignalEndsTheRunAfterTheReport)
{
    std::string setup = box_.Write("many.ini", ManyDrivers(1500));
    StartedProgram started = StartProgram(box_, APPLY_PROGRAM, {"--json", setup},
                                          Settings({"ODBCINI=" + userIni().string()}));
    // Mid-run: some drivers are in the file already.
    for (int wait = 0; wait < 2000 && ReadIni(odbcinst()).size() < 20; ++wait)
        usleep(5000);
    kill(started.pid, SIGTERM);
    ProgramResult run = FinishProgram(started);
    EXPECT_EQ(run.exitCode, 128 + SIGTERM);
    nlohmann::json report = nlohmann::json::parse(run.output);
    EXPECT_EQ(report["interrupted"], "SIGTERM");
    size_t reported = report["entries"].size();
    EXPECT_LT(reported, 1500u) << "the signal came after the run";
    EXPECT_EQ(ReadIni(odbcinst()).size(), reported) << "the file and the report disagree";
    for (const nlohmann::json& entry : report["entries"])
        EXPECT_EQ(entry["outcome"], "installed") << entry.dump();
}

const char DATA_SOURCE_LINES[] = "DSDriver1=SQLite3\nDSAttrib1=DSN=Sales\nDSRequest1=ODBC_ADD_SYS_DSN\n";

TEST_F(ApplyOnUnixOdbc, WaitsABoundedTimeAndSaysWhyNothingWasDone)
{
    std::string setup = Write("");
    int folder = open(box_.OdbcDir().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);
    auto before = Files();
    ProgramResult held = Run(APPLY_PROGRAM, {"--wait", "1", setup});
    close(folder);
    EXPECT_EQ(held.exitCode, 1);
    EXPECT_NE(held.errors.find("another run held the ODBC configuration"), std::string::npos) << held.errors;
    EXPECT_TRUE(Files() == before);

    // On a machine without configuration files, reading creates none.
    for (const fs::path& file : {odbcinst(), systemIni(), userIni()})
        fs::remove(file);
    for (std::vector<std::string> read : {std::vector<std::string>{"--check", Write(DATA_SOURCE_LINES)},
                                          {"--check", "--skip-unchanged", Write(DATA_SOURCE_LINES)},
                                          {"--list"}}) {
        ProgramResult run = Run(APPLY_PROGRAM, read);
        EXPECT_EQ(run.exitCode, read[0] == "--list" ? 0 : 1) << run.errors;
        for (const fs::path& file : {odbcinst(), systemIni(), userIni()})
            EXPECT_FALSE(fs::exists(file)) << read[0] << " created " << file;
    }

    // The checker's reasons for a file that cannot be read, and a name's
    // control bytes shown, not sent to the terminal.
    fs::path fifo = box_.Dir() / "setup.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ProgramResult refused = Run(APPLY_PROGRAM, {fifo.string()});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.errors.find("a pipe or FIFO"), std::string::npos) << refused.errors;
    ProgramResult escaped = Run(APPLY_PROGRAM, {box_.Write("escape.ini", "[Drivers]\nDriver1=Bad\x1b[2KName\\0Driver=/x.so\n")});
    EXPECT_EQ(escaped.output.find('\x1b'), std::string::npos);
    EXPECT_NE(escaped.output.find("Bad\\x1B[2KName"), std::string::npos) << escaped.output;
}

// What a run puts in place, the next --skip-unchanged run leaves alone:
// every scenario of the corpus, on the real unixODBC. The driver manager is
// called whenever asked, and what failed is tried again.
TEST_F(ApplyOnUnixOdbc, WhatARunPutsInPlaceIsAFixedPoint)
{
    for (const fs::path& scenario : ScenarioSetups(SCENARIO_DIR)) {
        SCOPED_TRACE(scenario.filename().string());
        for (const fs::path& file : {odbcinst(), systemIni(), userIni()})
            box_.Write(fs::relative(file, box_.Dir()).string(), "");
        int status = -1;
        nlohmann::json first, again;
        Outcomes({}, scenario.string(), status, &first);
        auto applied = Files();
        Outcomes({"--skip-unchanged"}, scenario.string(), status, &again);
        ASSERT_EQ(again["entries"].size(), first["entries"].size());
        for (size_t i = 0; i < first["entries"].size(); ++i) {
            const nlohmann::json& entry = again["entries"][i];
            if (entry["phase"] != "manager" && first["entries"][i]["outcome"] != "failed") {
                EXPECT_EQ(entry["outcome"], "unchanged") << entry.dump();
            }
        }
        EXPECT_TRUE(Files() == applied) << "the second run changed a file";
    }
}
