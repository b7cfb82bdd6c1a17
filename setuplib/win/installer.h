/* The ODBC installer's declarations as the Windows SDK publishes them, and
 * what a data-source store is on this platform. */
#pragma once

#include <windows.h>

#include <odbcinst.h>

/* The installer keeps data sources under "ODBC.INI" of the user's or the
 * machine's registry, as its configuration mode says; the store sets the
 * mode for the request and keeps the caller's to restore. */
typedef struct {
    UWORD callerMode;
} DataSourceStore;
