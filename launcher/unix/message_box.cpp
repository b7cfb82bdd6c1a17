// MessageBoxA on Linux: a modal warning box when the launcher has an X
// display, else one line on standard error. Either way it is answered as if
// OK was pressed.
#include "message_box.h"
#include "platform.h"

#include <cstdio>

static WarningBoxFunction warningBox = NULL;

void ShowWarningsIn(WarningBoxFunction show)
{
    warningBox = show;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    // Windows, too, captions a box "Error" when given none. The program only
    // asks for the OK box with the warning icon, so the type is not read.
    LPCSTR title = caption != NULL ? caption : "Error";
    LPCSTR body = text != NULL ? text : "";
    if (warningBox != NULL) {
        warningBox(title, body);
    } else {
        std::fprintf(stderr, "%s: %s\n", title, body);
        std::fflush(stderr);
    }
    return IDOK;
}
