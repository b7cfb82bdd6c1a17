// The built program against unixODBC's own installer library, with its
// configuration files kept in the test's sandbox.
#include "program_run.h"

#include <gtest/gtest.h>

namespace {

TEST(UnixOdbcInstaller, RegistersDriversButRefusesTranslators)
{
    Sandbox box;
    std::string setup = box.Write("setup.ini", R"([Translators]
Translator1=Tr One\0Translator=/opt/tr/one.so
[Drivers]
Driver1=Alpha Driver\0Driver=/opt/alpha/libalpha.so\0Setup=/opt/alpha/libalphaS.so
Driver2=Beta Driver\0Driver=/opt/beta/libbeta.so
)");
    ProgramResult run = RunProgram(box, VELLORAN_PROGRAM, {setup}, {});
    EXPECT_EQ(run.exitCode, 0);
    // unixODBC's SQLInstallTranslatorEx is a stub that always fails.
    EXPECT_EQ(run.errors, "Error: Failed to install ODBC translator.\n");
    IniSections expected = {
        {"Alpha Driver",
         {{"Driver", "/opt/alpha/libalpha.so"},
          {"Setup", "/opt/alpha/libalphaS.so"},
          {"UsageCount", "1"}}},
        {"Beta Driver", {{"Driver", "/opt/beta/libbeta.so"}, {"UsageCount", "1"}}},
    };
    EXPECT_EQ(ReadIni(box.OdbcDir() / "odbcinst.ini"), expected);
}

}  // namespace
