// The bad-input rows (tests/support/bad_inputs.cpp) through velloran-apply:
// where velloran reads a file, velloran-apply makes the same installer calls
// and exits 0; where there is no file to read, it makes none and exits 2.
#include "bad_inputs.h"
#include "program_run.h"

namespace fs = std::filesystem;

namespace {

class ApplyBadInput : public BadInputTest {};

}  // namespace

TEST_P(ApplyBadInput, MatchesVelloranOrRefusesTheFile)
{
    fs::path velloranLog = box.Dir() / "velloran.log", applyLog = box.Dir() / "apply.log";
    ProgramResult velloran = RunProgram(box, VELLORAN_PROGRAM, {path}, FakeInstaller(velloranLog));
    ProgramResult apply = RunProgram(box, APPLY_PROGRAM, {"--json", path}, FakeInstaller(applyLog));
    EXPECT_EQ(velloran.exitCode, 0);
    EXPECT_EQ(apply.exitCode, GetParam().readable ? 0 : 2) << apply.errors;
    EXPECT_EQ(ChangingCalls(ReadText(applyLog)), ChangingCalls(ReadText(velloranLog)));
    if (!GetParam().readable) {
        EXPECT_FALSE(fs::exists(applyLog));
        EXPECT_NE(apply.output.find("\"error\""), std::string::npos) << apply.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ApplyBadInput, testing::ValuesIn(BAD_INPUTS), BadInputName);
