/*
 * unixODBC writes system data sources to odbc.ini in its system directory
 * but will not create that file when it is missing (it only creates one it
 * could already read), so the first system data source would fail. The
 * directory comes from SQLInstallDriverManager, which on unixODBC only
 * reports it ($ODBCSYSINI, else its built-in default such as /etc).
 */
#include "installer.h"

#include <stdio.h>

BOOL EnsureSystemDataSourceFile(void)
{
    /* One byte spare: unixODBC copies with strncpy and then takes strlen. */
    char directory[1024] = "";
    char path[1100];
    WORD length = 0;
    FILE* file;
    if (!SQLInstallDriverManager(directory, (WORD)(sizeof directory - 1), &length) ||
        length >= sizeof directory - 1 || directory[0] == '\0')
        return FALSE;
    if (snprintf(path, sizeof path, "%s/odbc.ini", directory) >= (int)sizeof path)
        return FALSE;
    /* Appending creates a missing file and leaves an existing one intact. */
    file = fopen(path, "a");
    if (file == NULL)
        return FALSE;
    return fclose(file) == 0;
}
