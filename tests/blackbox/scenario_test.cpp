// The shared scenario corpus (tests/scenarios) against the Linux program and
// the recording fake installer: each NAME.ini must give the record in
// NAME.expected, warnings included, where they fall between the calls. The
// Wine tests hold velloran.exe to the same files.
#include "program_run.h"
#include "setup_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Scenario : public ::testing::TestWithParam<fs::path> {};

TEST_P(Scenario, GivesTheExpectedRecord)
{
    fs::path setup = GetParam();
    Sandbox box;
    std::string log = (box.Dir() / "record.log").string();
    std::vector<std::string> settings = {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR,
                                         "VELLORAN_FAKE_LOG=" + log};
    std::string fail = ScenarioFailSetting(ReadText(setup));
    if (!fail.empty())
        settings.push_back("VELLORAN_FAKE_FAIL=" + fail);
    // Warnings are appended to the record as they come, so they land after
    // the call they are about.
    ProgramResult run = RunProgram(box, "/bin/sh",
                                   {"-c", "exec \"$0\" \"$1\" 2>>\"$VELLORAN_FAKE_LOG\"",
                                    VELLORAN_PROGRAM, setup.string()},
                                   settings);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ReadText(log), ReadText(fs::path(setup).replace_extension(".expected")));
}

INSTANTIATE_TEST_SUITE_P(Corpus, Scenario, ::testing::ValuesIn(ScenarioSetups(SCENARIO_DIR)),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.stem().string();
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                                 '_');
                             return name;
                         });

}  // namespace
