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
    if (!ReadInstallManagerSetting())
        return;
    if (!OdbcInstallDriverManager())
        ShowWarning("Failed to install ODBC driver manager.");
}

// Translators and drivers: one numbered list of encoded entries each.
static void InstallComponentList(LPCSTR section, LPCSTR keyFormat,
                                 BOOL (*install)(LPCSTR), LPCSTR warning)
{
    char value[ATTRIBUTE_LIST_SIZE];
    for (int n = 1; ReadComponentEntry(section, keyFormat, n, value); ++n) {
        if (!install(value))
            ShowWarning(warning);
    }
}

void InstallTranslators(void)
{
    InstallComponentList(TRANSLATORS_SECTION, TRANSLATOR_KEY_FORMAT, OdbcInstallTranslator,
                         "Failed to install ODBC translator.");
}

void InstallDrivers(void)
{
    InstallComponentList(DRIVERS_SECTION, DRIVER_KEY_FORMAT, OdbcInstallDriver,
                         "Failed to install ODBC driver.");
}

void ConfigureDataSources(void)
{
    char driver[DRIVER_NAME_SIZE];
    char attributes[ATTRIBUTE_LIST_SIZE];
    char keyword[REQUEST_KEYWORD_SIZE];
    for (int n = 1; ReadDataSourceEntry(n, driver, attributes, keyword); ++n) {
        if (!OdbcConfigDataSource(MapRequestKeyword(keyword), driver, attributes))
            ShowWarning("Failed to configure ODBC data source.");
    }
}

void RunInstallation(void)
{
    if (SetupFilePath[0] == '\0')
        return;
    // The installer rewrites whole files; a second run at the same moment
    // would lose entries. A lock that cannot be had means no calls at all.
    if (LockOdbcConfiguration(DEFAULT_LOCK_WAIT_SECONDS) != LOCK_TAKEN) {
        ShowWarning(OdbcConfigurationLockProblem());
        return;
    }
    InstallDriverManager();
    InstallTranslators();
    InstallDrivers();
    ConfigureDataSources();
    UnlockOdbcConfiguration();
}
