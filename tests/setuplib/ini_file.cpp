// Reads ini files back for the setup library's tests, and runs programs
// with user and system data sources in separate files.
#include "ini_file.h"

#include <sstream>

namespace fs = std::filesystem;

static std::string Trim(std::string text)
{
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

IniSections ReadIni(const fs::path& path)
{
    IniSections sections;
    std::string section;
    std::istringstream lines(ReadText(path));
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
        } else if (equals != std::string::npos) {
            sections[section][Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
        }
    }
    return sections;
}

fs::path UserIni(const Sandbox& box)
{
    return box.Dir() / "user-odbc.ini";
}

ProgramResult RunWithUserIni(const Sandbox& box, const std::string& program,
                             const std::vector<std::string>& arguments)
{
    // RunProgram already sets ODBCINI, and getenv takes the first of two
    // settings, so env replaces it instead.
    std::vector<std::string> envArguments = {"ODBCINI=" + UserIni(box).string(), program};
    envArguments.insert(envArguments.end(), arguments.begin(), arguments.end());
    return RunProgram(box, "/usr/bin/env", envArguments, {});
}
