// The Linux GetPrivateProfileStringA / GetPrivateProfileIntA against the
// answers Windows gives (profile_cases.inc), what Linux does on purpose
// differently, and the parsed-file cache: every change is seen at the next
// read, and reading every key of a large file stays linear.
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

enum FileKind { CASE_FILE, CASE_NO_FILE, CASE_NO_FOLDER, CASE_DIRECTORY };

struct CaseFile {
    const char* id;
    std::string bytes;
    FileKind kind;
};

const CaseFile FILES[] = {
#define PROFILE_CASE_FILE(id, bytes, length, kind) {id, std::string(bytes, length), kind},
#include "profile_files.inc"
#undef PROFILE_CASE_FILE
};

struct StringCase {
    int line;
    const char* file;
    const char* section;
    const char* key;
    const char* fallback;
    DWORD size;
    std::string expected;
    DWORD returned;
};

struct IntCase {
    int line;
    const char* file;
    const char* section;
    const char* key;
    int fallback;
    UINT expected;
};

#define PROFILE_FILE(id, bytes)
#define PROFILE_NO_FILE(id)
#define PROFILE_NO_FOLDER(id)
#define PROFILE_DIRECTORY(id)
#define PROFILE_INT(id, section, key, fallback, expected)
#define PROFILE_STRING(id, section, key, fallback, size, expected, returned) \
    {__LINE__, #id, section, key, fallback, size, std::string(expected, sizeof expected - 1), returned},
const StringCase STRING_CASES[] = {
#include "profile_cases.inc"
};
#undef PROFILE_STRING
#define PROFILE_STRING(id, section, key, fallback, size, expected, returned)
#undef PROFILE_INT
#define PROFILE_INT(id, section, key, fallback, expected) {__LINE__, #id, section, key, fallback, expected},
const IntCase INT_CASES[] = {
#include "profile_cases.inc"
};

// Each test process gets its own folder, removed when the process ends.
struct TempFolder {
    std::string path;
    TempFolder()
    {
        std::string name = testing::TempDir() + "profile_test.XXXXXX";
        path = mkdtemp(&name[0]) != NULL ? name : "/nonexistent";
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& Folder()
{
    static TempFolder folder;
    return folder.path;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), file));
    EXPECT_EQ(0, std::fclose(file));
}

// The table's files are written once per process, under the names the
// Windows run uses.
std::string PathOf(const char* id)
{
    static bool written = false;
    if (!written) {
        written = true;
        for (const CaseFile& file : FILES) {
            std::string path = Folder() + "/" + file.id + ".ini";
            if (file.kind == CASE_FILE)
                WriteFile(path, file.bytes);
            else if (file.kind == CASE_DIRECTORY)
                mkdir(path.c_str(), 0700);
        }
    }
    for (const CaseFile& file : FILES) {
        if (std::strcmp(file.id, id) == 0)
            return Folder() + "/" + id + (file.kind == CASE_NO_FOLDER ? "/x.ini" : ".ini");
    }
    ADD_FAILURE() << "no file " << id;
    return "";
}

// A failing row names its line in the table.
void PrintTo(const StringCase& row, std::ostream* out)
{
    *out << "profile_cases.inc:" << row.line;
}

void PrintTo(const IntCase& row, std::ostream* out)
{
    *out << "profile_cases.inc:" << row.line;
}

class WindowsStringAnswer : public testing::TestWithParam<StringCase> {};
class WindowsIntAnswer : public testing::TestWithParam<IntCase> {};

TEST_P(WindowsStringAnswer, Matches)
{
    const StringCase& row = GetParam();
    char buffer[1100];
    std::memset(buffer, '#', sizeof buffer);
    DWORD returned = GetPrivateProfileStringA(row.section, row.key, row.fallback, buffer, row.size,
                                              PathOf(row.file).c_str());
    EXPECT_EQ(row.returned, returned);
    // The value and its NUL as far as they fit; nothing written from size on.
    size_t shown = std::min<size_t>(row.size, row.expected.size() + 1);
    EXPECT_EQ((row.expected + '\0').substr(0, shown), std::string(buffer, shown));
    EXPECT_EQ('#', buffer[row.size]) << "wrote past size";
}

TEST_P(WindowsIntAnswer, Matches)
{
    const IntCase& row = GetParam();
    EXPECT_EQ(row.expected,
              GetPrivateProfileIntA(row.section, row.key, row.fallback, PathOf(row.file).c_str()));
}

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    return std::string(info.param.file) + "_line" + std::to_string(info.param.line);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsStringAnswer, testing::ValuesIn(STRING_CASES),
                         RowName<StringCase>);
INSTANTIATE_TEST_SUITE_P(Table, WindowsIntAnswer, testing::ValuesIn(INT_CASES), RowName<IntCase>);

template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

std::string Read(const std::string& path, const char* section, const char* key)
{
    char buffer[64];
    GetPrivateProfileStringA(section, key, "(default)", buffer, sizeof buffer, path.c_str());
    return buffer;
}

// Windows converts to its ANSI code page; Linux keeps the bytes of ANSI and
// UTF-8 files and gives UTF-16 files out as UTF-8.
TEST(ProfileOnLinux, NonAsciiTextIsUtf8)
{
    std::string path = Folder() + "/text.ini";
    WriteFile(path, "[S]\nraw=caf\xC3\xA9 \xE9\n");
    EXPECT_EQ("caf\xC3\xA9 \xE9", Read(path, "S", "raw"));
    WriteFile(path, "\xEF\xBB\xBF[S]\nbom=caf\xC3\xA9\n");
    EXPECT_EQ("caf\xC3\xA9", Read(path, "S", "bom"));
    // U+00E9, U+20AC, U+1F600 (a surrogate pair), big- and little-endian.
    WriteFile(path, Bytes("\xFF\xFE[\0S\0]\0\n\0u\0=\0\xE9\0\xAC\x20=\xD8\0\xDE"));
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Read(path, "S", "u"));
    WriteFile(path, Bytes("\xFE\xFF\0[\0S\0]\0\n\0u\0=\0\xE9\x20\xAC\xD8=\xDE\0"));
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Read(path, "S", "u"));
}

// Rewrites in place keep the inode, and a rewrite soon after the last one
// can keep the file's times as well.
TEST(ProfileCache, SeesSameSizeRewriteAtOnce)
{
    std::string path = Folder() + "/rewrite.ini";
    for (int round = 10; round < 60; ++round) {
        WriteFile(path, "[S]\nk=v" + std::to_string(round) + "\n");
        ASSERT_EQ("v" + std::to_string(round), Read(path, "S", "k"));
    }
}

TEST(ProfileCache, SeesRewriteThatRestoresModificationTime)
{
    std::string path = Folder() + "/touched.ini";
    WriteFile(path, "[S]\nk=old\n");
    EXPECT_EQ("old", Read(path, "S", "k"));
    struct stat before;
    ASSERT_EQ(0, stat(path.c_str(), &before));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ("old", Read(path, "S", "k"));
    WriteFile(path, "[S]\nk=new\n");
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
    EXPECT_EQ("new", Read(path, "S", "k"));
}

TEST(ProfileCache, SeesReplacementAndRemoval)
{
    std::string path = Folder() + "/replaced.ini";
    std::string other = Folder() + "/other.ini";
    WriteFile(path, "[S]\nk=first\n");
    WriteFile(other, "[S]\nk=other\n");
    EXPECT_EQ("first", Read(path, "S", "k"));
    EXPECT_EQ("other", Read(other, "S", "k"));
    WriteFile(path + ".new", "[S]\nk=again\n");
    ASSERT_EQ(0, std::rename((path + ".new").c_str(), path.c_str()));
    EXPECT_EQ("again", Read(path, "S", "k"));
    ASSERT_EQ(0, std::remove(path.c_str()));
    EXPECT_EQ("(default)", Read(path, "S", "k"));
    WriteFile(path, "[S]\nk=back\n");
    EXPECT_EQ("back", Read(path, "S", "k"));
}

// The parse is reused across keys; how fast that is, bench/ measures.
TEST(ProfileCache, AnswersEveryKeyOfALargeFile)
{
    const int count = 50000;
    std::string path = Folder() + "/large.ini";
    std::string text = "[Data Sources]\n";
    for (int i = 0; i < count; ++i)
        text += "Key" + std::to_string(i) + "=Value" + std::to_string(i) + "\n";
    WriteFile(path, text);

    int found = 0;
    char key[32];
    char value[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(key, sizeof key, "key%d", i);
        GetPrivateProfileStringA("Data Sources", key, "", value, sizeof value, path.c_str());
        found += std::strcmp(value + 5, key + 3) == 0;
    }
    EXPECT_EQ(count, found);
}

}  // namespace
