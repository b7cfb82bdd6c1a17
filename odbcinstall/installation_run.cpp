// The installation run: the driver manager, the translators, the drivers,
// then the data sources, each failure reported in a warning box and the
// run going on with the next entry.
#include "odbc_install.h"
#include "setup_file.h"

static void ShowWarning(LPCSTR text)
{
    MessageBoxA(NULL, text, "Error", MB_OK | MB_ICONWARNING);
}

void InstallDriverManager(void)
{
    if (GetPrivateProfileIntA("InstallManager", "Install", 0, SetupFilePath) == 0)
        return;
    if (!OdbcInstallDriverManager())
        ShowWarning("Failed to install ODBC driver manager.");
}

// Translators and drivers: one numbered list of encoded entries each.
static void InstallComponentList(LPCSTR section, LPCSTR keyFormat,
                                 BOOL (*install)(LPCSTR), LPCSTR warning)
{
    char key[LIST_KEY_SIZE];
    char value[ATTRIBUTE_LIST_SIZE];
    for (int n = 1; FormatListKey(key, keyFormat, n); ++n) {
        GetPrivateProfileStringA(section, key, "None", value, sizeof value, SetupFilePath);
        if (lstrcmpA(value, "None") == 0)
            return;
        DecodeAttributeList(value);
        if (!install(value))
            ShowWarning(warning);
    }
}

void InstallTranslators(void)
{
    InstallComponentList("Translators", "Translator%d", OdbcInstallTranslator,
                         "Failed to install ODBC translator.");
}

void InstallDrivers(void)
{
    InstallComponentList("Drivers", "Driver%d", OdbcInstallDriver,
                         "Failed to install ODBC driver.");
}

static const struct {
    LPCSTR keyword;
    WORD request;
} RequestKeywords[] = {
    {"ODBC_ADD_DSN", ODBC_ADD_DSN},
    {"ODBC_CONFIG_DSN", ODBC_CONFIG_DSN},
    {"ODBC_REMOVE_DSN", ODBC_REMOVE_DSN},
    {"ODBC_ADD_SYS_DSN", ODBC_ADD_SYS_DSN},
    {"ODBC_CONFIG_SYS_DSN", ODBC_CONFIG_SYS_DSN},
    {"ODBC_REMOVE_SYS_DSN", ODBC_REMOVE_SYS_DSN},
};

WORD MapRequestKeyword(LPCSTR keyword)
{
    for (const auto& entry : RequestKeywords) {
        if (lstrcmpA(keyword, entry.keyword) == 0)
            return entry.request;
    }
    return ODBC_ADD_DSN;
}

void ConfigureDataSources(void)
{
    char key[LIST_KEY_SIZE];
    char keyword[20];
    char driver[150];
    char attributes[ATTRIBUTE_LIST_SIZE];
    // "DSRequest%d" is the longest of the three names, so its limit holds
    // for all of them.
    for (int n = 1; FormatListKey(key, "DSRequest%d", n); ++n) {
        FormatListKey(key, "DSDriver%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", driver, sizeof driver, SetupFilePath);
        if (lstrcmpA(driver, "None") == 0)
            return;
        FormatListKey(key, "DSAttrib%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", attributes, sizeof attributes,
                                 SetupFilePath);
        DecodeAttributeList(attributes);
        FormatListKey(key, "DSRequest%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", keyword, sizeof keyword,
                                 SetupFilePath);
        if (!OdbcConfigDataSource(MapRequestKeyword(keyword), driver, attributes))
            ShowWarning("Failed to configure ODBC data source.");
    }
}

void RunInstallation(void)
{
    if (SetupFilePath[0] == '\0')
        return;
    InstallDriverManager();
    InstallTranslators();
    InstallDrivers();
    ConfigureDataSources();
}
