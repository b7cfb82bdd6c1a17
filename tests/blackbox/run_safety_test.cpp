// What users do around a run: close the pipe it writes to, start several at
// once, stop one half-way. None of it may end the run early or lose an
// entry that the configuration files held.
#include "program_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A [Drivers] section of `count` drivers named "<prefix> <n>".
std::string DriverList(const std::string& prefix, int count)
{
    std::string text = "[Drivers]\n";
    for (int n = 1; n <= count; ++n)
        text += "Driver" + std::to_string(n) + "=" + prefix + " " + std::to_string(n) +
                "\\0Driver=/opt/" + prefix + "/" + std::to_string(n) + ".so\n";
    return text;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Every line a section header, a key=value pair or blank: no torn line.
bool WellFormed(const std::string& ini)
{
    std::istringstream lines(ini);
    for (std::string line; std::getline(lines, line);) {
        bool header = !line.empty() && line.front() == '[' && line.back() == ']';
        if (!line.empty() && !header && line.find('=') == std::string::npos)
            return false;
    }
    return true;
}

TEST(RunSafety, ClosedPipeDoesNotEndTheRun)
{
    Sandbox box;
    // The translators fail first, so the warnings meet the closed pipe
    // before any driver is installed.
    std::string setup = "[Translators]\n";
    for (int n = 1; n <= 50; ++n)
        setup += "Translator" + std::to_string(n) + "=Tr " + std::to_string(n) +
                 "\\0Translator=/opt/tr.so\n";
    setup += DriverList("Drv", 100);
    fs::path log = box.Dir() / "calls.log";
    StartedProgram run = StartProgram(
        box, VELLORAN_PROGRAM, {box.Write("setup.ini", setup)},
        {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string(),
         "VELLORAN_FAKE_FAIL=SQLInstallTranslatorEx#*"},
        "run", ProgramOutput::CLOSED_PIPE);
    EXPECT_EQ(FinishProgram(run).exitCode, 0);
    EXPECT_EQ(CountOf(ReadText(log), "\nSQLInstallDriverEx#"), 100u);
}

// Four runs at once on one configuration through the real unixODBC: each
// installs 100 drivers and adds 10 system and 10 user data sources through
// the setup library. The runs take turns, and at least one says it waits.
TEST(RunSafety, ConcurrentRunsKeepEveryEntry)
{
    const int runs = 4;
    for (int round = 0; round < 2; ++round) {
        Sandbox box;
        std::vector<StartedProgram> started;
        for (int r = 0; r < runs; ++r) {
            std::string prefix = "Run" + std::to_string(r);
            std::string setup = DriverList(prefix, 100);
            setup += "Driver101=" + prefix + " Setup\\0Driver=/opt/none.so\\0Setup=" SETUP_LIBRARY
                     "\n[Data Sources]\n";
            for (int n = 1; n <= 20; ++n) {
                std::string index = std::to_string(n);
                setup += "DSDriver" + index + "=" + prefix + " Setup\n" + "DSAttrib" + index +
                         "=DSN=" + prefix + "_" + index + "\\0Database=/srv/" + index + ".db\n" +
                         "DSRequest" + index + "=" +
                         (n % 2 == 0 ? "ODBC_ADD_SYS_DSN" : "ODBC_ADD_DSN") + "\n";
            }
            started.push_back(StartProgram(box, VELLORAN_PROGRAM,
                                           {box.Write(prefix + ".ini", setup)},
                                           {"ODBCINI=" + (box.Dir() / "user.ini").string()},
                                           prefix));
        }
        size_t waited = 0;
        for (const StartedProgram& run : started) {
            ProgramResult result = FinishProgram(run);
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_EQ(CountOf(result.errors, "Error:"), 0u) << result.errors;
            waited += CountOf(result.errors, "Waiting for another run");
        }
        EXPECT_GT(waited, 0u);
        EXPECT_EQ(ReadIni(box.OdbcDir() / "odbcinst.ini").size(), runs * 101u);
        for (const fs::path& file : {box.OdbcDir() / "odbc.ini", box.Dir() / "user.ini"}) {
            IniSections sources = ReadIni(file);
            EXPECT_EQ(sources.size(), runs * 10u) << file;
            for (const auto& [name, keys] : sources)
                EXPECT_EQ(keys.count("Database"), 1u) << file << " " << name;
        }
    }
}

// SIGTERM, SIGINT or SIGHUP at a random moment of a long run against the
// real unixODBC: the run ends between two calls, and odbcinst.ini keeps
// every driver it held before.
TEST(RunSafety, StopSignalLeavesOdbcinstIniWhole)
{
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(10, 400);
    for (int attempt = 0; attempt < 15; ++attempt) {
        Sandbox box;
        // A large file makes each of unixODBC's rewrites long.
        std::string before;
        for (int n = 1; n <= 1000; ++n)
            before += "[Old " + std::to_string(n) + "]\nDriver=/opt/old/" + std::to_string(n) +
                      ".so\nUsageCount=1\n\n";
        fs::path odbcinst = box.OdbcDir() / "odbcinst.ini";
        box.Write("odbc/odbcinst.ini", before);
        StartedProgram run = StartProgram(box, VELLORAN_PROGRAM,
                                          {box.Write("setup.ini", DriverList("New", 300))}, {});
        int delay = moment(random);
        int signal = signals[attempt % 3];
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        kill(run.pid, signal);
        FinishProgram(run);
        std::string after = ReadText(odbcinst);
        EXPECT_TRUE(WellFormed(after)) << "signal " << signal << " after " << delay << " ms";
        IniSections drivers = ReadIni(odbcinst);
        int lost = 0;
        for (int n = 1; n <= 1000; ++n)
            lost += drivers.count("Old " + std::to_string(n)) == 0;
        ASSERT_EQ(lost, 0) << "signal " << signal << " after " << delay << " ms";
    }
}

}  // namespace
