// The installation run and its binding to the ODBC installer library.
#pragma once

#include "platform.h"
#include "run_policy.h"

// Each wrapper loads the installer library, calls one function and
// releases the library again. Nonzero on success.
BOOL OdbcInstallDriverManager(void);
BOOL OdbcInstallTranslator(LPCSTR spec);
BOOL OdbcInstallDriver(LPCSTR spec);
BOOL OdbcConfigDataSource(WORD request, LPCSTR driver, LPCSTR attributes);

// Called after an installer function has failed, with the library still
// loaded, so its error detail can be asked; none by default, and velloran
// sets none, so its calls stay the four.
typedef void (*InstallerFailureHook)(HMODULE library);
void SetInstallerFailureHook(InstallerFailureHook hook);

// An installer function by name, as the pointer type of its declaration;
// NULL when the library lacks it.
template <typename Function>
Function InstallerFunction(HMODULE library, LPCSTR name)
{
    // Through void (*)(void): the cast from the generic address is meant.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}

void InstallDriverManager(void);
void InstallTranslators(void);
void InstallDrivers(void);
void ConfigureDataSources(void);

// The four phases in order, or nothing when there is no setup file.
void RunInstallation(void);
