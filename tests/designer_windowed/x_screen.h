// What the designer's windowed tests need of the X server beyond the pointer driver: holding a
// modifier key, finding a window by its title, and reading a window's pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace vellimor::test {

struct WindowPixels {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // row 0 at the top
    const uint8_t *at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

class XScreen {
public:
    XScreen();
    ~XScreen();
    XScreen(const XScreen &) = delete;
    XScreen &operator=(const XScreen &) = delete;

    bool ok() const { return display_ != nullptr; }
    // Presses or releases a key given by its keysym name ("Alt_L").
    void hold_key(const char *keysym_name, bool down);
    // The mapped window whose title begins with `prefix` (0 when none).
    unsigned long find_window(const std::string &prefix);
    // The window's pixels; empty when it can't be read.
    WindowPixels read(unsigned long window);
    // Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW).
    void close_request(unsigned long window);

private:
    unsigned long search(unsigned long window, const std::string &prefix, int depth);
    _XDisplay *display_ = nullptr;
};

}  // namespace vellimor::test
