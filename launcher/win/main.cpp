// Entry point of velloran.exe: finds the setup file and runs the
// installation. The tail is taken from the raw command line so the rule for
// quoted names holds exactly, whatever the C runtime would derive.
#include "odbc_install.h"
#include "setup_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    FillSetupFilePath(GetCommandLineTail(GetCommandLineA()));
    RunInstallation();
    return 0;
}
