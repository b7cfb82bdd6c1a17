// Run-time binding to the ODBC installer library. Each call loads the
// library, looks up one function, calls it and releases the library, so no
// handle or address outlives the call.
#include "odbc_install.h"

// Pointer types from the installer's own declarations, so they cannot drift
// from the real prototypes.
typedef decltype(&SQLInstallDriverManager) InstallDriverManagerFunction;
typedef decltype(&SQLInstallTranslatorEx) InstallTranslatorFunction;
typedef decltype(&SQLInstallDriverEx) InstallDriverFunction;
typedef decltype(&SQLConfigDataSource) ConfigDataSourceFunction;

enum { INSTALLER_PATH_SIZE = 260 };
static const LPCSTR NO_PATH_IN = NULL;
static const HWND NO_PARENT = NULL;

// A missing library or function is a failure like the installer's own.
template <typename Function, typename... Arguments>
static BOOL CallInstaller(InstallerErrors* errors, LPCSTR functionName, Arguments... arguments)
{
    // A stop waits for the call to finish, so no file is left half-written.
    HoldStopSignals();
    HMODULE library = LoadLibraryA("odbccp32.dll");
    BOOL result = FALSE;
    if (library != NULL) {
        Function function = InstallerFunction<Function>(library, functionName);
        result = function != NULL ? function(arguments...) : FALSE;
        if (function != NULL && !result && errors != NULL)
            FetchInstallerErrors(library, *errors);
        FreeLibrary(library);
    }
    ReleaseStopSignals();
    return result;
}

// The installer reports a path, its length and a usage count; nobody needs
// them, so they live and die with each call.
BOOL OdbcInstallDriverManager(InstallerErrors* errors)
{
    char path[INSTALLER_PATH_SIZE];
    WORD pathLength = 0;
    return CallInstaller<InstallDriverManagerFunction>(errors, "SQLInstallDriverManager", path,
                                                       INSTALLER_PATH_SIZE, &pathLength);
}

// Translators and drivers are installed by functions of one shape.
template <typename Function>
static BOOL InstallComponent(InstallerErrors* errors, LPCSTR functionName, LPCSTR spec)
{
    char path[INSTALLER_PATH_SIZE];
    WORD pathLength = 0;
    DWORD usageCount = 0;
    return CallInstaller<Function>(errors, functionName, spec, NO_PATH_IN, path, INSTALLER_PATH_SIZE,
                                   &pathLength, ODBC_INSTALL_COMPLETE, &usageCount);
}

BOOL OdbcInstallTranslator(LPCSTR spec, InstallerErrors* errors)
{
    return InstallComponent<InstallTranslatorFunction>(errors, "SQLInstallTranslatorEx", spec);
}

BOOL OdbcInstallDriver(LPCSTR spec, InstallerErrors* errors)
{
    return InstallComponent<InstallDriverFunction>(errors, "SQLInstallDriverEx", spec);
}

BOOL OdbcConfigDataSource(WORD request, LPCSTR driver, LPCSTR attributes, InstallerErrors* errors)
{
    return CallInstaller<ConfigDataSourceFunction>(errors, "SQLConfigDataSource", NO_PARENT,
                                                   request, driver, attributes);
}
