// Reading the ODBC configuration where Windows' installer keeps it: the
// registry, in the view of this build's bitness. A key is a section and its
// string values are the section's keys.
#include "odbc_configuration.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct StoreKey {
    HKEY root;
    LPCSTR path;
    LPCSTR place;
};

const StoreKey STORE_KEYS[STORE_COUNT] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI", "HKLM\\SOFTWARE\\ODBC\\ODBCINST.INI"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI", "HKLM\\SOFTWARE\\ODBC\\ODBC.INI"},
    {HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI", "HKCU\\SOFTWARE\\ODBC\\ODBC.INI"},
};

// Registry names are at most 255 characters; values as long as an
// installer stores.
const DWORD NAME_SIZE = 256;
const DWORD VALUE_SIZE = 32768;

bool ReadValues(HKEY key, ConfigurationSection& section)
{
    std::vector<char> data(VALUE_SIZE + 1);
    for (DWORD index = 0;; ++index) {
        char name[NAME_SIZE];
        DWORD nameSize = sizeof name;
        DWORD dataSize = VALUE_SIZE;
        DWORD type = 0;
        LONG result = RegEnumValueA(key, index, name, &nameSize, NULL, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS)
            return false;
        // A usage count is a number; it reads as unixODBC writes it.
        if (type == REG_DWORD && dataSize == sizeof(DWORD)) {
            DWORD number;
            std::memcpy(&number, data.data(), sizeof number);
            section.values.emplace_back(name, std::to_string(number));
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            data[dataSize < VALUE_SIZE ? dataSize : VALUE_SIZE] = '\0';
            section.values.emplace_back(name, data.data());
        }
    }
}

bool ReadSections(HKEY store, ConfigurationFile& file)
{
    for (DWORD index = 0;; ++index) {
        char name[NAME_SIZE];
        DWORD nameSize = sizeof name;
        LONG result = RegEnumKeyExA(store, index, name, &nameSize, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS)
            return false;
        HKEY key;
        if (RegOpenKeyExA(store, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ConfigurationSection section = {name, {}};
        bool read = ReadValues(key, section);
        RegCloseKey(key);
        if (!read)
            return false;
        file.sections.push_back(std::move(section));
    }
}

}  // namespace

// Windows sets the values given in the component's key and keeps the rest.
const bool INSTALL_REPLACES_SECTION = false;

void ReadConfigurationStore(ConfigurationStore store, ConfigurationFile& file)
{
    const StoreKey& where = STORE_KEYS[store];
    file = ConfigurationFile{where.place, false, "", {}};
    HKEY key;
    LONG opened = RegOpenKeyExA(where.root, where.path, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND) {
        file.read = true;  // nothing installed yet
        return;
    }
    if (opened != ERROR_SUCCESS) {
        file.error = "cannot read " + file.place;
        return;
    }
    file.read = ReadSections(key, file);
    if (!file.read) {
        file.sections.clear();
        file.error = "cannot read " + file.place;
    }
    RegCloseKey(key);
}
