// The README's bad-input rows through velloran-apply: where velloran reads
// a file, velloran-apply makes the same installer calls and exits 0; where
// there is no file to read, it makes none and exits 2.
#include "program_run.h"
#include "setup_texts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char OneDriver[] = "[Drivers]\nDriver1=A\n";

struct Row {
    const char* kind;
    std::string (*prepare)(const Sandbox& box);  // the setup file's path
    bool readable;
};

std::string Setup(const Sandbox& box, const std::string& text)
{
    return box.Write("setup.ini", text);
}

// A path of exactly `length` characters naming a file with one driver.
std::string PathOfLength(const Sandbox& box, size_t length, bool create)
{
    std::string folder = box.Dir().string() + "/";
    std::string path = folder;
    while (path.size() < length) {
        size_t room = std::min<size_t>(length - path.size(), 200);
        path += std::string(room, 'p');
        if (path.size() < length - 1)
            path += "/";
    }
    if (create)
        box.Write(path.substr(folder.size()), OneDriver);
    return path;
}

const Row Rows[] = {
    {"binary file", [](const Sandbox& box) { return Setup(box, Noise(64 * 1024)); }, true},
    {"binary around a readable section",
     [](const Sandbox& box) { return Setup(box, Noise(4096) + "\n" + OneDriver + Noise(4096)); },
     true},
    {"UTF-16 with byte-order mark",
     [](const Sandbox& box) { return Setup(box, Utf16("[Drivers]\r\nDriver1=\xE9\\0B\r\n", true)); },
     true},
    {"UTF-16 without byte-order mark",
     [](const Sandbox& box) { return Setup(box, Utf16(OneDriver, false)); }, true},
    {"10 MB file, entry at its end",
     [](const Sandbox& box) {
         return Setup(box, Repeat("; filler line of a large setup file\n", 280000) + OneDriver);
     },
     true},
    {"1 MB line as a value",
     [](const Sandbox& box) { return Setup(box, "[Drivers]\nDriver1=" + std::string(1 << 20, 'v') + "\n"); },
     true},
    {"1 MB line as a name",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\n" + std::string(1 << 20, 'k') + "=x\nDriver1=A\n");
     },
     true},
    {"NUL bytes in the file",
     [](const Sandbox& box) {
         static const char text[] = "[Drivers]\nDriver1=A\0B\nDriver2=C\n";
         return Setup(box, std::string(text, sizeof text - 1));
     },
     true},
    {"list values of 998, 999 and 5000 characters",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\nDriver1=" + std::string(998, 'x') + "\nDriver2=" +
                               std::string(999, 'y') + "\nDriver3=" + Repeat(R"(abcd\0)", 834) + "\n");
     },
     true},
    {"key index at the key-name limit",
     [](const Sandbox& box) {
         std::string text = "[Translators]\n";
         for (int n = 99990; n <= 100000; ++n)
             text += "Translator" + std::to_string(n) + "=t\n";
         return Setup(box, text + "[Drivers]\nDriver1=A\n");
     },
     true},
    {"non-ASCII bytes in values and the path",
     [](const Sandbox& box) { return box.Write("caf\xC3\xA9 \xE9.ini", "[Drivers]\nDriver1=\xE9\\0\xC3\xA9\xFF\n"); },
     true},
    {"path with quotes that are part of the name",
     [](const Sandbox& box) { return box.Write("\"q\".ini", OneDriver); }, true},
    {"path of 259 characters", [](const Sandbox& box) { return PathOfLength(box, 259, true); },
     true},
    {"file over the 64 MiB size limit",
     [](const Sandbox& box) {
         std::string path = Setup(box, OneDriver);
         fs::resize_file(path, 64 * 1024 * 1024 + 1);  // sparse: no disk used
         return path;
     },
     false},
    {"a device", [](const Sandbox&) { return std::string("/dev/zero"); }, false},
    {"missing file", [](const Sandbox& box) { return (box.Dir() / "missing.ini").string(); },
     false},
    {"path in quotes that the name lacks",
     [](const Sandbox& box) { return "\"" + box.Write("q.ini", OneDriver) + "\""; }, false},
    {"path through a file as if it were a folder",
     [](const Sandbox& box) { return box.Write("setup.ini", OneDriver) + "/x.ini"; }, false},
    {"a directory", [](const Sandbox& box) { return box.Dir().string(); }, false},
    {"a FIFO",
     [](const Sandbox& box) {
         std::string path = (box.Dir() / "fifo.ini").string();
         mkfifo(path.c_str(), 0600);
         return path;
     },
     false},
    {"path of 260 characters", [](const Sandbox& box) { return PathOfLength(box, 260, true); },
     false},
    {"path of 4000 characters", [](const Sandbox& box) { return PathOfLength(box, 4000, false); },
     false},
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.kind;
}

class ApplyBadInput : public testing::TestWithParam<Row> {};

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

INSTANTIATE_TEST_SUITE_P(Rows, ApplyBadInput, testing::ValuesIn(Rows),
                         [](const testing::TestParamInfo<Row>& info) {
                             std::string name;
                             for (const char* c = info.param.kind; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(ApplyBadInput, UnreadableFileExitsTwo)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files of any mode";
    Sandbox box;
    std::string path = box.Write("setup.ini", OneDriver);
    chmod(path.c_str(), 0);
    fs::path log = box.Dir() / "calls.log";
    ProgramResult run = RunProgram(box, APPLY_PROGRAM, {path},
        {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(fs::exists(log));
}

}  // namespace
