// The plan: every value comes from the run's own reading functions, so
// what is printed is what the run will do.
#include "checker.h"

#include <vector>

std::string ListKeyName(LPCSTR keyFormat, int index)
{
    char key[LIST_KEY_SIZE];
    return FormatListKey(key, keyFormat, index) ? std::string(key) : std::string();
}

std::string ReadFullValue(LPCSTR section, LPCSTR key)
{
    // Far more than any buffer of the run, so a cut shows.
    std::vector<char> buffer(65536);
    GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                             SetupFilePath);
    return std::string(buffer.data());
}

// A decoded list: NUL-separated elements up to the empty one.
static Elements SplitDecoded(const char* list)
{
    Elements elements;
    int i = 0;
    while (i < ATTRIBUTE_LIST_SIZE && list[i] != '\0') {
        elements.emplace_back(list + i);
        i += static_cast<int>(elements.back().size()) + 1;
    }
    return elements;
}

static std::string ReadRawListValue(LPCSTR section, const std::string& key)
{
    char value[ATTRIBUTE_LIST_SIZE];
    ReadListValue(section, key.c_str(), value);
    return value;
}

// Tells a key reading "None" from a missing one once the list has ended.
static ListEnd WhyListEnded(LPCSTR section, LPCSTR keyFormat, int index)
{
    std::string key = ListKeyName(keyFormat, index);
    if (key.empty())
        return LIST_END_KEY_LIMIT;
    return ReadFullValue(section, key.c_str()) == END_OF_LIST ? LIST_END_NONE_VALUE
                                                            : LIST_END_MISSING;
}

static void ReadComponentPlan(ComponentPlan& list)
{
    char value[ATTRIBUTE_LIST_SIZE];
    int n = 1;
    for (; ReadComponentEntry(list.section, list.keyFormat, n, value); ++n) {
        ComponentEntry entry;
        entry.key = ListKeyName(list.keyFormat, n);
        entry.elements = SplitDecoded(value);
        entry.raw = ReadRawListValue(list.section, entry.key);
        list.entries.push_back(entry);
    }
    list.end = WhyListEnded(list.section, list.keyFormat, n);
}

void ReadSetupPlan(SetupPlan& plan)
{
    char caption[TITLE_SIZE];
    char message[LOAD_MESSAGE_SIZE];
    ReadTitleSetting(caption, sizeof caption);
    ReadLoadMessageSetting(message, sizeof message);
    plan.caption = caption;
    plan.message = message;
    plan.installManager = ReadInstallManagerSetting() != FALSE;

    plan.translators.section = TRANSLATORS_SECTION;
    plan.translators.keyFormat = TRANSLATOR_KEY_FORMAT;
    ReadComponentPlan(plan.translators);
    plan.drivers.section = DRIVERS_SECTION;
    plan.drivers.keyFormat = DRIVER_KEY_FORMAT;
    ReadComponentPlan(plan.drivers);

    char driver[DRIVER_NAME_SIZE];
    char attributes[ATTRIBUTE_LIST_SIZE];
    char keyword[REQUEST_KEYWORD_SIZE];
    int n = 1;
    for (; ReadDataSourceEntry(n, driver, attributes, keyword); ++n) {
        DataSourceEntry entry;
        entry.driver = driver;
        entry.attributes = SplitDecoded(attributes);
        entry.rawAttributes =
            ReadRawListValue(DATA_SOURCES_SECTION, ListKeyName(DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, n));
        entry.keyword = keyword;
        entry.request = MapRequestKeyword(keyword);
        plan.dataSources.push_back(entry);
    }
    // "DSRequest%d" sets the limit of the whole list, "DSDriver%d" its end.
    plan.dataSourcesEnd = ListKeyName(DATA_SOURCE_REQUEST_KEY_FORMAT, n).empty()
                              ? LIST_END_KEY_LIMIT
                              : WhyListEnded(DATA_SOURCES_SECTION, DATA_SOURCE_DRIVER_KEY_FORMAT, n);
}
