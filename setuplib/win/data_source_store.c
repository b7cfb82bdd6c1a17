/* The data-source store on Windows: the installer's own data-source calls
 * under the configuration mode the request needs. */
#include "data_source_store.h"

static const char ODBC_INI[] = "ODBC.INI";

const char* OpenDataSourceStore(DataSourceStore* store)
{
    if (!SQLGetConfigMode(&store->callerMode))
        store->callerMode = ODBC_BOTH_DSN;
    /* "Both" writes to the user's data sources; reads are held to the same
     * place, so "exists" means where the change would go. */
    SQLSetConfigMode(store->callerMode == ODBC_SYSTEM_DSN ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
    return NULL;
}

void CloseDataSourceStore(DataSourceStore* store)
{
    SQLSetConfigMode(store->callerMode);
}

BOOL DataSourceExists(const DataSourceStore* store, const char* dsn)
{
    char keys[256] = "";
    (void)store;
    return SQLGetPrivateProfileString(dsn, NULL, "", keys, (int)sizeof keys, ODBC_INI) > 0 &&
           keys[0] != '\0';
}

BOOL WriteDataSource(const DataSourceStore* store, const char* dsn, const char* driver)
{
    (void)store;
    return SQLWriteDSNToIni(dsn, driver);
}

BOOL WriteDataSourceAttribute(const DataSourceStore* store, const char* dsn, const char* key,
                              const char* value)
{
    (void)store;
    return SQLWritePrivateProfileString(dsn, key, value, ODBC_INI);
}

BOOL RemoveDataSource(const DataSourceStore* store, const char* dsn)
{
    (void)store;
    return SQLRemoveDSNFromIni(dsn);
}
