// Without a window to show it in, a message box becomes one line on
// standard error, answered as if OK was pressed.
#include "platform.h"

#include <cstdio>

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    // Windows, too, captions a box "Error" when given none.
    std::fprintf(stderr, "%s: %s\n", caption != NULL ? caption : "Error", text);
    std::fflush(stderr);
    return IDOK;
}
