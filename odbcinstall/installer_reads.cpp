// Reads of the live ODBC configuration through the installer's own read
// functions, so they see what the installer sees: unixODBC's files on
// Linux, the registry on Windows. Nothing here writes.
#include "installer_queries.h"
#include "odbc_install.h"

typedef decltype(&SQLGetInstalledDrivers) GetInstalledDriversFunction;
typedef decltype(&SQLGetPrivateProfileString) GetProfileStringFunction;
typedef decltype(&SQLGetConfigMode) GetConfigModeFunction;
typedef decltype(&SQLSetConfigMode) SetConfigModeFunction;

// Values longer than a setup file's list can hold never match an entry.
enum { LIVE_VALUE_SIZE = 1024, DRIVER_LIST_SIZE = 65535 };

// No stored value holds a line break, so a default of one means "missing".
static const char MISSING_VALUE[] = "\n";

template <typename Function>
static Function Lookup(const LiveReader& reader, LPCSTR name)
{
    return InstallerFunction<Function>(reader.library, name);
}

LiveReaderOpening OpenLiveReader(LiveReader& reader)
{
    reader.modeChanged = false;
    reader.savedMode = ODBC_BOTH_DSN;
    reader.library = LoadLibraryA("odbccp32.dll");
    if (reader.library == NULL)
        return LIVE_READER_NO_LIBRARY;
    if (Lookup<GetInstalledDriversFunction>(reader, "SQLGetInstalledDrivers") == NULL ||
        Lookup<GetProfileStringFunction>(reader, "SQLGetPrivateProfileString") == NULL ||
        Lookup<GetConfigModeFunction>(reader, "SQLGetConfigMode") == NULL ||
        Lookup<SetConfigModeFunction>(reader, "SQLSetConfigMode") == NULL) {
        FreeLibrary(reader.library);
        reader.library = NULL;
        return LIVE_READER_NO_FUNCTIONS;
    }
    return LIVE_READER_OPEN;
}

void CloseLiveReader(LiveReader& reader)
{
    if (reader.library == NULL)
        return;
    if (reader.modeChanged)
        Lookup<SetConfigModeFunction>(reader, "SQLSetConfigMode")(reader.savedMode);
    FreeLibrary(reader.library);
    reader.library = NULL;
}

bool SelectLiveView(LiveReader& reader, UWORD mode)
{
    if (!reader.modeChanged) {
        UWORD current = ODBC_BOTH_DSN;
        if (!Lookup<GetConfigModeFunction>(reader, "SQLGetConfigMode")(&current))
            return false;
        reader.savedMode = current;
        reader.modeChanged = true;
    }
    return Lookup<SetConfigModeFunction>(reader, "SQLSetConfigMode")(mode);
}

bool ReadInstalledDrivers(const LiveReader& reader, std::vector<std::string>& names)
{
    std::vector<char> list(DRIVER_LIST_SIZE + 1, '\0');
    WORD length = 0;
    if (!Lookup<GetInstalledDriversFunction>(reader, "SQLGetInstalledDrivers")(
            list.data(), DRIVER_LIST_SIZE, &length))
        return false;
    // A full buffer may have cut the list, and a cut list could miss a name.
    if (length >= DRIVER_LIST_SIZE - 1)
        return false;
    names.clear();
    for (const char* name = list.data(); *name != '\0'; name += names.back().size() + 1)
        names.push_back(name);
    return true;
}

bool ReadLiveValue(const LiveReader& reader, LPCSTR file, LPCSTR section, LPCSTR key,
                   std::string& value)
{
    char buffer[LIVE_VALUE_SIZE] = "";
    Lookup<GetProfileStringFunction>(reader, "SQLGetPrivateProfileString")(
        section, key, MISSING_VALUE, buffer, LIVE_VALUE_SIZE, file);
    buffer[LIVE_VALUE_SIZE - 1] = '\0';
    value = buffer;
    return value != MISSING_VALUE;
}

bool LiveSectionExists(const LiveReader& reader, LPCSTR file, LPCSTR section)
{
    char keys[LIVE_VALUE_SIZE] = "";
    int length = Lookup<GetProfileStringFunction>(reader, "SQLGetPrivateProfileString")(
        section, NULL, "", keys, LIVE_VALUE_SIZE, file);
    return length > 0 && keys[0] != '\0';
}
