// The installation run: the driver manager, the translators, the drivers,
// then the data sources, each failure reported in a warning box and the
// run going on with the next entry.
#include "odbc_install.h"
#include "setup_walk.h"

static void ShowWarning(LPCSTR text)
{
    MessageBoxA(NULL, text, "Error", MB_OK | MB_ICONWARNING);
}

void InstallDriverManager(void)
{
    WalkPhase(PHASE_MANAGER, [](const SetupEntry&) {
        if (!OdbcInstallDriverManager())
            ShowWarning("Failed to install ODBC driver manager.");
        return true;
    });
}

void InstallTranslators(void)
{
    WalkPhase(PHASE_TRANSLATOR, [](const SetupEntry& entry) {
        if (!OdbcInstallTranslator(entry.list))
            ShowWarning("Failed to install ODBC translator.");
        return true;
    });
}

void InstallDrivers(void)
{
    WalkPhase(PHASE_DRIVER, [](const SetupEntry& entry) {
        if (!OdbcInstallDriver(entry.list))
            ShowWarning("Failed to install ODBC driver.");
        return true;
    });
}

void ConfigureDataSources(void)
{
    WalkPhase(PHASE_DATA_SOURCE, [](const SetupEntry& entry) {
        if (!OdbcConfigDataSource(entry.request, entry.driver, entry.list))
            ShowWarning("Failed to configure ODBC data source.");
        return true;
    });
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
