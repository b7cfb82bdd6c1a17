// Looking a section or key up as the installer does: the first match,
// without regard to ASCII case.
#include "odbc_configuration.h"

static bool SameFolded(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

const ConfigurationSection* FindSection(const ConfigurationFile& file, const std::string& name)
{
    for (const ConfigurationSection& section : file.sections) {
        if (SameFolded(section.name, name))
            return &section;
    }
    return NULL;
}

const std::string* FindValue(const ConfigurationSection& section, const std::string& key)
{
    for (const auto& value : section.values) {
        if (SameFolded(value.first, key))
            return &value.second;
    }
    return NULL;
}
