// SetupFilePath and how it is filled at start-up.
#include "setup_file.h"

#include <cstring>

char SetupFilePath[SETUP_PATH_SIZE];

BOOL FillSetupFilePath(LPCSTR tail)
{
    SetupFilePath[0] = '\0';
    if (tail[0] == '\0')
        return LocateSetupFile();
    // A cut path could name another file, so an over-long one is refused.
    if (lstrlenA(tail) >= SETUP_PATH_SIZE)
        return FALSE;
    lstrcpyA(SetupFilePath, tail);
    return TRUE;
}

BOOL FillSetupFilePathFromArgument(LPCSTR file)
{
    SetupFilePath[0] = '\0';
    if (lstrlenA(file) >= SETUP_PATH_SIZE)
        return FALSE;
    char named[SETUP_PATH_SIZE + 2] = "./";
    BOOL bare = std::strpbrk(file, "/\\") == NULL;
    lstrcpyA(bare ? named + 2 : named, file);
    return FillSetupFilePath(named);
}
