// The launcher window: centred on the first screen, a title bar only, the
// load message read afresh and drawn on every paint, left clicks swallowed,
// close requests ignored. The installation runs once it has been painted.
#include "launcher_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <chrono>

// A window manager that keeps the window unmapped never has it painted;
// the run must not wait for that forever.
static const std::chrono::seconds FIRST_PAINT_PATIENCE(5);

namespace {

class LauncherWindow : public Fl_Window {
public:
    LauncherWindow(int x, int y, const LauncherRun* run)
        : Fl_Window(x, y, LAUNCHER_WIDTH, LAUNCHER_HEIGHT), run_(run)
    {
        copy_label(run->caption);
        xclass("Velloran");
        size_range(LAUNCHER_WIDTH, LAUNCHER_HEIGHT, LAUNCHER_WIDTH, LAUNCHER_HEIGHT);
        // The default callback hides the window on Escape and on the window
        // manager's close request; there is nothing to close before the run ends.
        callback(IgnoreCloseRequest);
        end();
    }

    bool Painted() const { return painted_; }

protected:
    void draw() override
    {
        Fl_Window::draw();
        const char* text = run_->loadMessage();
        fl_font(FL_HELVETICA, 14);
        fl_color(FL_FOREGROUND_COLOR);
        // Placed by hand: the boxed form of fl_draw reads '@' as a symbol.
        // A line wider than the window is clipped on both sides.
        int left = (w() - static_cast<int>(fl_width(text))) / 2;
        int baseline = (h() - fl_height()) / 2 + fl_height() - fl_descent();
        fl_draw(text, left, baseline);
        painted_ = true;
    }

    int handle(int event) override
    {
        bool leftButton = Fl::event_button() == FL_LEFT_MOUSE;
        if (leftButton && (event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE))
            return 1;
        return Fl_Window::handle(event);
    }

private:
    static void IgnoreCloseRequest(Fl_Widget*, void*) {}

    const LauncherRun* run_;
    bool painted_ = false;
};

}  // namespace

// FLTK's own hints leave the decorations to the window manager; ours ask
// for a title bar that can only move the window: no close box, menu or sizing.
static void AskForTitleBarOnly(Window window)
{
    enum { FUNCTIONS_FIELD = 1, DECORATIONS_FIELD = 2, MOVE_FUNCTION = 4, TITLE_DECORATION = 8 };
    long hints[5] = {FUNCTIONS_FIELD | DECORATIONS_FIELD, MOVE_FUNCTION, TITLE_DECORATION, 0, 0};
    Atom property = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(fl_display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
}

// FLTK asks for static gravity, which puts the client area at the position;
// north-west gravity puts the frame's outer corner there instead.
static void PlaceFrameCorner(Window window, int x, int y)
{
    XSizeHints* hints = XAllocSizeHints();
    long supplied = 0;
    if (hints != NULL && XGetWMNormalHints(fl_display, window, hints, &supplied) != 0) {
        hints->flags |= PWinGravity;
        hints->win_gravity = NorthWestGravity;
        XSetWMNormalHints(fl_display, window, hints);
    }
    if (hints != NULL)
        XFree(hints);
    // FLTK pulls a window partly off screen back onto it; the rule does not.
    XMoveWindow(fl_display, window, x, y);
}

bool OpenLauncherDisplay(void)
{
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
        return false;
    fl_open_display(display);
    return true;
}

void RunWithLauncherWindow(const LauncherRun* run)
{
    int screenX, screenY, screenWidth, screenHeight;
    Fl::screen_xywh(screenX, screenY, screenWidth, screenHeight, 0);
    // Integer division truncates toward zero, also for screens smaller than
    // the window.
    int x = (screenX + screenWidth - LAUNCHER_WIDTH) / 2;
    int y = (screenY + screenHeight - LAUNCHER_HEIGHT) / 2;

    LauncherWindow window(x, y, run);
    // FLTK maps the window as it creates it, and a window manager reads the
    // hints when it frames the window; holding the server keeps the window
    // manager from framing it before they are ours.
    XGrabServer(fl_display);
    window.show();
    AskForTitleBarOnly(fl_xid(&window));
    PlaceFrameCorner(fl_xid(&window), x, y);
    XUngrabServer(fl_display);

    // Fl::wait draws before it waits, so the drawing an event asked for is
    // flushed here rather than after the next event.
    auto deadline = std::chrono::steady_clock::now() + FIRST_PAINT_PATIENCE;
    while (!window.Painted() && window.shown()) {
        std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
        if (left.count() <= 0)
            break;
        Fl::wait(left.count());
        Fl::flush();
    }
    // The drawing has reached the server before the run can block the loop.
    XSync(fl_display, False);

    run->runInstallation();
    window.hide();
    XSync(fl_display, False);
}
