/* The ODBC installer's declarations as the Windows SDK publishes them, and
 * the one step the setup library may need beyond them. */
#pragma once

#include <windows.h>

#include <odbcinst.h>

/* Makes sure the system data-source store exists, so that the installer can
 * write to it. */
BOOL EnsureSystemDataSourceFile(void);
