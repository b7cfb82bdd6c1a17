// Looking a section or key up as the installer does: the first match,
// without regard to ASCII case.
#include "odbc_configuration.h"
#include "ascii_case.h"

const char DRIVER_LIST[] = "ODBC Drivers";
const char TRANSLATOR_LIST[] = "ODBC Translators";
const char DATA_SOURCE_LIST[] = "ODBC Data Sources";

const ConfigurationSection* FindSection(const ConfigurationFile& file, const std::string& name)
{
    for (const ConfigurationSection& section : file.sections) {
        if (SameIgnoringAsciiCase(section.name, name))
            return &section;
    }
    return NULL;
}

const std::string* FindValue(const ConfigurationSection& section, const std::string& key)
{
    for (const auto& value : section.values) {
        if (SameIgnoringAsciiCase(value.first, key))
            return &value.second;
    }
    return NULL;
}

std::string DataSourceDriver(const ConfigurationSection* list, const ConfigurationSection& section)
{
    const std::string* driver = list != NULL ? FindValue(*list, section.name) : NULL;
    if (driver == NULL)
        driver = FindValue(section, "Driver");
    return driver != NULL ? *driver : "";
}
