// The warning box on an X11 display, kept apart from the Win32 names so
// that X's headers never meet the installer's.
#pragma once

// True once the launcher has handed FLTK an open display.
bool HaveWarningDisplay(void);

// A modal box titled `caption` with a warning sign, `text` and one OK
// button; returns when it is answered (OK, Return, Escape or closed).
void ShowWarningBox(const char* caption, const char* text);
