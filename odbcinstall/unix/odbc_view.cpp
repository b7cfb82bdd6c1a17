// The ODBC configuration a Linux program works on: unixODBC's one view.
#include "run_policy.h"

LPCSTR OdbcViewName(void)
{
    return "unixODBC";
}

BOOL DriverInOtherView(LPCSTR, LPCSTR* otherBuild)
{
    *otherBuild = NULL;
    return FALSE;
}
