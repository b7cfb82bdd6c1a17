/* Where a request's data sources are kept, and the installer calls that read
 * and change them there. Each platform's data_source_store.c provides these,
 * and its installer.h defines DataSourceStore. */
#pragma once

#include "installer.h"

/* Finds the store the installer's configuration mode names ("both" means the
 * user's own) and readies it. Returns NULL, or why it cannot. */
const char* OpenDataSourceStore(DataSourceStore* store);

/* Undoes whatever opening the store changed. */
void CloseDataSourceStore(DataSourceStore* store);

/* Whether the store holds a data source of this name: a section with keys,
 * as a data source always has its Driver. */
BOOL DataSourceExists(const DataSourceStore* store, const char* dsn);

/* Writes the data source with its driver alone, replacing one of the same
 * name. */
BOOL WriteDataSource(const DataSourceStore* store, const char* dsn, const char* driver);

/* Sets one attribute of a data source. */
BOOL WriteDataSourceAttribute(const DataSourceStore* store, const char* dsn, const char* key,
                              const char* value);

/* Removes the data source; one that is not there is no failure. */
BOOL RemoveDataSource(const DataSourceStore* store, const char* dsn);
