// The setup file beside the executable. Linux executables have no
// extension, so ".ini" is appended: /opt/x/dbsetup reads /opt/x/dbsetup.ini.
#include "setup_file.h"

// What the rule admits, the Linux profile functions must read whole.
static_assert(static_cast<long>(SETUP_FILE_SIZE_LIMIT) == static_cast<long>(PROFILE_FILE_SIZE_LIMIT),
              "one size limit for setup files");

BOOL LocateSetupFile(void)
{
    char path[SETUP_PATH_SIZE];
    DWORD length = GetModuleFileNameA(NULL, path, SETUP_PATH_SIZE);
    // Zero is failure, a full buffer means the path was cut, and ".ini"
    // must still fit.
    if (length < 3 || length + 4 >= SETUP_PATH_SIZE)
        return FALSE;
    lstrcpyA(path + length, ".ini");
    lstrcpyA(SetupFilePath, path);
    return TRUE;
}
