// Drives the X server the way a person would (XTest pointer and key events) and reads windows
// back, for the windowed tests. Each driver has its own X connection, so it may run on a thread
// of its own while the toolkit's loop runs on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace vellimor::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// A window's pixels as read back from the X server (what the window shows on the screen).
class Snapshot {
public:
    Snapshot() = default;
    Snapshot(int width, int height) : width_(width), height_(height), rgb_(width * height) {}
    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return rgb_.empty(); }
    // Window pixel, origin upper left; black outside the window.
    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
        return rgb_[static_cast<std::size_t>(y) * width_ + x];
    }
    void set(int x, int y, Rgb c) { rgb_[static_cast<std::size_t>(y) * width_ + x] = c; }

private:
    int width_ = 0, height_ = 0;
    std::vector<Rgb> rgb_;
};

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
    // Gives the window the keyboard focus, as a window manager would on a click.
    void focus(unsigned long window);
    // Number of top-level windows that are mapped.
    int mapped_toplevel_count();
    // The mapped top-level window highest in the stacking order (0 when none).
    unsigned long topmost_toplevel();
    // Screen position of a window's upper-left corner.
    void window_origin(unsigned long window, int *x, int *y);
    bool window_viewable(unsigned long window);
    // The window's size in pixels; false when it cannot be asked.
    bool window_size(unsigned long window, int *width, int *height);
    // The window's contents (empty when it cannot be read).
    Snapshot grab(unsigned long window);
    // Writes the window's contents as an RGB PNG (pictures for the docs); false on failure.
    bool save_png(unsigned long window, const std::string &path);
    // Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW).
    void close_request(unsigned long window);
    // The mapped window whose title begins with `prefix` (0 when none).
    unsigned long find_window(const std::string &prefix);

private:
    unsigned long search(unsigned long window, const std::string &prefix, int depth);
    void key_code(unsigned int code);
    _XDisplay *display_ = nullptr;
};

}  // namespace vellimor::test
