/* The ODBC installer's declarations as unixODBC publishes them, and the one
 * step the setup library needs beyond them on this platform. */
#pragma once

#include <odbcinst.h>

/* unixODBC's headers give BOOL but not its two values. */
#define TRUE 1
#define FALSE 0

/* Makes sure the system data-source file exists, so that the installer can
 * write to it. */
BOOL EnsureSystemDataSourceFile(void);
