// The ODBC configuration a Windows program works on. A 64-bit Windows keeps
// two: a 32-bit process reads and writes the one under Wow6432Node, and
// only a process of the same bitness reaches each through odbccp32.dll.
// Which one a program sees follows from its own bitness.
#include "platform.h"

static const bool Is64Bit = sizeof(void*) == 8;

LPCSTR OdbcViewName(void)
{
    return Is64Bit ? "64-bit" : "32-bit";
}

BOOL DriverInOtherView(LPCSTR driver, LPCSTR* otherBuild)
{
    *otherBuild = Is64Bit ? "x86" : "x64";
    HKEY drivers;
    REGSAM otherView = Is64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", 0,
                      KEY_QUERY_VALUE | otherView, &drivers) != ERROR_SUCCESS)
        return FALSE;
    LONG found = RegQueryValueExA(drivers, driver, NULL, NULL, NULL, NULL);
    RegCloseKey(drivers);
    return found == ERROR_SUCCESS;
}
