// The warning box: a small modal FLTK window, centred on the first screen,
// with a warning sign, the text and an OK button. FLTK's loop runs while it
// is open, so the launcher window behind it keeps repainting. Part of the
// window module.
#include "warning_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

namespace {

enum {
    MARGIN = 14, SIGN_SIZE = 36, TEXT_WIDTH = 320,
    BUTTON_WIDTH = 80, BUTTON_HEIGHT = 26, FONT_SIZE = 14
};

// The usual warning sign: a yellow triangle with an exclamation mark.
class WarningSign : public Fl_Widget {
public:
    WarningSign(int x, int y) : Fl_Widget(x, y, SIGN_SIZE, SIGN_SIZE) {}

    void draw() override
    {
        int left = x(), top = y(), right = x() + w() - 1, bottom = y() + h() - 1;
        int middle = x() + w() / 2;
        fl_color(FL_YELLOW);
        fl_polygon(middle, top, right, bottom, left, bottom);
        fl_color(FL_BLACK);
        fl_loop(middle, top, right, bottom, left, bottom);
        fl_font(FL_HELVETICA_BOLD, FONT_SIZE + 6);
        fl_draw("!", left, top + h() / 4, w(), h() * 3 / 4, FL_ALIGN_CENTER, NULL, 0);
    }
};

// The text as given: no '@' symbols, wrapped at TEXT_WIDTH.
class WarningText : public Fl_Widget {
public:
    WarningText(int x, int y, int w, int h, const char* text)
        : Fl_Widget(x, y, w, h), text_(text) {}

    void draw() override
    {
        fl_font(FL_HELVETICA, FONT_SIZE);
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(text_, x(), y(), w(), h(),
                FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP | FL_ALIGN_INSIDE, NULL, 0);
    }

private:
    const char* text_;
};

}  // namespace

static void CloseBox(Fl_Widget* button, void*)
{
    button->window()->hide();
}

void ShowWarningBox(const char* caption, const char* text)
{
    fl_font(FL_HELVETICA, FONT_SIZE);
    int textWidth = TEXT_WIDTH, textHeight = 0;
    fl_measure(text, textWidth, textHeight, 0);
    if (textHeight < SIGN_SIZE)
        textHeight = SIGN_SIZE;
    int width = MARGIN + SIGN_SIZE + MARGIN + textWidth + MARGIN;
    if (width < BUTTON_WIDTH + 2 * MARGIN)
        width = BUTTON_WIDTH + 2 * MARGIN;
    int height = MARGIN + textHeight + MARGIN + BUTTON_HEIGHT + MARGIN;

    int screenX, screenY, screenWidth, screenHeight;
    Fl::screen_xywh(screenX, screenY, screenWidth, screenHeight, 0);
    Fl_Window box((screenX + screenWidth - width) / 2, (screenY + screenHeight - height) / 2,
                  width, height);
    box.copy_label(caption);
    WarningSign sign(MARGIN, MARGIN);
    WarningText message(MARGIN + SIGN_SIZE + MARGIN, MARGIN, textWidth, textHeight, text);
    Fl_Return_Button ok((width - BUTTON_WIDTH) / 2, height - MARGIN - BUTTON_HEIGHT, BUTTON_WIDTH,
                        BUTTON_HEIGHT, "OK");
    ok.callback(CloseBox);
    box.end();
    box.set_modal();
    box.show();
    while (box.shown())
        Fl::wait();
}
