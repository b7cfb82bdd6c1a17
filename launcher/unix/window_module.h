// The window module: the launcher window and the warning boxes, built as a
// library of their own with FLTK and the X libraries, so that velloran maps
// them only when it is about to open a window. The module holds no state of
// the run; what it needs from the run comes in as callbacks.
#pragma once

// What the launcher window needs from the run.
struct LauncherRun {
    const char* caption;
    // The load message, read afresh on every paint.
    const char* (*loadMessage)(void);
    void (*runInstallation)(void);
};

struct WindowModule {
    // Connects to the display DISPLAY names. False when there is none to be
    // had; FLTK's own attempt would end the process.
    bool (*openDisplay)(void);
    // Shows the window centred on the first screen, runs the installation
    // once the window has been painted, and closes the window again.
    void (*runWithLauncherWindow)(const LauncherRun* run);
    // A modal warning box; returns when it is answered.
    void (*showWarningBox)(const char* caption, const char* text);
};

// The module's one exported symbol.
#define WINDOW_MODULE_ENTRY "VelloranWindowModule"
extern "C" __attribute__((visibility("default"))) const WindowModule* VelloranWindowModule(void);

// In velloran: the module's functions, or NULL when DISPLAY is unset or
// empty or the module cannot be loaded; the run then goes on without a
// window. The module lies at WINDOW_MODULE_PATH, relative to the folder of
// the executable.
const WindowModule* LoadWindowModule(void);
