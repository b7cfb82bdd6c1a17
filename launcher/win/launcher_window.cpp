// The launcher window's class and procedure: it paints the load message,
// swallows left clicks and runs the installation once on the start message.
#include "launcher_window.h"
#include "odbc_install.h"
#include "setup_file.h"

const char LAUNCHER_CLASS_NAME[] = "Velloran";

void RegisterLauncherClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass;
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = LauncherWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = LAUNCHER_CLASS_NAME;
    windowClass.hIconSm = LoadIconA(NULL, IDI_APPLICATION);
    RegisterClassExA(&windowClass);
}

// The message is read afresh on every paint, so an edited setup file shows.
static void PaintLoadMessage(HWND window)
{
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    SetBkMode(context, TRANSPARENT);
    char text[LOAD_MESSAGE_SIZE];
    ReadLoadMessageSetting(text, sizeof text);
    DrawTextA(context, text, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    EndPaint(window, &paint);
}

LRESULT CALLBACK LauncherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A warning box's modal loop, or another program, may deliver a second
    // start message while or after the run; it never starts another run.
    static BOOL runStarted = FALSE;

    switch (message) {
    case WM_PAINT:
        PaintLoadMessage(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_LBUTTONDOWN:
        return 0;
    case WM_LAUNCHER_START:
        if (!runStarted) {
            runStarted = TRUE;
            RunInstallation();
            PostQuitMessage(0);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
