/*
 * The data-source store on unixODBC: the user's or the system's odbc.ini,
 * named by its absolute path.
 *
 * Since unixODBC 2.3.13, SQLConfigDataSource holds the installer's
 * configuration lock (a mutex within the process, not recursive), while it calls ConfigDSN.
 * SQLGetConfigMode, SQLSetConfigMode, SQLGetPrivateProfileString,
 * SQLWriteDSNToIni, SQLRemoveDSNFromIni, and SQLWritePrivateProfileString
 * with a relative file name all take that lock again, and would hang. So
 * this store asks none of them: it reads with __SQLGetPrivateProfileStringNL
 * (2.3.13 on, the same reader without the lock), writes with
 * SQLWritePrivateProfileString and an absolute path (which skips the mode),
 * and gets its paths from _odbcinst_UserINI and _odbcinst_SystemINI (which
 * take no lock). Older versions lack the unlocked reader and never hold the
 * lock around ConfigDSN, so there the ordinary reader and SQLGetConfigMode
 * serve. What a version may lack is looked up at run time, so that one
 * build serves both.
 */
#define _GNU_SOURCE

#include "data_source_store.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef BOOL (*IniPathFinder)(char* path, BOOL verify);

/* A function of the installer library this library is linked with: it is
 * loaded already, in this library's own lookup scope. NULL when this
 * version lacks it. */
static void* InstallerFunction(const char* name)
{
    return dlsym(RTLD_DEFAULT, name);
}

/* The installer's configuration mode, asked without its lock. The unlocked
 * reader reads the file the mode names: the user's ($ODBCINI) in the user
 * mode, the system's in the system mode, both in the "both" mode. With
 * $ODBCINI briefly naming a file of this library's own, that file's section
 * therefore shows through unless the mode is the system one. The installer
 * calls ConfigDSN on its caller's thread, and the environment is put back
 * before anything else runs there. */
static const char* ReadModeUnlocked(ProfileReader reader, BOOL* system)
{
    const char* directory = getenv("TMPDIR");
    const char* callerIni = getenv("ODBCINI");
    char* savedIni = NULL;
    char probe[1024];
    char text[1100];
    char keys[64] = "";
    const char* section;
    int file, length, written;
    if (directory == NULL || directory[0] != '/')
        directory = "/tmp";
    if (snprintf(probe, sizeof probe, "%s/velloran-setup-XXXXXX", directory) >= (int)sizeof probe)
        return "The temporary directory's path is too long.";
    file = mkstemp(probe);
    if (file < 0)
        return "Cannot create a temporary file to learn the installer's configuration mode.";
    section = strrchr(probe, '/') + 1;
    length = snprintf(text, sizeof text, "[%s]\nProbe=1\n", section);
    written = (int)write(file, text, (size_t)length);
    if (close(file) != 0 || written != length ||
        (callerIni != NULL && (savedIni = strdup(callerIni)) == NULL) ||
        setenv("ODBCINI", probe, 1) != 0) {
        unlink(probe);
        free(savedIni);
        return "Cannot prepare to learn the installer's configuration mode.";
    }
    length = reader(section, NULL, "", keys, (int)sizeof keys, "odbc.ini");
    if (savedIni != NULL)
        setenv("ODBCINI", savedIni, 1);
    else
        unsetenv("ODBCINI");
    free(savedIni);
    unlink(probe);
    *system = !(length > 0 && keys[0] != '\0');
    return NULL;
}

/* The user's or the system's data-source file, as the installer names it,
 * made absolute. */
static const char* FindFile(BOOL system, char* path, size_t size)
{
    /* Room for what unixODBC writes: a 4096-byte name and a file name. */
    char found[8192];
    char directory[4096];
    IniPathFinder find = NULL;
    void* symbol = InstallerFunction(system ? "_odbcinst_SystemINI" : "_odbcinst_UserINI");
    memcpy(&find, &symbol, sizeof find);
    memset(found, 0, sizeof found);
    if (find == NULL || !find(found, FALSE) || found[0] == '\0')
        return "The installer does not name its data-source file.";
    found[sizeof found - 1] = '\0';
    if (found[0] == '/') {
        if (strlen(found) >= size)
            return "The data-source file's path is too long.";
        strcpy(path, found);
    } else if (getcwd(directory, sizeof directory) == NULL ||
               snprintf(path, size, "%s/%s", directory, found) >= (int)size) {
        return "The data-source file's path is too long.";
    }
    /* unixODBC reads and writes any file whose name holds these as its
     * driver file instead. */
    if (strstr(path, "odbcinst") != NULL || strstr(path, "ODBCINST") != NULL)
        return "The data-source file's path holds \"odbcinst\", which unixODBC takes for its "
               "driver file.";
    return NULL;
}

const char* OpenDataSourceStore(DataSourceStore* store)
{
    void* unlocked = InstallerFunction("__SQLGetPrivateProfileStringNL");
    BOOL system = FALSE;
    const char* failure;
    if (unlocked != NULL) {
        memcpy(&store->read, &unlocked, sizeof store->read);
        failure = ReadModeUnlocked(store->read, &system);
        if (failure != NULL)
            return failure;
    } else {
        UWORD mode = ODBC_BOTH_DSN;
        store->read = SQLGetPrivateProfileString;
        /* "Both" writes to the user's data sources. */
        system = SQLGetConfigMode(&mode) && mode == ODBC_SYSTEM_DSN;
    }
    return FindFile(system, store->path, sizeof store->path);
}

void CloseDataSourceStore(DataSourceStore* store)
{
    (void)store;
}

BOOL DataSourceExists(const DataSourceStore* store, const char* dsn)
{
    char keys[256] = "";
    return store->read(dsn, NULL, "", keys, (int)sizeof keys, store->path) > 0 && keys[0] != '\0';
}

BOOL WriteDataSource(const DataSourceStore* store, const char* dsn, const char* driver)
{
    /* unixODBC creates the file when it is missing. */
    return SQLWritePrivateProfileString(dsn, NULL, NULL, store->path) &&
           SQLWritePrivateProfileString(dsn, "Driver", driver, store->path);
}

BOOL WriteDataSourceAttribute(const DataSourceStore* store, const char* dsn, const char* key,
                              const char* value)
{
    return SQLWritePrivateProfileString(dsn, key, value, store->path);
}

BOOL RemoveDataSource(const DataSourceStore* store, const char* dsn)
{
    return SQLWritePrivateProfileString(dsn, NULL, NULL, store->path);
}
