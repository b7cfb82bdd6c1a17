// velloran-apply through the recording fake installer: the same calls as
// velloran for every scenario file (load and unload included, the error
// detail it asks for left out), and failures carried with the installer's
// own message into the text, the JSON and the log.
#include "program_run.h"
#include "setup_texts.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sys/stat.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Recorded {
    ProgramResult run;
    std::string record;
};

Recorded RunRecorded(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& fakeDir, const std::vector<std::string>& more = {})
{
    Sandbox box;
    fs::path log = box.Dir() / "record.log";
    std::vector<std::string> settings = {"LD_LIBRARY_PATH=" + fakeDir,
                                         "VELLORAN_FAKE_LOG=" + log.string()};
    settings.insert(settings.end(), more.begin(), more.end());
    ProgramResult run = RunProgram(box, program, arguments, settings);
    return Recorded{run, ReadText(log)};
}

TEST(ApplyThroughFake, MakesVelloransCallsForEveryScenario)
{
    for (const fs::path& setup : ScenarioSetups(SCENARIO_DIR)) {
        std::vector<std::string> settings = {"VELLORAN_FAKE_ERROR=fake detail"};
        std::string fail = ScenarioFailSetting(ReadText(setup));
        if (!fail.empty())
            settings.push_back("VELLORAN_FAKE_FAIL=" + fail);
        // The second fake lacks SQLConfigDataSource and SQLInstallerError.
        for (const char* fake : {FAKE_INSTALLER_DIR, FAKE_INSTALLER_NOCONFIG_DIR}) {
            SCOPED_TRACE(setup.filename().string() + " with " + fake);
            Recorded velloran = RunRecorded(VELLORAN_PROGRAM, {setup.string()}, fake, settings);
            Recorded apply = RunRecorded(APPLY_PROGRAM, {setup.string()}, fake, settings);
            EXPECT_EQ(ChangingCalls(apply.record), ChangingCalls(velloran.record));
            bool anyFailed = velloran.record.find("-> FALSE") != std::string::npos ||
                             velloran.run.errors.find("Error:") != std::string::npos;
            EXPECT_EQ(apply.run.exitCode, anyFailed ? 1 : 0) << apply.run.output;
            EXPECT_EQ(apply.record.find("SQLInstallerError") != std::string::npos,
                      std::string(fake) == FAKE_INSTALLER_DIR &&
                          velloran.record.find("-> FALSE") != std::string::npos);
        }
    }
}

const char TWO_DRIVERS_TWO_SOURCES[] =
    "[Drivers]\n"
    "Driver1=Good\\0Driver=good.so\n"
    "Driver2=Bad\\0Driver=bad.so\n"
    "[Data Sources]\n"
    "DSDriver1=Good\n"
    "DSAttrib1=DSN=First\\0Database=one\n"
    "DSRequest1=ODBC_ADD_SYS_DSN\n"
    "DSDriver2=Good\n"
    "DSAttrib2=DSN=Second\n"
    "DSRequest2=ODBC_REMOVE_DSN\n";

TEST(ApplyThroughFake, CarriesTheInstallersMessageIntoTextJsonAndLog)
{
    Sandbox box;
    std::string setup = box.Write("setup.ini", TWO_DRIVERS_TWO_SOURCES);
    std::string logFile = (box.Dir() / "apply.log").string();
    // The fake numbers calls by its record, so each run gets its own.
    auto settings = [&box](const std::string& record) {
        return std::vector<std::string>{
            "LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + (box.Dir() / record).string(),
            "VELLORAN_FAKE_FAIL=SQLInstallDriverEx#2,SQLConfigDataSource#1",
            "VELLORAN_FAKE_ERROR=Component not found in the registry"};
    };

    ProgramResult text = RunProgram(box, APPLY_PROGRAM, {"--log", logFile, setup}, settings("rec"));
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(text.output,
              "driver 1 Good: installed\n"
              "driver 2 Bad: failed: Component not found in the registry\n"
              "datasource 1 First: failed: Component not found in the registry\n"
              "datasource 2 Second: removed\n"
              "apply " + setup + " (unixODBC view): 4 entries, 2 changed, 2 failed\n");
    // The fake stores nothing and has no reader: nothing to read back.
    EXPECT_EQ(text.errors, "velloran-apply: the ODBC configuration cannot be read, so the results "
                           "below are the installer's word, not read back\n");

    // The detail is asked after the failed call, before the library goes.
    std::string record = ReadText(box.Dir() / "rec");
    EXPECT_NE(record.find("request=2 usage=non-NULL -> FALSE\n"
                          "SQLInstallerError#1 record=1 -> SQL_SUCCESS\n"
                          "SQLInstallerError#2 record=2 -> SQL_NO_DATA\nunload\n"),
              std::string::npos)
        << record;

    ProgramResult quiet = RunProgram(box, APPLY_PROGRAM, {"--quiet", setup}, settings("quiet"));
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.output,
              "driver 2 Bad: failed: Component not found in the registry\n"
              "datasource 1 First: failed: Component not found in the registry\n"
              "apply " + setup + " (unixODBC view): 4 entries, 2 changed, 2 failed\n");

    ProgramResult json = RunProgram(box, APPLY_PROGRAM, {"--json", "--log", logFile, setup}, settings("json"));
    EXPECT_EQ(json.exitCode, 1);
    nlohmann::json report = nlohmann::json::parse(json.output);
    EXPECT_EQ(report["file"], setup);
    EXPECT_EQ(report["mode"], "apply");
    EXPECT_EQ(report["view"], "unixODBC");
    EXPECT_EQ(report["changed"], true);
    EXPECT_EQ(report["failed"], 2);
    ASSERT_EQ(report["entries"].size(), 4u);
    EXPECT_EQ(report["entries"][1],
              nlohmann::json::parse(R"({"phase": "driver", "index": 2, "key": "Driver2",
                  "name": "Bad", "outcome": "failed", "changed": false, "failed": true,
                  "errors": [{"code": 1, "message": "Component not found in the registry"}],
                  "changes": []})"));
    EXPECT_EQ(report["entries"][3],
              nlohmann::json::parse(R"({"phase": "datasource", "index": 2, "key": "DSDriver2",
                  "name": "Second", "request": {"keyword": "ODBC_REMOVE_DSN", "code": 3},
                  "outcome": "removed", "changed": true, "failed": false, "errors": [],
                  "changes": []})"));

    // Appended by both runs, each line stamped.
    std::string log = ReadText(logFile);
    std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ (.*))");
    std::istringstream lines(log);
    std::vector<std::string> logged;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, stamped)) << line;
        logged.push_back(match[1]);
    }
    ASSERT_EQ(logged.size(), 10u) << log;
    EXPECT_EQ(logged[1], "driver 2 Bad: failed: Component not found in the registry");
    EXPECT_EQ(logged[6], logged[1]);
}

TEST(ApplyThroughFake, ExitStatusForAnUnwritableLogEmptyFileAndWrongArguments)
{
    Sandbox box;
    std::string setup = box.Write("setup.ini", TWO_DRIVERS_TWO_SOURCES);
    std::vector<std::string> fake = {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR};
    ProgramResult unwritable = RunProgram(
        box, APPLY_PROGRAM, {"--log", (box.Dir() / "no" / "such.log").string(), setup}, fake);
    // The run goes on, but a report that was not kept is a failure.
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.errors.find("cannot write the log"), std::string::npos);
    EXPECT_NE(unwritable.output.find("4 entries, 4 changed, 0 failed"), std::string::npos);
    // A FIFO or a device is refused at once: nothing done, nothing waited on.
    fs::path fifo = box.Dir() / "log.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& log : {fifo.string(), std::string("/dev/full")}) {
        ProgramResult refused = RunProgram(box, APPLY_PROGRAM, {"--log", log, setup}, fake);
        EXPECT_EQ(refused.exitCode, 2) << log;
        EXPECT_NE(refused.errors.find("not a regular file"), std::string::npos) << refused.errors;
        EXPECT_EQ(refused.output, "") << log;
    }

    ProgramResult empty = RunProgram(box, APPLY_PROGRAM, {box.Write("empty.ini", "")}, fake);
    EXPECT_EQ(empty.exitCode, 0);
    ProgramResult emptyCheck = RunProgram(box, APPLY_PROGRAM, {"--check", box.Write("empty.ini", "")}, fake);
    EXPECT_EQ(emptyCheck.exitCode, 0);

    for (std::vector<std::string> wrong :
         {std::vector<std::string>{}, {"--verbose", setup}, {setup, setup}, {""}, {"--log"},
          {setup, "--log"}}) {
        Recorded run = RunRecorded(APPLY_PROGRAM, wrong, FAKE_INSTALLER_DIR);
        EXPECT_EQ(run.run.exitCode, 2) << wrong.size();
        EXPECT_EQ(run.record, "");
    }
    // --help and --version answer on stdout, exit 0 and load nothing.
    for (std::vector<std::string> information :
         {std::vector<std::string>{"--help"}, {"--check", "--version", setup}}) {
        Recorded run = RunRecorded(APPLY_PROGRAM, information, FAKE_INSTALLER_DIR);
        EXPECT_EQ(run.run.exitCode, 0);
        EXPECT_EQ(run.record, "");
        EXPECT_TRUE(run.run.output.rfind(information[0] == "--help" ? "usage: velloran-apply "
                                                                     : "velloran-apply 1.0.0\n", 0) == 0)
            << run.run.output;
    }
}

}  // namespace
