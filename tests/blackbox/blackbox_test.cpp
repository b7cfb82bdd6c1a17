// The built program against the recording fake installer library: which
// installer calls a setup file leads to, with which arguments, and what a
// failing, missing or incomplete library makes of the run.
#include "program_run.h"
#include "setup_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char MANAGER_WARNING[] = "Error: Failed to install ODBC driver manager.\n";
const char TRANSLATOR_WARNING[] = "Error: Failed to install ODBC translator.\n";
const char DRIVER_WARNING[] = "Error: Failed to install ODBC driver.\n";
const char CONFIG_WARNING[] = "Error: Failed to configure ODBC data source.\n";

// Expected lines of the fake's record. Lists are given as recorded: NUL as
// \0, a backslash as \\, up to the NUL pair that closes them.
std::string Call(const std::string& function, int n, const std::string& arguments)
{
    return function + "#" + std::to_string(n) + " " + arguments + " -> TRUE";
}

std::string ManagerCall(int n)
{
    return Call("SQLInstallDriverManager", n, "path_out=non-NULL path_max=260 path_len=non-NULL");
}

std::string ComponentCall(const char* function, int n, const std::string& spec)
{
    return Call(function, n,
                "spec=\"" + spec + "\" path_in=NULL path_out=non-NULL path_max=260"
                " path_len=non-NULL request=2 usage=non-NULL");
}

std::string TranslatorCall(int n, const std::string& spec)
{
    return ComponentCall("SQLInstallTranslatorEx", n, spec);
}

std::string DriverCall(int n, const std::string& spec)
{
    return ComponentCall("SQLInstallDriverEx", n, spec);
}

std::string ConfigCall(int n, int request, const std::string& driver, const std::string& attributes)
{
    return Call("SQLConfigDataSource", n,
                "hwnd=NULL request=" + std::to_string(request) + " driver=\"" + driver +
                    "\" attributes=\"" + attributes + "\"");
}

// One of everything; Driver2 keeps a backslash that is no separator.
const char FULL_SETUP[] = R"([InstallManager]
Install=1
[Translators]
Translator1=Tr One\0Translator=/opt/tr/one.so
Translator2=Tr Two\0Translator=/opt/tr/two.so\0Setup=/opt/tr/two-setup.so
[Drivers]
Driver1=Drv One\0Driver=/opt/drv/one.so
Driver2=Drv Two\0Driver=C:\odbc\two.dll
[Data Sources]
DSDriver1=Drv One
DSAttrib1=DSN=first\0Database=/srv/first.db
DSRequest1=ODBC_ADD_SYS_DSN
DSDriver2=Drv Two
DSAttrib2=DSN=second
DSRequest2=ODBC_CONFIG_DSN
)";

const std::vector<std::string> FULL_SETUP_CALLS = {
    ManagerCall(1),
    TranslatorCall(1, R"(Tr One\0Translator=/opt/tr/one.so\0\0)"),
    TranslatorCall(2, R"(Tr Two\0Translator=/opt/tr/two.so\0Setup=/opt/tr/two-setup.so\0\0)"),
    DriverCall(1, R"(Drv One\0Driver=/opt/drv/one.so\0\0)"),
    DriverCall(2, R"(Drv Two\0Driver=C:\\odbc\\two.dll\0\0)"),
    ConfigCall(1, 4, "Drv One", R"(DSN=first\0Database=/srv/first.db\0\0)"),
    ConfigCall(2, 2, "Drv Two", R"(DSN=second\0\0)"),
};

// Each call as the one thing between a load and an unload.
std::vector<std::string> Enclosed(const std::vector<std::string>& calls)
{
    std::vector<std::string> record;
    for (const std::string& call : calls)
        record.insert(record.end(), {"load", call, "unload"});
    return record;
}

class ProgramRun : public ::testing::Test {
protected:
    Sandbox box;
    std::string libraryDir = FAKE_INSTALLER_DIR;
    std::string fail;

    ProgramResult RunWith(const std::vector<std::string>& arguments,
                          const std::string& program = VELLORAN_PROGRAM)
    {
        std::vector<std::string> settings = {"LD_LIBRARY_PATH=" + libraryDir,
                                             "VELLORAN_FAKE_LOG=" + LogPath().string()};
        if (!fail.empty())
            settings.push_back("VELLORAN_FAKE_FAIL=" + fail);
        return RunProgram(box, program, arguments, settings);
    }

    ProgramResult RunSetup(const std::string& setup)
    {
        return RunWith({box.Write("setup.ini", setup)});
    }

    fs::path LogPath() const { return box.Dir() / "calls.log"; }

    std::vector<std::string> Record() const
    {
        std::vector<std::string> lines;
        std::istringstream log(ReadText(LogPath()));
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        for (const std::string& line : Record()) {
            if (line != "load" && line != "unload")
                calls.push_back(line);
        }
        return calls;
    }

    // A copy of the program in the sandbox, with `setup` beside it unless
    // empty. The program finds its path resolved, so a link would not do.
    std::string CopyProgram(const std::string& name, const std::string& setup)
    {
        fs::path program = box.Dir() / name;
        fs::copy_file(VELLORAN_PROGRAM, program);
        fs::permissions(program, fs::perms::owner_all);
        if (!setup.empty())
            box.Write(name + ".ini", setup);
        return program.string();
    }

    // A file by the installer library's name that cannot be loaded: the
    // loader stops at it rather than go on to a system-wide copy.
    void BreakLibrary()
    {
        libraryDir = fs::path(box.Write("broken/libodbcinst.so.2",
                                        std::string(200, '#') + "\nnot a shared object\n"))
                         .parent_path()
                         .string();
    }
};

TEST_F(ProgramRun, FullSetupLoadsCallsAndReleasesTheLibraryPerEntry)
{
    ProgramResult run = RunSetup(FULL_SETUP);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(Record(), Enclosed(FULL_SETUP_CALLS));
}

TEST_F(ProgramRun, EachFailedEntryWarnsOnceAndTheRunGoesOn)
{
    const struct {
        const char* fail;
        std::string errors;
    } rows[] = {
        {"SQLInstallDriverManager#1", MANAGER_WARNING},
        {"SQLInstallTranslatorEx#2", TRANSLATOR_WARNING},
        {"SQLInstallDriverEx#1", DRIVER_WARNING},
        {"SQLConfigDataSource#*", std::string(CONFIG_WARNING) + CONFIG_WARNING},
        {"SQLInstallDriverManager#*,SQLInstallTranslatorEx#*,SQLInstallDriverEx#2,"
         "SQLConfigDataSource#1",
         std::string(MANAGER_WARNING) + TRANSLATOR_WARNING + TRANSLATOR_WARNING + DRIVER_WARNING +
             CONFIG_WARNING},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fail);
        fail = row.fail;
        fs::remove(LogPath());
        ProgramResult run = RunSetup(FULL_SETUP);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, row.errors);
        EXPECT_EQ(Calls().size(), FULL_SETUP_CALLS.size());
    }
}

TEST_F(ProgramRun, LibraryThatCannotLoadFailsEveryEntry)
{
    BreakLibrary();
    ProgramResult run = RunSetup(FULL_SETUP);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, std::string(MANAGER_WARNING) + TRANSLATOR_WARNING + TRANSLATOR_WARNING +
                              DRIVER_WARNING + DRIVER_WARNING + CONFIG_WARNING + CONFIG_WARNING);
    EXPECT_FALSE(fs::exists(LogPath()));
    // A system-wide library, had it been loaded instead, would have written here.
    EXPECT_FALSE(fs::exists(box.OdbcDir() / "odbcinst.ini"));
}

TEST_F(ProgramRun, MissingFunctionFailsItsEntriesAndReleasesTheLibrary)
{
    libraryDir = FAKE_INSTALLER_NOCONFIG_DIR;
    ProgramResult run = RunSetup(FULL_SETUP);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, std::string(CONFIG_WARNING) + CONFIG_WARNING);
    std::vector<std::string> expected(FULL_SETUP_CALLS.begin(), FULL_SETUP_CALLS.end() - 2);
    expected = Enclosed(expected);
    expected.insert(expected.end(), {"load", "unload", "load", "unload"});
    EXPECT_EQ(Record(), expected);
}

TEST_F(ProgramRun, ListsEndAtTheFirstMissingOrNoneEntry)
{
    const std::string x998(998, 'x');
    const struct {
        const char* name;
        std::string setup;
        std::vector<std::string> calls;
    } rows[] = {
        {"manager not asked for", "[InstallManager]\nInstall=0\n", {}},
        {"manager asked for by any nonzero", "[InstallManager]\nInstall=3\n", {ManagerCall(1)}},
        {"gap ends a list", "[Drivers]\nDriver1=A\nDriver3=C\n", {DriverCall(1, R"(A\0\0)")}},
        {"None ends a list",
         "[Drivers]\nDriver1=A\nDriver2=None\nDriver3=C\n",
         {DriverCall(1, R"(A\0\0)")}},
        {"lower-case none is an entry",
         "[Translators]\nTranslator1=none\n",
         {TranslatorCall(1, R"(none\0\0)")}},
        {"empty value is an entry",
         "[Drivers]\nDriver1=\nDriver2=B\n",
         {DriverCall(1, R"(\0\0)"), DriverCall(2, R"(B\0\0)")}},
        {"missing DSDriver1 ends the data sources",
         "[Data Sources]\nDSAttrib1=DSN=a\nDSRequest1=ODBC_ADD_DSN\nDSDriver2=B\n",
         {}},
        {"missing DSAttrib is the list None",
         "[Data Sources]\nDSDriver1=B\n",
         {ConfigCall(1, 1, "B", R"(None\0\0)")}},
        {"999 characters reach the installer closed by two NULs",
         "[Drivers]\nDriver1=" + std::string(999, 'x') + "\n",
         {DriverCall(1, x998 + R"(\0\0)")}},
        {"longer values are cut the same way",
         "[Drivers]\nDriver1=" + std::string(1500, 'x') + "\n",
         {DriverCall(1, x998 + R"(\0\0)")}},
        {"999 characters with separators all stay",
         "[Drivers]\nDriver1=" + Repeat(R"(ab\0)", 249) + "abc\n",
         {DriverCall(1, Repeat(R"(ab\0)", 249) + R"(abc\0\0)")}},
        {"a separator cut in half stays a backslash",
         "[Drivers]\nDriver1=" + Repeat(R"(ab\0)", 300) + "\n",
         {DriverCall(1, Repeat(R"(ab\0)", 249) + R"(ab\\\0\0)")}},
        {"driver name cut to 149 characters",
         "[Data Sources]\nDSDriver1=" + std::string(200, 'd') + "\nDSAttrib1=DSN=a\n",
         {ConfigCall(1, 1, std::string(149, 'd'), R"(DSN=a\0\0)")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(LogPath());
        ProgramResult run = RunSetup(row.setup);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(Calls(), row.calls);
    }
}

TEST_F(ProgramRun, RequestKeywordsMapToTheirCodes)
{
    const struct {
        const char* keyword;  // nullptr: no DSRequest key
        int request;
    } rows[] = {
        {"ODBC_ADD_DSN", 1},
        {"ODBC_CONFIG_DSN", 2},
        {"ODBC_REMOVE_DSN", 3},
        {"ODBC_ADD_SYS_DSN", 4},
        {"ODBC_CONFIG_SYS_DSN", 5},
        {"ODBC_REMOVE_SYS_DSN", 6},
        // Anything else adds a user data source.
        {nullptr, 1},
        {"", 1},
        {"None", 1},
        {"odbc_remove_dsn", 1},
        {"\" ODBC_REMOVE_DSN\"", 1},  // blanks kept by the quotes
        {"\"ODBC_REMOVE_DSN \"", 1},
        {"ODBC_REMOVE", 1},
        {"ODBC_ADD_SYS_DS", 1},
        {"ODBC_REMOVE_DEFAULT_DSN", 1},  // a real code, but not one of ours
        // Compared once cut to 19 characters.
        {"ODBC_REMOVE_SYS_DSN_NOW", 6},
        {"ODBC_CONFIG_SYS_DSNX", 5},
    };
    std::string setup = "[Data Sources]\n";
    std::vector<std::string> expected;
    int n = 0;
    for (const auto& row : rows) {
        std::string index = std::to_string(++n);
        setup += "DSDriver" + index + "=D" + index + "\n";
        if (row.keyword != nullptr)
            setup += "DSRequest" + index + "=" + row.keyword + "\n";
        expected.push_back(ConfigCall(n, row.request, "D" + index, R"(None\0\0)"));
    }
    ProgramResult run = RunSetup(setup);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Calls(), expected);
}

TEST_F(ProgramRun, CommandLineTailOf260CharactersIsRefused)
{
    const struct {
        size_t length;
        bool split;  // the path's blank between two arguments
        bool read;
    } rows[] = {{259, false, true}, {260, false, false}, {259, true, true}, {260, true, false}};
    // A refused tail must not fall back to the file beside the executable.
    std::string program = CopyProgram("dbsetup", "[Drivers]\nDriver1=Beside\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.length) + (row.split ? " in two arguments" : ""));
        // Folders on the way keep each name within the file system's limit.
        std::string path = box.Dir().string();
        while (row.length - path.size() > 200) {
            path += "/" + std::string(150, 'd');
            fs::create_directory(path);
        }
        std::string name(row.length - path.size() - 1, 'n');
        name[name.size() / 2] = row.split ? ' ' : 'b';
        path += "/" + name;
        ASSERT_EQ(path.size(), row.length);
        std::ofstream(path) << "[Drivers]\nDriver1=A\n";
        std::vector<std::string> arguments = {path};
        if (row.split) {
            size_t blank = path.rfind(' ');
            arguments = {path.substr(0, blank), path.substr(blank + 1)};
        }
        fs::remove(LogPath());
        ProgramResult run = RunWith(arguments, program);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(Calls(), row.read ? std::vector<std::string>{DriverCall(1, R"(A\0\0)")}
                                    : std::vector<std::string>{});
    }
}

TEST_F(ProgramRun, SetupFileIsTheNamedOneOrTheOneBesideTheProgram)
{
    std::string program = CopyProgram("dbsetup", "[Drivers]\nDriver1=Beside\n");
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string program;
        std::vector<std::string> calls;
    } rows[] = {
        {"no argument", {}, program, {DriverCall(1, R"(Beside\0\0)")}},
        {"nothing beside the program", {}, CopyProgram("lonely", ""), {}},
        {"named file missing", {(box.Dir() / "absent.ini").string()}, program, {}},
        {"named path is a folder", {box.Dir().string()}, program, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(LogPath());
        ProgramResult run = RunWith(row.arguments, row.program);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(Calls(), row.calls);
    }
}

TEST_F(ProgramRun, NumberedKeysEndWhereTheirNamesOutgrow16Bytes)
{
    // "Translator99999" is the last name that fits; the broken library turns
    // each entry read into one warning, which keeps 99999 entries quick.
    BreakLibrary();
    std::string setup = "[Translators]\n";
    for (int n = 1; n <= 100001; ++n)
        setup += "Translator" + std::to_string(n) + "=T\n";
    ProgramResult run = RunSetup(setup);
    EXPECT_EQ(run.exitCode, 0);
    // Compared as a whole, but not printed as a whole.
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 99999);
    EXPECT_TRUE(run.errors == Repeat(TRANSLATOR_WARNING, 99999));
}

}  // namespace
