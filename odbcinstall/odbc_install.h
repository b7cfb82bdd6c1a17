// The installation run and its binding to the ODBC installer library.
#pragma once

#include "platform.h"

// Each wrapper loads the installer library, calls one function and
// releases the library again. Nonzero on success.
BOOL OdbcInstallDriverManager(void);
BOOL OdbcInstallTranslator(LPCSTR spec);
BOOL OdbcInstallDriver(LPCSTR spec);
BOOL OdbcConfigDataSource(WORD request, LPCSTR driver, LPCSTR attributes);

void InstallDriverManager(void);
void InstallTranslators(void);
void InstallDrivers(void);
void ConfigureDataSources(void);

// The four phases in order, or nothing when there is no setup file.
void RunInstallation(void);
