/* System data sources live in the registry on Windows, which the installer
 * creates as needed: nothing to prepare. */
#include "installer.h"

BOOL EnsureSystemDataSourceFile(void)
{
    return TRUE;
}
