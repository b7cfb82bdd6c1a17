// The data-source request keywords and the codes they stand for.
#include "setup_file.h"

#include <gtest/gtest.h>

TEST(MapRequestKeyword, KnowsTheSixKeywordsExactly)
{
    const struct {
        const char* keyword;
        WORD request;
    } cases[] = {
        {"ODBC_ADD_DSN", 1},
        {"ODBC_CONFIG_DSN", 2},
        {"ODBC_REMOVE_DSN", 3},
        {"ODBC_ADD_SYS_DSN", 4},
        {"ODBC_CONFIG_SYS_DSN", 5},
        {"ODBC_REMOVE_SYS_DSN", 6},
        // Anything else adds a user data source.
        {"odbc_add_sys_dsn", 1},
        {"ODBC_REMOVE_SYS_DSN ", 1},
        {" ODBC_REMOVE_DSN", 1},
        {"ODBC_REMOVE", 1},
        {"None", 1},
        {"", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapRequestKeyword(c.keyword), c.request) << '"' << c.keyword << '"';
}
