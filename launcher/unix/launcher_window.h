// The Linux launcher window on an X11 display: a fixed 250x150 FLTK window
// with a title bar only, the load message drawn on it, and the installation
// run once it has been painted.
#pragma once

enum { LAUNCHER_WIDTH = 250, LAUNCHER_HEIGHT = 150 };

// Connects to the display DISPLAY names and hands it to FLTK. False when
// there is none to be had; FLTK's own attempt would end the process.
bool OpenLauncherDisplay(void);

// Shows the window centred on the first screen, runs the installation once
// the window has been painted, and closes the window again.
void RunWithLauncherWindow(void);
