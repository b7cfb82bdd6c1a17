// The SQLite example end to end: the built program installs Debian's SQLite 3
// ODBC driver with the setup library and adds the example's data source, and
// isql then reads rows through that data source.
#include "ini_file.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const char INSTALLED_SETUP_LIBRARY[] = "/usr/lib/x86_64-linux-gnu/odbc/libvelloran-setup.so";
const char EXAMPLE_DATABASE[] = "/tmp/velloran-example/sales.db";
const char SQLITE_DRIVER[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// The example's paths are the installed package's; the run uses the build's.
bool Replace(std::string& text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    text.replace(at, from.size(), to);
    return true;
}

TEST(SqliteExample, IsqlReadsRowsThroughTheNewDataSource)
{
    if (std::string(SQLITE3_PROGRAM).empty() || std::string(ISQL_PROGRAM).empty() ||
        !fs::exists(SQLITE_DRIVER))
        GTEST_SKIP() << "needs sqlite3, isql and libsqliteodbc";
    Sandbox box;
    std::string database = (box.Dir() / "sales.db").string();
    std::string example = ReadText(fs::path(EXAMPLE_DIR) / "sqlite-datasource.ini");
    ASSERT_TRUE(Replace(example, INSTALLED_SETUP_LIBRARY, SETUP_LIBRARY));
    ASSERT_TRUE(Replace(example, EXAMPLE_DATABASE, database));
    std::string setup = box.Write("sqlite-datasource.ini", example);

    ProgramResult created = RunProgram(box, SQLITE3_PROGRAM,
        {database, "CREATE TABLE sales(region TEXT, amount INTEGER);"
                   "INSERT INTO sales VALUES ('North', 120), ('South', 80);"},
        {});
    ASSERT_EQ(created.exitCode, 0) << created.errors;

    ProgramResult run = RunWithUserIni(box, VELLORAN_PROGRAM, {setup});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(ReadIni(box.OdbcDir() / "odbc.ini")["Sales"]["Database"], database);

    std::string query = box.Write("query.sql", "SELECT region, amount FROM sales ORDER BY region\n");
    ProgramResult rows = RunWithUserIni(box, "/bin/sh",
        {"-c", "exec \"$0\" -b -d, Sales < \"$1\"", ISQL_PROGRAM, query});
    EXPECT_EQ(rows.exitCode, 0) << rows.output << rows.errors;
    EXPECT_NE(rows.output.find("North,120"), std::string::npos) << rows.output;
    EXPECT_NE(rows.output.find("South,80"), std::string::npos) << rows.output;
}

}  // namespace
