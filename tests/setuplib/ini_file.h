// Running a program with the user's data sources in a file of their own.
#pragma once

#include "program_run.h"

#include <string>
#include <vector>

// Where a run's user data sources go: apart from the system ones, which
// unixODBC keeps in $ODBCSYSINI/odbc.ini, the file RunProgram's ODBCINI names.
std::filesystem::path UserIni(const Sandbox& box);

// RunProgram with ODBCINI set to UserIni(box), this process's
// LD_LIBRARY_PATH passed on, and a time limit: a run that hangs is ended
// with exit code 124 and a note in its errors.
ProgramResult RunWithUserIni(const Sandbox& box, const std::string& program,
                             const std::vector<std::string>& arguments);
