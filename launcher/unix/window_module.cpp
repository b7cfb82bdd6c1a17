// The window module's entry: the table of what it offers to velloran.
#include "launcher_window.h"
#include "warning_box.h"
#include "window_module.h"

const WindowModule* VelloranWindowModule(void)
{
    static const WindowModule functions = {OpenLauncherDisplay, RunWithLauncherWindow,
                                           ShowWarningBox};
    return &functions;
}
