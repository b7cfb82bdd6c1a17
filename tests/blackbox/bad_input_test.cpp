// Bad input, kind by kind (tests/support/bad_inputs.cpp): what the built
// program does with setup files and command lines that are damaged, huge,
// oddly encoded or not files at all. Each row must end with exit code 0,
// nothing on standard output or error, and exactly the listed installer
// calls, every list closed within its buffer.
#include "bad_inputs.h"
#include "program_run.h"

#include <sstream>

namespace fs = std::filesystem;

namespace {

class BadInputRun : public BadInputTest {};

}  // namespace

TEST_P(BadInputRun, EndsCleanlyWithTheListedCalls)
{
    fs::path log = box.Dir() / "calls.log";
    ProgramResult run = RunProgram(box, VELLORAN_PROGRAM, {path}, FakeInstaller(log));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");
    std::vector<std::string> calls;
    std::istringstream record(ReadText(log));
    for (std::string line; std::getline(record, line);) {
        if (line == "load" || line == "unload")
            continue;
        EXPECT_EQ(line.find("[not closed"), std::string::npos) << line;
        size_t quote = line.find('"');
        size_t close = quote;
        while ((close = line.find('"', close + 1)) != std::string::npos && line[close - 1] == '\\')
            ;
        calls.push_back(line.substr(0, close + 1));
    }
    EXPECT_EQ(calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadInputRun, testing::ValuesIn(BAD_INPUTS), BadInputName);

// A file far larger than the memory the program may have is refused before
// any of it is read; one within the size limit that still does not fit
// reads as no file. Never an allocation failure.
TEST(BadInputRun, HugeFileUnderAMemoryLimitIsNoFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer cannot start under an address-space limit";
#endif
    const struct {
        std::uintmax_t size;
        const char* kilobytes;
    } cases[] = {{std::uintmax_t(2) << 30, "1048576"}, {60 << 20, "51200"}};
    for (const auto& c : cases) {
        Sandbox box;
        std::string path = SparseSetup(box, c.size, std::string(ONE_DRIVER_SETUP) + ";", "\n");
        fs::path log = box.Dir() / "calls.log";
        ProgramResult run =
            RunProgram(box, "/bin/sh",
                       {"-c", std::string("ulimit -v ") + c.kilobytes + " && exec \"$0\" \"$1\"",
                        VELLORAN_PROGRAM, path},
                       {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()});
        fs::remove(path);
        EXPECT_EQ(run.exitCode, 0) << c.size << " " << run.errors;
        EXPECT_EQ(run.errors, "") << c.size;
        EXPECT_FALSE(fs::exists(log)) << c.size << " " << ReadText(log);
    }
}
