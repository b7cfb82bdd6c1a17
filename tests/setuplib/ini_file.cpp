// Runs programs with user and system data sources in separate files, under
// a time limit, against the installer library this test process uses.
#include "ini_file.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// A run that hangs (a setup library waiting on the installer's own lock)
// is ended after this long and fails.
const char SECONDS_ALLOWED[] = "30";
const int TIMED_OUT = 124;  // timeout(1)'s exit code for a run it ended

}  // namespace

fs::path UserIni(const Sandbox& box)
{
    return box.Dir() / "user-odbc.ini";
}

ProgramResult RunWithUserIni(const Sandbox& box, const std::string& program,
                             const std::vector<std::string>& arguments)
{
    std::vector<std::string> settings = {"ODBCINI=" + UserIni(box).string()};
    // The suite also runs with LD_LIBRARY_PATH naming another unixODBC.
    if (const char* libraries = std::getenv("LD_LIBRARY_PATH"))
        settings.push_back(std::string("LD_LIBRARY_PATH=") + libraries);
    std::vector<std::string> limited = {"--kill-after=5", SECONDS_ALLOWED, program};
    limited.insert(limited.end(), arguments.begin(), arguments.end());
    ProgramResult result = RunProgram(box, TIMEOUT_PROGRAM, limited, settings);
    if (result.exitCode == TIMED_OUT)
        result.errors += std::string("[ended after ") + SECONDS_ALLOWED + " s: the run hung]\n";
    return result;
}
