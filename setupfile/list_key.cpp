// Names of numbered keys ("Driver1", "Driver2", ...).
#include "setup_file.h"

BOOL FormatListKey(LPSTR key, LPCSTR format, int index)
{
    // The format holds one "%d", which the decimal index replaces.
    int digits = 1;
    for (int rest = index; rest >= 10; rest /= 10)
        ++digits;
    if (index < 0 || lstrlenA(format) - 2 + digits >= LIST_KEY_SIZE)
        return FALSE;
    wsprintfA(key, format, index);
    return TRUE;
}
