// The bad-input rows, kind by kind.
#include "bad_inputs.h"
#include "setup_texts.h"

#include <cctype>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string SparseSetup(const Sandbox& box, std::uintmax_t size, const std::string& head,
                        const std::string& tail)
{
    std::string path = box.Write("setup.ini", head);
    fs::resize_file(path, size - tail.size());
    std::ofstream(path, std::ios::binary | std::ios::app) << tail;
    return path;
}

namespace {

// The setup file size limit, as docs/setup-file.md states it.
const std::uintmax_t SIZE_LIMIT = 64 * 1024 * 1024;

// Deterministic noise with every byte value, but never a line that reads
// as a header or key of the setup file.
std::string Noise(size_t length)
{
    std::string bytes(length, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
        if (byte == '[' || byte == '=')
            byte = '\0';
    }
    return bytes;
}

std::string Utf16(const std::string& ascii, bool byteOrderMark)
{
    std::string bytes = byteOrderMark ? "\xFF\xFE" : "";
    for (char c : ascii)
        bytes += std::string{c, '\0'};
    return bytes;
}

std::string Setup(const Sandbox& box, const std::string& text)
{
    return box.Write("setup.ini", text);
}

// A path of exactly `length` characters, through folders that keep each
// name within the file system's limit, naming a file with one driver.
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
        box.Write(path.substr(folder.size()), ONE_DRIVER_SETUP);
    return path;
}

// A call as the fake records it, cut after its first quoted argument.
std::string Driver(int n, const std::string& spec)
{
    return "SQLInstallDriverEx#" + std::to_string(n) + " spec=\"" + spec + "\"";
}

}  // namespace

const std::vector<BadInput> BAD_INPUTS = {
    {"binary file", [](const Sandbox& box) { return Setup(box, Noise(64 * 1024)); }, {}, true},
    {"binary around a readable section",
     [](const Sandbox& box) { return Setup(box, Noise(4096) + "\n" + ONE_DRIVER_SETUP + Noise(4096)); },
     {Driver(1, R"(A\0\0)")}, true},
    {"UTF-16 with byte-order mark",
     [](const Sandbox& box) { return Setup(box, Utf16("[Drivers]\r\nDriver1=\xE9\\0B\r\n", true)); },
     {Driver(1, R"(\xc3\xa9\0B\0\0)")}, true},
    {"UTF-16 without byte-order mark",
     [](const Sandbox& box) { return Setup(box, Utf16(ONE_DRIVER_SETUP, false)); }, {}, true},
    {"10 MB file, entry at its end",
     [](const Sandbox& box) {
         return Setup(box, Repeat("; filler line of a large setup file\n", 280000) + ONE_DRIVER_SETUP);
     },
     {Driver(1, R"(A\0\0)")}, true},
    {"file of exactly 64 MiB, entry at its end",
     [](const Sandbox& box) {
         return SparseSetup(box, SIZE_LIMIT, "", std::string("\n") + ONE_DRIVER_SETUP);
     },
     {Driver(1, R"(A\0\0)")}, true},
    {"1 MB line as a value",
     [](const Sandbox& box) { return Setup(box, "[Drivers]\nDriver1=" + std::string(1 << 20, 'v') + "\n"); },
     {Driver(1, std::string(998, 'v') + R"(\0\0)")}, true},
    {"1 MB line as a name",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\n" + std::string(1 << 20, 'k') + "=x\nDriver1=A\n");
     },
     {Driver(1, R"(A\0\0)")}, true},
    {"NUL bytes in the file",
     [](const Sandbox& box) {
         static const char text[] = "[Drivers]\nDriver1=A\0B\nDriver2=C\n";
         return Setup(box, std::string(text, sizeof text - 1));
     },
     {Driver(1, R"(A\0\0)"), Driver(2, R"(C\0\0)")}, true},
    {"list values of 998, 999 and 5000 characters",
     [](const Sandbox& box) {
         return Setup(box, "[Drivers]\nDriver1=" + std::string(998, 'x') + "\nDriver2=" +
                               std::string(999, 'y') + "\nDriver3=" + Repeat(R"(abcd\0)", 834) + "\n");
     },
     {Driver(1, std::string(998, 'x') + R"(\0\0)"), Driver(2, std::string(998, 'y') + R"(\0\0)"),
      Driver(3, Repeat(R"(abcd\0)", 166) + R"(abc\0\0)")},
     true},
    // Numbered keys no list reaches.
    {"key index at the key-name limit",
     [](const Sandbox& box) {
         std::string text = "[Translators]\n";
         for (int n = 99990; n <= 100000; ++n)
             text += "Translator" + std::to_string(n) + "=t\n";
         return Setup(box, text + ONE_DRIVER_SETUP);
     },
     {Driver(1, R"(A\0\0)")}, true},
    {"non-ASCII bytes in values and the path",
     [](const Sandbox& box) {
         return box.Write("caf\xC3\xA9 \xE9.ini", "[Drivers]\nDriver1=\xE9\\0\xC3\xA9\xFF\n");
     },
     {Driver(1, R"(\xe9\0\xc3\xa9\xff\0\0)")}, true},
    {"path with quotes that are part of the name",
     [](const Sandbox& box) { return box.Write("\"q\".ini", ONE_DRIVER_SETUP); },
     {Driver(1, R"(A\0\0)")}, true},
    {"path of 259 characters", [](const Sandbox& box) { return PathOfLength(box, 259, true); },
     {Driver(1, R"(A\0\0)")}, true},
    {"file one byte over 64 MiB",
     [](const Sandbox& box) { return SparseSetup(box, SIZE_LIMIT + 1, ONE_DRIVER_SETUP, "\n"); },
     {}, false},
    {"a device", [](const Sandbox&) { return std::string("/dev/zero"); }, {}, false},
    {"missing file", [](const Sandbox& box) { return (box.Dir() / "missing.ini").string(); }, {},
     false},
    {"path in quotes that the name lacks",
     [](const Sandbox& box) { return "\"" + box.Write("q.ini", ONE_DRIVER_SETUP) + "\""; }, {},
     false},
    {"path through a file as if it were a folder",
     [](const Sandbox& box) { return box.Write("setup.ini", ONE_DRIVER_SETUP) + "/x.ini"; }, {},
     false},
    {"a directory", [](const Sandbox& box) { return box.Dir().string(); }, {}, false},
    // Root reads any file, whatever its mode; only others are refused.
    {"file without read permission",
     [](const Sandbox& box) {
         std::string path = Setup(box, ONE_DRIVER_SETUP);
         chmod(path.c_str(), 0);
         return path;
     },
     geteuid() == 0 ? std::vector<std::string>{Driver(1, R"(A\0\0)")} : std::vector<std::string>{},
     geteuid() == 0},
    {"a FIFO",
     [](const Sandbox& box) {
         std::string path = (box.Dir() / "fifo.ini").string();
         mkfifo(path.c_str(), 0600);
         return path;
     },
     {}, false},
    {"path of 260 characters", [](const Sandbox& box) { return PathOfLength(box, 260, true); },
     {}, false},
    {"path of 4000 characters", [](const Sandbox& box) { return PathOfLength(box, 4000, false); },
     {}, false},
};

std::string BadInputName(const testing::TestParamInfo<BadInput>& info)
{
    std::string name;
    for (const char* c = info.param.kind; *c != '\0'; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}
