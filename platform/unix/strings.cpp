// String helpers of the Win32 API. Linux has no double-byte ANSI code page,
// so no byte is a lead byte.
#include "platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    int order = std::strcmp(a, b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source)
{
    return std::strcpy(destination, source);
}

int lstrlenA(LPCSTR text)
{
    return text == NULL ? 0 : static_cast<int>(std::strlen(text));
}

// Like the real one, the output is limited to 1024 bytes.
int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, 1025, format, arguments);
    va_end(arguments);
    return length > 1024 ? 1024 : length;
}

BOOL IsDBCSLeadByte(BYTE)
{
    return FALSE;
}
