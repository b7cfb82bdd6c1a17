// What velloran-apply asks the installer beyond the four calls that change
// the configuration: the error detail of a failed call. velloran never asks,
// so its calls stay exactly the four.
#pragma once

#include "platform.h"

#include <string>
#include <vector>

struct InstallerError {
    DWORD code;
    std::string message;
};
typedef std::vector<InstallerError> InstallerErrors;

// While a list is set, a failed call of one of the four wrappers appends the
// installer's error records (SQLInstallerError 1..8) to it, asked before
// the library is released. NULL, the default, asks nothing.
void CollectInstallerErrors(InstallerErrors* errors);
