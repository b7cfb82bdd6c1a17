// The built program against unixODBC's own installer library, with its
// configuration files kept in the test's sandbox.
#include "program_run.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

typedef std::map<std::string, std::map<std::string, std::string>> IniSections;

IniSections ParseIni(const std::string& text)
{
    IniSections sections;
    std::string section;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
        } else if (equals != std::string::npos) {
            auto trim = [](std::string s) {
                s.erase(0, s.find_first_not_of(' '));
                s.erase(s.find_last_not_of(' ') + 1);
                return s;
            };
            sections[section][trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
        }
    }
    return sections;
}

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
    EXPECT_EQ(ParseIni(ReadText(box.OdbcDir() / "odbcinst.ini")), expected);
}

}  // namespace
