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

// Appends the installer's error records (SQLInstallerError 1..8) to the
// list, asked of the library that failed while it is still loaded.
void FetchInstallerErrors(HMODULE library, InstallerErrors& errors);
