// Entry point of velloran.exe: registers the window class, finds the setup
// file, shows the launcher window centred on the desktop and posts itself
// the start message; the installation runs when the loop delivers it.
#include "launcher_window.h"
#include "odbc_install.h"
#include "setup_file.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState)
{
    // Before anything can load a DLL: odbccp32.dll and the rest come from
    // the system directory, never from beside the executable.
    UseSystemDirectoryForLibraries();
    RegisterLauncherClass(instance);

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);

    // The tail comes from the raw command line so the rule for quoted names
    // holds exactly, whatever the C runtime would derive.
    FillSetupFilePath(GetCommandLineTail(GetCommandLineA()));
    // Not a regular file, or over the size limit: no setup file at all.
    if (!SetupFileReadable(SetupFilePath))
        SetupFilePath[0] = '\0';

    char caption[TITLE_SIZE];
    ReadTitleSetting(caption, sizeof caption);

    HWND window = CreateWindowExA(0, LAUNCHER_CLASS_NAME, caption, WS_CAPTION,
                                  (desktop.right - LAUNCHER_WIDTH) / 2,
                                  (desktop.bottom - LAUNCHER_HEIGHT) / 2, LAUNCHER_WIDTH,
                                  LAUNCHER_HEIGHT, NULL, NULL, instance, NULL);
    if (window == NULL) {
        // No window would ever receive the start message: run without one.
        RunInstallation();
        return 0;
    }
    ShowWindow(window, showState);
    UpdateWindow(window);
    PostMessageA(window, WM_LAUNCHER_START, 0, 0);

    MSG message;
    BOOL fetched;
    while ((fetched = GetMessageA(&message, NULL, 0, 0)) != 0) {
        if (fetched == -1)
            break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // Whatever code a quit message carried, the program ends with 0.
    return 0;
}
