// The ODBC configuration as the installer keeps it, read whole and without
// creating anything: unixODBC's files on Linux, the registry on Windows.
// velloran-apply reads it once before a run and once after, instead of one
// installer read per keyword.
#pragma once

#include "platform.h"

#include <string>
#include <utility>
#include <vector>

// The three stores the installer writes: drivers and translators, and the
// system's and the user's data sources.
enum ConfigurationStore { DRIVER_STORE, SYSTEM_DATA_SOURCE_STORE, USER_DATA_SOURCE_STORE, STORE_COUNT };

typedef std::vector<std::pair<std::string, std::string>> ConfigurationValues;

struct ConfigurationSection {
    std::string name;
    ConfigurationValues values;  // in stored order, repeats kept
};

struct ConfigurationFile {
    std::string place;  // a path or a registry key, for reports
    bool read;          // false: it could not be read, and error says why
    std::string error;
    std::vector<ConfigurationSection> sections;  // in stored order, repeats kept
};

// The sections that list the components and data sources a store holds.
extern const char DRIVER_LIST[];
extern const char TRANSLATOR_LIST[];
extern const char DATA_SOURCE_LIST[];

// Whether installing a driver or translator that is there already replaces
// its section (unixODBC) or only sets the keys given (Windows).
extern const bool INSTALL_REPLACES_SECTION;

// Reads one store. A store that does not exist reads as empty. The
// installer library is loaded for the read where the platform needs it.
void ReadConfigurationStore(ConfigurationStore store, ConfigurationFile& file);

// The installer's own answers: the first section and the first key that
// match without regard to ASCII case. NULL when there is none.
const ConfigurationSection* FindSection(const ConfigurationFile& file, const std::string& name);
const std::string* FindValue(const ConfigurationSection& section, const std::string& key);

// The driver a data source is bound to: the name its store's DATA_SOURCE_LIST
// gives it (Windows keeps one; NULL where there is none), else its Driver=
// value (a driver's name or its file); "" if neither.
std::string DataSourceDriver(const ConfigurationSection* list, const ConfigurationSection& section);
