// Bad input, kind by kind: what the built program does with setup files and
// command lines that are damaged, huge, oddly encoded or not files at all.
// Each row must end with exit code 0, nothing on standard output, and
// exactly the listed installer calls, every list closed within its buffer.
#include "program_run.h"
#include "setup_texts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A call as the fake records it, cut after its first quoted argument.
std::string Driver(int n, const std::string& spec)
{
    return "SQLInstallDriverEx#" + std::to_string(n) + " spec=\"" + spec + "\"";
}

const char OneDriver[] = "[Drivers]\nDriver1=A\n";

struct BadInput {
    const char* kind;
    // Prepares the input in the sandbox and returns the program's arguments.
    std::vector<std::string> (*prepare)(const Sandbox& box);
    std::vector<std::string> calls;
};

std::vector<std::string> Setup(const Sandbox& box, const std::string& text)
{
    return {box.Write("setup.ini", text)};
}

// A file of `size` bytes, mostly a hole: `head`, NULs, then `tail` at its
// very end.
std::vector<std::string> SparseSetup(const Sandbox& box, std::uintmax_t size, const std::string& head,
                                     const std::string& tail)
{
    std::string path = box.Write("setup.ini", head);
    fs::resize_file(path, size - tail.size());
    std::ofstream(path, std::ios::binary | std::ios::app) << tail;
    return {path};
}

// The setup file size limit, as README states it.
const std::uintmax_t SizeLimit = 64 * 1024 * 1024;

const BadInput Rows[] = {
    {"binary file", [](const Sandbox& box) { return Setup(box, Noise(64 * 1024)); }, {}},
    {"binary around a readable section",
     [](const Sandbox& box) { return Setup(box, Noise(4096) + "\n" + OneDriver + Noise(4096)); },
     {Driver(1, R"(A\0\0)")}},
    {"UTF-16 with byte-order mark",
     [](const Sandbox& box) {
         return Setup(box, Utf16("[Drivers]\r\nDriver1=\xE9\\0B\r\n", true));
     },
     {Driver(1, R"(\xc3\xa9\0B\0\0)")}},
    {"UTF-16 without byte-order mark",
     [](const Sandbox& box) { return Setup(box, Utf16(OneDriver, false)); },
     {}},
    {"10 MB file, entry at its end",
     [](const Sandbox& box) {
         return Setup(box, Repeat("; filler line of a large setup file\n", 280000) + OneDriver);
     },
     {Driver(1, R"(A\0\0)")}},
    {"file of exactly 64 MiB, entry at its end",
     [](const Sandbox& box) { return SparseSetup(box, SizeLimit, "", std::string("\n") + OneDriver); },
     {Driver(1, R"(A\0\0)")}},
    {"file one byte over 64 MiB",
     [](const Sandbox& box) { return SparseSetup(box, SizeLimit + 1, OneDriver, "\n"); },
     {}},
    {"1 MB line as a value",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\nDriver1=" + std::string(1 << 20, 'v') + "\n");
     },
     {Driver(1, std::string(998, 'v') + R"(\0\0)")}},
    {"1 MB line as a name",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\n" + std::string(1 << 20, 'k') + "=x\nDriver1=A\n");
     },
     {Driver(1, R"(A\0\0)")}},
    {"list value of 998 characters",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\nDriver1=" + std::string(998, 'x') + "\n");
     },
     {Driver(1, std::string(998, 'x') + R"(\0\0)")}},
    {"list value of 5000 characters with separators",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\nDriver1=" + Repeat(R"(abcd\0)", 834) + "\n");
     },
     {Driver(1, Repeat(R"(abcd\0)", 166) + R"(abc\0\0)")}},
    {"non-ASCII bytes in values and the path",
     [](const Sandbox& box) {
         return std::vector<std::string>{
             box.Write("caf\xC3\xA9 \xE9.ini", "[Drivers]\nDriver1=\xE9\\0\xC3\xA9\xFF\n")};
     },
     {Driver(1, R"(\xe9\0\xc3\xa9\xff\0\0)")}},
    {"path with quotes that are part of the name",
     [](const Sandbox& box) { return std::vector<std::string>{box.Write("\"q\".ini", OneDriver)}; },
     {Driver(1, R"(A\0\0)")}},
    {"path in quotes that the name lacks",
     [](const Sandbox& box) {
         return std::vector<std::string>{"\"" + box.Write("q.ini", OneDriver) + "\""};
     },
     {}},
    {"path through a file as if it were a folder",
     [](const Sandbox& box) {
         return std::vector<std::string>{box.Write("setup.ini", OneDriver) + "/x.ini"};
     },
     {}},
    {"a FIFO as the setup file",
     [](const Sandbox& box) {
         std::string path = (box.Dir() / "fifo.ini").string();
         mkfifo(path.c_str(), 0600);
         return std::vector<std::string>{path};
     },
     {}},
    {"tail of 4000 characters",
     [](const Sandbox& box) {
         return std::vector<std::string>{box.Dir().string() + "/" + std::string(3990, 'p')};
     },
     {}},
};

void PrintTo(const BadInput& row, std::ostream* out)
{
    *out << row.kind;
}

class BadInputRun : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputRun, EndsCleanlyWithTheListedCalls)
{
    Sandbox box;
    std::vector<std::string> arguments = GetParam().prepare(box);
    fs::path log = box.Dir() / "calls.log";
    ProgramResult run =
        RunProgram(box, VELLORAN_PROGRAM, arguments,
                   {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()});
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

INSTANTIATE_TEST_SUITE_P(Kinds, BadInputRun, testing::ValuesIn(Rows),
                         [](const testing::TestParamInfo<BadInput>& info) {
                             std::string name;
                             for (const char* c = info.param.kind; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

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
        std::string path = SparseSetup(box, c.size, std::string(OneDriver) + ";", "\n")[0];
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

// Root reads any file, whatever its mode; only others can be refused.
TEST(BadInputRun, UnreadableFileIsNoFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files of any mode";
    Sandbox box;
    std::string path = box.Write("setup.ini", OneDriver);
    chmod(path.c_str(), 0);
    fs::path log = box.Dir() / "calls.log";
    ProgramResult run =
        RunProgram(box, VELLORAN_PROGRAM, {path},
                   {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(fs::exists(log));
}

}  // namespace
