// The Linux launcher window on an X11 display: a fixed-size FLTK window
// with a title bar only, the load message drawn on it, and the installation
// run once it has been painted. Part of the window module.
#pragma once

#include "launcher_size.h"
#include "window_module.h"

// Connects to the display DISPLAY names and hands it to FLTK. False when
// there is none to be had; FLTK's own attempt would end the process.
bool OpenLauncherDisplay(void);

// Shows the window centred on the first screen, runs the installation once
// the window has been painted, and closes the window again.
void RunWithLauncherWindow(const LauncherRun* run);
