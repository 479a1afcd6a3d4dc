// Drives the X server the way a person would (XTest pointer and key events) and reads windows
// back, for the windowed tests. Each driver has its own X connection, so it may run on a thread
// of its own while the toolkit's loop runs on the main thread.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

namespace vellimor::test {

class XDriver {
public:
    XDriver();
    ~XDriver();
    XDriver(const XDriver &) = delete;
    XDriver &operator=(const XDriver &) = delete;

    bool ok() const { return display_ != nullptr; }
    void move(int x, int y);
    void press(int button);
    void release(int button);
    void click(int x, int y, int button = 1);
    void drag(int x0, int y0, int x1, int y1, int button = 1);
    // Types the text (ASCII; '\t' and '\r' as Tab and Return).
    void type(const std::string &text);
    // Presses a key given by its X keysym name ("BackSpace", "Left", ...).
    void key(const char *keysym_name);
    // Holds a key down, or lets it go (X keysym name: "o", "Shift_L", ...).
    void key_down(const char *keysym_name);
    void key_up(const char *keysym_name);
    // The window's pixels as RGB rows, top row first; empty on failure.
    std::vector<unsigned char> grab(unsigned long window, int *width, int *height);
    // Gives the window the keyboard focus, as a window manager would on a click.
    void focus(unsigned long window);
    // Number of top-level windows that are mapped.
    int mapped_toplevel_count();
    // The mapped top-level window highest in the stacking order (0 when none).
    unsigned long topmost_toplevel();
    // Screen position of a window's upper-left corner.
    void window_origin(unsigned long window, int *x, int *y);
    bool window_viewable(unsigned long window);
    // Writes the window's contents as an RGB PNG; false on failure.
    bool save_png(unsigned long window, const std::string &path);

private:
    void key_code(unsigned int code);
    _XDisplay *display_ = nullptr;
};

}  // namespace vellimor::test
