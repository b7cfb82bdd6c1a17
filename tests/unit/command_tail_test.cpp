// The tail of a Linux command line, rebuilt from the argument vector.
#include "command_tail.h"

#include <gtest/gtest.h>

#include <string>

TEST(JoinArguments, JoinsWithSingleBlanksAndRefusesWhatWouldBeCut)
{
    char buffer[260];
    const char* none[] = {"velloran"};
    ASSERT_TRUE(JoinArguments(1, none, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");

    const char* split[] = {"velloran", "/srv/my", "setup.ini"};
    ASSERT_TRUE(JoinArguments(3, split, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/srv/my setup.ini");

    const char* inner[] = {"velloran", " padded  path ", ""};
    ASSERT_TRUE(JoinArguments(3, inner, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, " padded  path  ");

    // 259 characters fit beside the NUL; one more is refused, not cut.
    std::string half(129, 'a');
    const char* fits[] = {"velloran", half.c_str(), half.c_str()};
    ASSERT_TRUE(JoinArguments(3, fits, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer).size(), 259u);

    std::string longer(130, 'a');
    const char* tooLong[] = {"velloran", half.c_str(), longer.c_str()};
    EXPECT_FALSE(JoinArguments(3, tooLong, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}
