// Entry point of velloran on Linux: finds the setup file and runs the
// installation, behind the launcher window when there is an X display and
// without one (warnings on standard error) when there is not.
#include "command_tail.h"
#include "message_box.h"
#include "odbc_install.h"
#include "setup_file.h"
#include "window_module.h"

#include <csignal>

// The window draws the message on every paint, and an edited setup file shows.
static const char* ReadLoadMessage(void)
{
    static char text[LOAD_MESSAGE_SIZE];
    ReadLoadMessageSetting(text, sizeof text);
    return text;
}

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
    const WindowModule* window = LoadWindowModule();
    if (window != NULL && window->openDisplay()) {
        ShowWarningsIn(window->showWarningBox);
        char caption[TITLE_SIZE];
        ReadTitleSetting(caption, sizeof caption);
        LauncherRun run = {caption, ReadLoadMessage, RunInstallation};
        window->runWithLauncherWindow(&run);
    } else {
        RunInstallation();
    }
    return 0;
}
