// Reading an odbc.ini or odbcinst.ini file back as sections of keys and
// values, and running a program with the user's data sources in a file of
// their own.
#pragma once

#include "program_run.h"

#include <map>
#include <string>
#include <vector>

typedef std::map<std::string, std::map<std::string, std::string>> IniSections;

// Blanks around keys and values are dropped; a missing file has no sections.
IniSections ReadIni(const std::filesystem::path& path);

// Where a run's user data sources go: apart from the system ones, which
// unixODBC keeps in $ODBCSYSINI/odbc.ini, the file RunProgram's ODBCINI names.
std::filesystem::path UserIni(const Sandbox& box);

// RunProgram with ODBCINI set to UserIni(box).
ProgramResult RunWithUserIni(const Sandbox& box, const std::string& program,
                             const std::vector<std::string>& arguments);
