// The walk: the driver-manager switch, then each numbered list read with
// the run's own entry functions until its end.
#include "setup_walk.h"

#include <cstring>

const LPCSTR PHASE_NAMES[PHASE_COUNT] = {"manager", "translator", "driver", "datasource"};

static int WalkComponents(SetupEntry& entry, LPCSTR section, LPCSTR keyFormat,
                          const EntryVisitor& visit)
{
    int n = 1;
    for (; ReadComponentEntry(section, keyFormat, n, entry.list); ++n) {
        entry.index = n;
        FormatListKey(entry.key, keyFormat, n);
        if (!visit(entry))
            break;
    }
    return n;
}

static int WalkDataSources(SetupEntry& entry, const EntryVisitor& visit)
{
    int n = 1;
    for (; ReadDataSourceEntry(n, entry.driver, entry.list, entry.keyword); ++n) {
        entry.index = n;
        FormatListKey(entry.key, DATA_SOURCE_DRIVER_KEY_FORMAT, n);
        entry.request = MapRequestKeyword(entry.keyword);
        if (!visit(entry))
            break;
    }
    return n;
}

int WalkPhase(Phase phase, const EntryVisitor& visit)
{
    SetupEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.phase = phase;
    switch (phase) {
    case PHASE_MANAGER:
        if (!ReadInstallManagerSetting())
            return 1;
        entry.index = 1;
        std::strcpy(entry.key, INSTALL_KEY);
        visit(entry);
        return 2;
    case PHASE_TRANSLATOR:
        return WalkComponents(entry, TRANSLATORS_SECTION, TRANSLATOR_KEY_FORMAT, visit);
    case PHASE_DRIVER:
        return WalkComponents(entry, DRIVERS_SECTION, DRIVER_KEY_FORMAT, visit);
    default:
        return WalkDataSources(entry, visit);
    }
}

Elements SplitList(LPCSTR list)
{
    Elements elements;
    for (int i = 0; i < ATTRIBUTE_LIST_SIZE && list[i] != '\0';) {
        elements.emplace_back(list + i);
        i += static_cast<int>(elements.back().size()) + 1;
    }
    return elements;
}
