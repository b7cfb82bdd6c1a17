// --list: the drivers, translators and data sources as the configuration
// holds them now, read as a run reads them, secret values masked.
#include "apply.h"
#include "json_text.h"
#include "odbc_configuration.h"
#include "secret_keys.h"
#include "stored_form.h"

namespace {

// Sections that list or set rather than describe a component.
bool IsListSection(const std::string& name)
{
    for (const char* list : {"ODBC", DRIVER_LIST, TRANSLATOR_LIST, DATA_SOURCE_LIST}) {
        if (SameIgnoringAsciiCase(name, list))
            return true;
    }
    return false;
}

// Windows lists its translators; unixODBC keeps them beside the drivers,
// told apart by their Translator= key.
bool IsTranslator(const ConfigurationFile& drivers, const ConfigurationSection& section)
{
    const ConfigurationSection* listed = FindSection(drivers, TRANSLATOR_LIST);
    if (listed != NULL && FindValue(*listed, section.name) != NULL)
        return true;
    return FindValue(section, "Translator") != NULL && FindValue(section, "Driver") == NULL;
}

JsonValue Attributes(const ConfigurationSection& section)
{
    JsonValue attributes = JsonValue::object();
    for (const auto& value : section.values) {
        if (FindValue(section, value.first) == &value.second)  // the first of a repeat
            attributes[JsonText(value.first).get<std::string>()] =
                JsonText(ShownValue(value.first, value.second));
    }
    return attributes;
}

std::string AttributesText(const JsonValue& attributes)
{
    std::string text;
    for (auto it = attributes.begin(); it != attributes.end(); ++it)
        text += (text.empty() ? "" : "; ") + it.key() + "=" + it.value().get<std::string>();
    return text;
}

}  // namespace

bool PrintConfigurationList(FILE* out, bool json, std::string& problem)
{
    ConfigurationFile files[STORE_COUNT];
    for (int s = 0; s < STORE_COUNT; ++s) {
        ReadConfigurationStore(static_cast<ConfigurationStore>(s), files[s]);
        if (!files[s].read) {
            problem = files[s].error;
            return false;
        }
    }
    JsonValue document;
    document["view"] = OdbcViewName();
    document["drivers"] = JsonValue::array();
    document["translators"] = JsonValue::array();
    document["data_sources"] = JsonValue::array();
    for (const ConfigurationSection& section : files[DRIVER_STORE].sections) {
        if (IsListSection(section.name))
            continue;
        document[IsTranslator(files[DRIVER_STORE], section) ? "translators" : "drivers"].push_back(
            {{"name", JsonText(MaskedElement(section.name))}, {"attributes", Attributes(section)}});
    }
    for (ConfigurationStore store : {USER_DATA_SOURCE_STORE, SYSTEM_DATA_SOURCE_STORE}) {
        const ConfigurationSection* listed = FindSection(files[store], DATA_SOURCE_LIST);
        for (const ConfigurationSection& section : files[store].sections) {
            if (IsListSection(section.name))
                continue;
            document["data_sources"].push_back(
                {{"name", JsonText(MaskedElement(section.name))},
                 {"scope", store == USER_DATA_SOURCE_STORE ? "user" : "system"},
                 {"driver", JsonText(DataSourceDriver(listed, section))},
                 {"attributes", Attributes(section)}});
        }
    }
    if (json) {
        std::fputs(JsonDocument(document).c_str(), out);
    } else {
        std::fprintf(out, "ODBC view: %s\n", OdbcViewName());
        for (const char* kind : {"drivers", "translators"}) {
            for (const JsonValue& item : document[kind])
                std::fprintf(out, "%s %s: %s\n", kind[0] == 'd' ? "driver" : "translator",
                             Printable(item["name"].get<std::string>()).c_str(),
                             Printable(AttributesText(item["attributes"])).c_str());
        }
        for (const JsonValue& item : document["data_sources"])
            std::fprintf(out, "datasource %s (%s, driver %s): %s\n",
                         Printable(item["name"].get<std::string>()).c_str(),
                         item["scope"].get<std::string>().c_str(),
                         Printable(item["driver"].get<std::string>()).c_str(),
                         Printable(AttributesText(item["attributes"])).c_str());
    }
    std::fflush(out);
    return true;
}
