// ConfigDSN called directly, in this process, against unixODBC's installer
// library: bad input gets FALSE and the installer error it posts, and leaves
// both data-source files as they were; good input honours the config mode.
#include "ini_file.h"

#include <gtest/gtest.h>
#include <odbcinst.h>

#include <cstdlib>
#include <memory>

namespace {

// unixODBC keeps the paths it first sees for the whole process, so one
// sandbox serves every test here; the tests use names of their own.
Sandbox* box;

class InstallerSandbox : public testing::Environment {
public:
    void SetUp() override
    {
        sandbox_ = std::make_unique<Sandbox>();
        box = sandbox_.get();
        setenv("HOME", box->Dir().c_str(), 1);
        setenv("ODBCSYSINI", box->OdbcDir().c_str(), 1);
        setenv("ODBCINI", UserIni(*box).c_str(), 1);
    }
    void TearDown() override { sandbox_.reset(); }

private:
    std::unique_ptr<Sandbox> sandbox_;
};

const testing::Environment* const SANDBOX =
    testing::AddGlobalTestEnvironment(new InstallerSandbox);

std::string SystemText() { return ReadText(box->OdbcDir() / "odbc.ini"); }
std::string UserText() { return ReadText(UserIni(*box)); }

DWORD PostedError()
{
    DWORD code = 0;
    char message[256];
    WORD length = 0;
    return SQLInstallerError(1, &code, message, sizeof message, &length) == SQL_NO_DATA ? 0 : code;
}

struct BadCall {
    const char* name;
    WORD request;
    const char* driver;
    bool nullAttributes;
    std::string attributes;  // without its closing NUL pair
    DWORD error;
};

const std::string LONG_TEXT(5000, 'x');
// unixODBC reads its files a line at a time into a 1,000-byte buffer: the
// longest line it keeps whole is 999 bytes, its line end included.
const std::string DRIVER_ONE_OVER(992, 'd');  // "Driver=" + 992 + "\n" = 1,000

const BadCall BAD_CALLS[] = {
    {"NullAttributes", ODBC_ADD_DSN, "Alpha", true, "", ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"EmptyList", ODBC_ADD_DSN, "Alpha", false, "", ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"NoDsn", ODBC_ADD_DSN, "Alpha", false, "Database=/a.db", ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"ElementWithoutEquals", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad1\0ReadOnly", 17),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"EmptyKeyword", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad2\0=1", 11),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"EmptyDsn", ODBC_ADD_DSN, "Alpha", false, "DSN=", ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"DsnOver32", ODBC_ADD_DSN, "Alpha", false, "DSN=" + std::string(33, 'd'),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"DsnWithBracket", ODBC_ADD_DSN, "Alpha", false, "DSN=Bad[3]", ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"VeryLongValue", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad4\0Database=", 18) + LONG_TEXT,
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"VeryLongKeyword", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad5\0", 9) + LONG_TEXT + "=1",
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"LineOneByteOver", ODBC_ADD_DSN, "Alpha", false,
     std::string("DSN=Bad16\0Value=", 16) + std::string(993, 'v'),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"KeywordLineOneByteOver", ODBC_ADD_DSN, "Alpha", false,
     std::string("DSN=Bad17\0", 10) + std::string(997, 'k') + "=1",
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"LineBreakInValue", ODBC_ADD_DSN, "Alpha", false,
     std::string("DSN=Bad6\0Database=/a.db\n[Injected]", 34), ODBC_ERROR_INVALID_KEYWORD_VALUE},
    // Keywords that unixODBC would read back as a section or a comment.
    {"KeywordOpensSection", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad12\0[Evil]=1", 18),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"KeywordStartsWithSemicolon", ODBC_ADD_DSN, "Alpha", false,
     std::string("DSN=Bad13\0;Note=1", 17), ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"KeywordStartsWithHash", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad14\0#Note=1", 17),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"KeywordHoldsBracket", ODBC_ADD_DSN, "Alpha", false, std::string("DSN=Bad15\0Odd]Key=1", 19),
     ODBC_ERROR_INVALID_KEYWORD_VALUE},
    {"NullDriver", ODBC_ADD_DSN, nullptr, false, "DSN=Bad7", ODBC_ERROR_INVALID_NAME},
    {"EmptyDriver", ODBC_ADD_DSN, "", false, "DSN=Bad8", ODBC_ERROR_INVALID_NAME},
    {"VeryLongDriver", ODBC_ADD_DSN, LONG_TEXT.c_str(), false, "DSN=Bad9", ODBC_ERROR_INVALID_NAME},
    {"DriverLineOneByteOver", ODBC_ADD_DSN, DRIVER_ONE_OVER.c_str(), false, "DSN=Bad18",
     ODBC_ERROR_INVALID_NAME},
    // The installer turns the system requests into these three before the
    // call; anything else is refused.
    {"SystemRequestKeyword", ODBC_ADD_SYS_DSN, "Alpha", false, "DSN=Bad10",
     ODBC_ERROR_INVALID_REQUEST_TYPE},
    {"RequestZero", 0, "Alpha", false, "DSN=Bad11", ODBC_ERROR_INVALID_REQUEST_TYPE},
    {"ConfigureMissing", ODBC_CONFIG_DSN, "Alpha", false, "DSN=Ghost", ODBC_ERROR_REQUEST_FAILED},
    {"RemoveMissing", ODBC_REMOVE_DSN, "Alpha", false, "DSN=Ghost", ODBC_ERROR_REQUEST_FAILED},
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const BadCall& c, std::ostream* os)
{
    *os << c.name;
}

class ConfigDsnBadCall : public testing::TestWithParam<BadCall> {};

TEST_P(ConfigDsnBadCall, FailsWithPostedErrorAndWritesNothing)
{
    const BadCall& c = GetParam();
    std::string user = UserText(), system = SystemText();
    // The list with its closing NUL pair (the string's own NUL and one more).
    std::string list = c.attributes + '\0';
    EXPECT_FALSE(ConfigDSN(nullptr, c.request, c.driver, c.nullAttributes ? nullptr : list.c_str()));
    EXPECT_EQ(PostedError(), c.error);
    EXPECT_EQ(UserText(), user);
    EXPECT_EQ(SystemText(), system);
    UWORD mode = 99;
    ASSERT_TRUE(SQLGetConfigMode(&mode));
    EXPECT_EQ(mode, ODBC_BOTH_DSN);
}

INSTANTIATE_TEST_SUITE_P(Direct, ConfigDsnBadCall, testing::ValuesIn(BAD_CALLS),
                         [](const testing::TestParamInfo<BadCall>& info) {
                             return std::string(info.param.name);
                         });

// What unixODBC's own reader gets back for a key.
std::string ReadBack(const std::string& file, const char* section, const char* key)
{
    char value[2048] = "";
    SQLGetPrivateProfileString(section, key, "", value, sizeof value, file.c_str());
    return value;
}

// "Both", the mode outside the installer's own calls, writes the user's
// file; the longest driver name and attribute one line holds read back
// whole through unixODBC, also after a later write; a value is free text
// ('=', brackets, comment marks); the mode is restored afterwards.
TEST(ConfigDsnDirect, BothModeWritesUserFile)
{
    std::string driver(991, 'd');  // "Driver=" + 991 + "\n" = 999
    std::string value(992, 'v');   // "Value=" + 992 + "\n" = 999
    std::string list = std::string("DSN=Direct1\0Driver=/ignored.so\0Options=#a=[b];c\0Value=", 54) +
                       value + '\0';
    ASSERT_TRUE(ConfigDSN(nullptr, ODBC_ADD_DSN, driver.c_str(), list.c_str()));
    ASSERT_TRUE(ConfigDSN(nullptr, ODBC_CONFIG_DSN, driver.c_str(),
                          std::string("DSN=Direct1\0ReadOnly=1\0", 24).c_str()));
    IniSections user = ReadIni(UserIni(*box));
    std::map<std::string, std::string> expected = {
        {"Driver", driver}, {"Options", "#a=[b];c"}, {"Value", value}, {"ReadOnly", "1"}};
    EXPECT_EQ(user["Direct1"], expected);
    EXPECT_EQ(ReadBack(UserIni(*box), "Direct1", "Driver"), driver);
    EXPECT_EQ(ReadBack(UserIni(*box), "Direct1", "Value"), value);
    EXPECT_EQ(ReadIni(box->OdbcDir() / "odbc.ini").count("Direct1"), 0u);
    UWORD mode = 99;
    ASSERT_TRUE(SQLGetConfigMode(&mode));
    EXPECT_EQ(mode, ODBC_BOTH_DSN);
}

TEST(ConfigDsnDirect, SystemModeWritesSystemFile)
{
    ASSERT_TRUE(SQLSetConfigMode(ODBC_SYSTEM_DSN));
    std::string list("DSN=Direct2\0Database=/a.db\0", 28);
    EXPECT_TRUE(ConfigDSN(nullptr, ODBC_ADD_DSN, "Alpha", list.c_str()));
    UWORD mode = 99;
    EXPECT_TRUE(SQLGetConfigMode(&mode));
    EXPECT_EQ(mode, ODBC_SYSTEM_DSN);
    SQLSetConfigMode(ODBC_BOTH_DSN);
    std::map<std::string, std::string> expected = {{"Driver", "Alpha"}, {"Database", "/a.db"}};
    EXPECT_EQ(ReadIni(box->OdbcDir() / "odbc.ini")["Direct2"], expected);
    EXPECT_EQ(ReadIni(UserIni(*box)).count("Direct2"), 0u);
}

}  // namespace
