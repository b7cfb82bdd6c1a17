// The command-line tail: what follows the program's name and the blanks
// after it, derived from the whole command line the way the Windows start-up
// code does it, so the rule holds whatever the C runtime would make of it.
#include "setup_file.h"

LPCSTR GetCommandLineTail(LPCSTR commandLine)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            // A double-byte character may hold a quote as its second byte.
            if (IsDBCSLeadByte(*p) && p[1] != '\0')
                ++p;
            ++p;
        }
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return reinterpret_cast<LPCSTR>(p);
}
