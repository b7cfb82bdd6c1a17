/* The ODBC installer's declarations as unixODBC publishes them, and what a
 * data-source store is on this platform. */
#pragma once

#include <odbcinst.h>

/* unixODBC's headers give BOOL but not its two values. */
#define TRUE 1
#define FALSE 0

/* SQLGetPrivateProfileString's shape, shared by the reader that takes no
 * lock. */
typedef int (*ProfileReader)(LPCSTR section, LPCSTR entry, LPCSTR defaultValue, LPSTR buffer,
                             int size, LPCSTR file);

/* unixODBC keeps data sources in an INI file, the user's or the system's as
 * its configuration mode says. The store is that file's absolute path, which
 * the installer's profile functions take as it stands, and the function
 * that reads it. The path stays shorter than unixODBC's 4096-byte file-name
 * buffers. */
typedef struct {
    char path[4096];
    ProfileReader read;
} DataSourceStore;
