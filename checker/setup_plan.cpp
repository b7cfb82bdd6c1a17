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

static void ReadComponentPlan(Phase phase, ComponentPlan& list)
{
    int end = WalkPhase(phase, [&list](const SetupEntry& read) {
        ComponentEntry entry;
        entry.key = read.key;
        entry.elements = SplitList(read.list);
        entry.raw = ReadRawListValue(list.section, entry.key);
        list.entries.push_back(entry);
        return true;
    });
    list.end = WhyListEnded(list.section, list.keyFormat, end);
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
    ReadComponentPlan(PHASE_TRANSLATOR, plan.translators);
    plan.drivers.section = DRIVERS_SECTION;
    plan.drivers.keyFormat = DRIVER_KEY_FORMAT;
    ReadComponentPlan(PHASE_DRIVER, plan.drivers);

    int n = WalkPhase(PHASE_DATA_SOURCE, [&plan](const SetupEntry& read) {
        DataSourceEntry entry;
        entry.driver = read.driver;
        entry.attributes = SplitList(read.list);
        entry.rawAttributes = ReadRawListValue(
            DATA_SOURCES_SECTION, ListKeyName(DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, read.index));
        entry.keyword = read.keyword;
        entry.request = read.request;
        plan.dataSources.push_back(entry);
        return true;
    });
    // "DSRequest%d" sets the limit of the whole list, "DSDriver%d" its end.
    plan.dataSourcesEnd = ListKeyName(DATA_SOURCE_REQUEST_KEY_FORMAT, n).empty()
                              ? LIST_END_KEY_LIMIT
                              : WhyListEnded(DATA_SOURCES_SECTION, DATA_SOURCE_DRIVER_KEY_FORMAT, n);
}
