// Runs programs with user and system data sources in separate files.
#include "ini_file.h"

namespace fs = std::filesystem;

fs::path UserIni(const Sandbox& box)
{
    return box.Dir() / "user-odbc.ini";
}

ProgramResult RunWithUserIni(const Sandbox& box, const std::string& program,
                             const std::vector<std::string>& arguments)
{
    return RunProgram(box, program, arguments, {"ODBCINI=" + UserIni(box).string()});
}
