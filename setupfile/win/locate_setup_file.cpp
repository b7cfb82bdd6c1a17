// The setup file beside the executable: its path with the last three
// characters (normally "exe") replaced by "ini".
#include "setup_file.h"

BOOL LocateSetupFile(void)
{
    char path[SETUP_PATH_SIZE];
    DWORD length = GetModuleFileNameA(NULL, path, SETUP_PATH_SIZE);
    // Zero is failure, and a full buffer means the path was cut.
    if (length < 3 || length >= SETUP_PATH_SIZE)
        return FALSE;
    path[length - 3] = 'i';
    path[length - 2] = 'n';
    path[length - 1] = 'i';
    lstrcpyA(SetupFilePath, path);
    return TRUE;
}
