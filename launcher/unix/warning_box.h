// The warning box on an X11 display, drawn by the window module; velloran
// reaches it through the module's table, never by name.
#pragma once

// A modal box titled `caption` with a warning sign, `text` and one OK
// button; returns when it is answered (OK, Return, Escape or closed).
void ShowWarningBox(const char* caption, const char* text);
