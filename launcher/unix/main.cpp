// Entry point of velloran on Linux: finds the setup file and runs the
// installation, behind the launcher window when there is an X display and
// without one (warnings on standard error) when there is not.
#include "command_tail.h"
#include "launcher_window.h"
#include "odbc_install.h"
#include "setup_file.h"

#include <csignal>

int main(int argc, char** argv)
{
    // A reader that goes away (velloran 2>&1 | head -1) must not end the
    // run: the warnings are a courtesy, the installation is the job.
    std::signal(SIGPIPE, SIG_IGN);
    KeepHeapBetweenInstallerCalls();
    char tail[SETUP_PATH_SIZE];
    // A tail too long for the path buffer is refused, so no setup file then.
    if (JoinArguments(argc, argv, tail, sizeof tail))
        FillSetupFilePath(tail);
    // Not a regular file, or over the size limit: no setup file at all.
    if (!SetupFileReadable(SetupFilePath))
        SetupFilePath[0] = '\0';
    if (OpenLauncherDisplay())
        RunWithLauncherWindow();
    else
        RunInstallation();
    return 0;
}
