// The bad-input rows (tests/support/bad_inputs.cpp) through velloran-apply:
// where velloran reads a file, velloran-apply makes the same installer calls
// and exits 0; where there is no file to read, it makes none and exits 2.
#include "bad_inputs.h"
#include "program_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ApplyBadInput : public testing::TestWithParam<BadInput> {};

}  // namespace

TEST_P(ApplyBadInput, MatchesVelloranOrRefusesTheFile)
{
    Sandbox box;
    std::string path = GetParam().prepare(box);
    fs::path velloranLog = box.Dir() / "velloran.log", applyLog = box.Dir() / "apply.log";
    ProgramResult velloran = RunProgram(box, VELLORAN_PROGRAM, {path},
        {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + velloranLog.string()});
    ProgramResult apply = RunProgram(box, APPLY_PROGRAM, {"--json", path},
        {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + applyLog.string()});
    EXPECT_EQ(velloran.exitCode, 0);
    EXPECT_EQ(apply.exitCode, GetParam().readable ? 0 : 2) << apply.errors;
    EXPECT_EQ(ReadText(applyLog), ReadText(velloranLog));
    if (!GetParam().readable) {
        EXPECT_FALSE(fs::exists(applyLog));
        EXPECT_NE(apply.output.find("\"error\""), std::string::npos) << apply.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ApplyBadInput, testing::ValuesIn(BAD_INPUTS),
                         [](const testing::TestParamInfo<BadInput>& info) {
                             return BadInputName(info.param);
                         });

TEST(ApplyBadInput, UnreadableFileExitsTwo)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files of any mode";
    Sandbox box;
    std::string path = box.Write("setup.ini", ONE_DRIVER_SETUP);
    chmod(path.c_str(), 0);
    fs::path log = box.Dir() / "calls.log";
    ProgramResult run = RunProgram(box, APPLY_PROGRAM, {path},
        {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(fs::exists(log));
}
