// The setup file's own rules: decoding of attribute lists, the command-line
// tail, where the file is looked for, key names, and the display settings.
#include "setup_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The elements of a decoded list, and whether it is closed by two NULs
// inside the buffer with nothing but zeros past the value's length.
struct Decoded {
    std::vector<std::string> elements;
    bool closedAndZeroFilled;
};

Decoded Decode(const std::string& value)
{
    char buffer[ATTRIBUTE_LIST_SIZE];
    // Stale bytes from an earlier, longer value must not leak into the list.
    std::fill(buffer, buffer + sizeof buffer, 'x');
    value.copy(buffer, sizeof buffer - 1);
    buffer[std::min(value.size(), sizeof buffer - 1)] = '\0';
    DecodeAttributeList(buffer);

    Decoded decoded{{}, false};
    size_t i = 0;
    while (i < sizeof buffer && buffer[i] != '\0') {
        decoded.elements.emplace_back(buffer + i);
        i += decoded.elements.back().size() + 1;
    }
    decoded.closedAndZeroFilled = i < sizeof buffer;
    for (i = std::max(i, value.size()); i < sizeof buffer; ++i)
        decoded.closedAndZeroFilled = decoded.closedAndZeroFilled && buffer[i] == '\0';
    return decoded;
}

typedef std::vector<std::string> Elements;

TEST(DecodeAttributeList, SplitsAtEachBackslashZero)
{
    const struct {
        std::string value;
        Elements elements;
    } cases[] = {
        {"DSN=Sales\\0DBQ=C:\\data\\sales.mdb", {"DSN=Sales", "DBQ=C:\\data\\sales.mdb"}},
        {"DBQ=C:\\0ld\\a.mdb", {"DBQ=C:", "ld\\a.mdb"}},
        {"A\\\\0B", {"A\\", "B"}},
        {"\\0DSN=X", {}},
        {"A\\0\\0B", {"A"}},
        {"A\\0", {"A"}},
        {"", {}},
        {"C:\\1\\02", {"C:\\1", "2"}},
        {"\\", {"\\"}},
        {"\xE9\\0\x81\\0", {"\xE9", "\x81"}},
    };
    for (const auto& c : cases) {
        Decoded decoded = Decode(c.value);
        EXPECT_EQ(decoded.elements, c.elements) << c.value;
        EXPECT_TRUE(decoded.closedAndZeroFilled) << c.value;
    }
}

TEST(DecodeAttributeList, FullLengthValuesStayClosedByTwoNuls)
{
    // 998 characters leave room for both NULs and stay whole; a 999th gives
    // way to the second NUL. With an escape in it, nothing needs to give way.
    std::string value998(998, 'a');
    EXPECT_EQ(Decode(value998).elements, Elements{value998});

    Decoded full = Decode(std::string(999, 'b'));
    EXPECT_EQ(full.elements, Elements{std::string(998, 'b')});
    EXPECT_TRUE(full.closedAndZeroFilled);

    std::string escaped = std::string(995, 'c') + "\\0d";
    EXPECT_EQ(Decode(escaped).elements, (Elements{std::string(995, 'c'), "d"}));
}

TEST(GetCommandLineTail, FollowsTheWindowsStartUpRule)
{
    const struct {
        const char* commandLine;
        const char* tail;
    } cases[] = {
        {"setup.exe C:\\x\\db.ini", "C:\\x\\db.ini"},
        {"setup.exe", ""},
        {"", ""},
        {"\"C:\\Program Files\\setup.exe\"", ""},
        {"\"C:\\Program Files\\setup.exe\"  ", ""},
        {"\"C:\\a b\\setup.exe\"db.ini", "db.ini"},
        {"\"C:\\a b\\setup.exe\" \"C:\\x\\db.ini\"", "\"C:\\x\\db.ini\""},
        {"\"unterminated name", ""},
        {"setup.exe \t\x01  C:\\my files\\db.ini  ", "C:\\my files\\db.ini  "},
        {"s\xE9tup.exe\xA0x.ini y", "y"},
        {"setup\"x y\".exe z", "y\".exe z"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetCommandLineTail(c.commandLine), c.tail) << c.commandLine;
}

std::string OwnPath()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, length > 0 ? static_cast<size_t>(length) : 0);
}

TEST(FillSetupFilePath, TakesTheTailOrTheFileBesideTheExecutable)
{
    ASSERT_TRUE(FillSetupFilePath("C:\\x\\db.ini"));
    EXPECT_STREQ(SetupFilePath, "C:\\x\\db.ini");

    ASSERT_TRUE(FillSetupFilePath(" \"quoted\" "));
    EXPECT_STREQ(SetupFilePath, " \"quoted\" ");

    // An empty tail means the executable's own path with ".ini" appended.
    std::string own = OwnPath();
    ASSERT_LT(own.size() + 4, static_cast<size_t>(SETUP_PATH_SIZE));
    ASSERT_TRUE(FillSetupFilePath(""));
    EXPECT_EQ(std::string(SetupFilePath), own + ".ini");
}

TEST(FillSetupFilePath, RefusesATailThatWouldBeCut)
{
    std::string fits(SETUP_PATH_SIZE - 1, 'p');
    ASSERT_TRUE(FillSetupFilePath(fits.c_str()));
    EXPECT_EQ(std::string(SetupFilePath), fits);

    for (int length : {260, 261, 4000}) {
        std::string tooLong(static_cast<size_t>(length), 'p');
        EXPECT_FALSE(FillSetupFilePath(tooLong.c_str())) << length;
        EXPECT_STREQ(SetupFilePath, "") << length;
    }
}

TEST(FormatListKey, EndsWhereTheNameWouldOutgrowItsBuffer)
{
    const struct {
        const char* format;
        int index;
        const char* key;  // NULL: does not fit
    } cases[] = {
        {"Driver%d", 1, "Driver1"},
        {"Translator%d", 99999, "Translator99999"},
        {"Translator%d", 100000, NULL},
        {"DSRequest%d", 999999, "DSRequest999999"},
        {"DSRequest%d", 1000000, NULL},
        {"Driver%d", 999999999, "Driver999999999"},
        {"Driver%d", 1000000000, NULL},
        {"Driver%d", 2147483647, NULL},
    };
    for (const auto& c : cases) {
        char key[LIST_KEY_SIZE + 8];
        std::fill(key, key + sizeof key, '#');
        BOOL fits = FormatListKey(key, c.format, c.index);
        EXPECT_EQ(fits != FALSE, c.key != NULL) << c.format << " " << c.index;
        if (c.key != NULL)
            EXPECT_STREQ(key, c.key);
        else
            EXPECT_EQ(key[0], '#') << "nothing may be written when the name does not fit";
    }
}

class DisplaySettings : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }

    void WriteSettings(const std::string& lines)
    {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(("[Settings]\n" + lines).c_str(), file);
        std::fclose(file);
        ASSERT_TRUE(FillSetupFilePath(path.c_str()));
    }

    std::string Title()
    {
        char buffer[100];
        ReadTitleSetting(buffer, sizeof buffer);
        return buffer;
    }

    std::string LoadMessage()
    {
        char buffer[150];
        ReadLoadMessageSetting(buffer, sizeof buffer);
        return buffer;
    }

    std::string path = ::testing::TempDir() + "display_settings_" + std::to_string(getpid()) + ".ini";
};

TEST_F(DisplaySettings, FallBackWhenUnsetAndCutWhenLong)
{
    const struct {
        const char* line;
        std::string title;
    } titles[] = {
        {"", "Launcher"},
        {"Title=\n", "Launcher"},
        {"Title=Empty\n", "Launcher"},
        {"Title=empty\n", "empty"},
        {"Title=Sales database setup\n", "Sales database setup"},
    };
    for (const auto& t : titles) {
        WriteSettings(t.line);
        EXPECT_EQ(Title(), t.title) << t.line;
    }

    WriteSettings("Title=" + std::string(120, 't') + "\nLoadMessage=" + std::string(200, 'm') + "\n");
    EXPECT_EQ(Title(), std::string(99, 't'));
    EXPECT_EQ(LoadMessage(), std::string(149, 'm'));

    WriteSettings("LoadMessage=Empty\n");
    EXPECT_EQ(LoadMessage(), "Launching program...");
    WriteSettings("LoadMessage=Installing the sales drivers\n");
    EXPECT_EQ(LoadMessage(), "Installing the sales drivers");
}

TEST_F(DisplaySettings, FallBackWithoutASetupFile)
{
    FillSetupFilePath(std::string(SETUP_PATH_SIZE, 'p').c_str());
    EXPECT_EQ(Title(), "Launcher");
    EXPECT_EQ(LoadMessage(), "Launching program...");

    ASSERT_TRUE(FillSetupFilePath((path + ".missing").c_str()));
    EXPECT_EQ(Title(), "Launcher");
    EXPECT_EQ(LoadMessage(), "Launching program...");
}

}  // namespace
