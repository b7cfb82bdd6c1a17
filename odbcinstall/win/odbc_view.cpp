// The ODBC configuration a Windows program works on. A 64-bit Windows keeps
// two: a 32-bit process reads and writes the one under Wow6432Node, and
// only a process of the same bitness reaches each through odbccp32.dll.
// Which one a program sees follows from its own bitness.
#include "run_policy.h"

static const bool IS_64_BIT = sizeof(void*) == 8;

LPCSTR OdbcViewName(void)
{
    return IS_64_BIT ? "64-bit" : "32-bit";
}

BOOL DriverInOtherView(LPCSTR driver, LPCSTR* otherBuild)
{
    *otherBuild = IS_64_BIT ? "x86" : "x64";
    HKEY drivers;
    REGSAM otherView = IS_64_BIT ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", 0,
                      KEY_QUERY_VALUE | otherView, &drivers) != ERROR_SUCCESS)
        return FALSE;
    LONG found = RegQueryValueExA(drivers, driver, NULL, NULL, NULL, NULL);
    RegCloseKey(drivers);
    return found == ERROR_SUCCESS;
}
