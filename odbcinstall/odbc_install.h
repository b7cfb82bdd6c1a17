// The installation run and its binding to the ODBC installer library.
#pragma once

#include "installer_queries.h"
#include "platform.h"
#include "run_policy.h"

// Each wrapper loads the installer library, calls one function and
// releases the library again. Nonzero on success. Given a list, a failed
// call appends the installer's error records to it before the library
// goes; velloran gives none, so its calls stay the four.
BOOL OdbcInstallDriverManager(InstallerErrors* errors = NULL);
BOOL OdbcInstallTranslator(LPCSTR spec, InstallerErrors* errors = NULL);
BOOL OdbcInstallDriver(LPCSTR spec, InstallerErrors* errors = NULL);
BOOL OdbcConfigDataSource(WORD request, LPCSTR driver, LPCSTR attributes,
                          InstallerErrors* errors = NULL);

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
