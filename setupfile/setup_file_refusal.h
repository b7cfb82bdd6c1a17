// Why a setup file is refused, in words every program prints alike.
#pragma once

#include "setup_file.h"

#include <string>

// For a check other than SETUP_FILE_READABLE, with GetLastError still that
// of the failed open.
std::string SetupFileRefusal(SetupFileCheck check);

// Why FillSetupFilePathFromArgument refused a path.
std::string SetupPathRefusal(void);
