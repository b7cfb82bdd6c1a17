// The ODBC configuration a Linux program works on: unixODBC's one view.
#include "platform.h"

LPCSTR OdbcViewName(void)
{
    return "unixODBC";
}

BOOL DriverInOtherView(LPCSTR, LPCSTR* otherBuild)
{
    *otherBuild = NULL;
    return FALSE;
}
