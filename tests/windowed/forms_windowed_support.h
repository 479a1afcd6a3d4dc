// What the toolkit's windowed tests share beyond support/windowed.h: the colours and pixels a
// window shows, and the demo form's background.
#pragma once

#include "support/windowed.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace vellimor::test {

// A colour of the toolkit's colour map.
Rgb map_color(int index);
bool same_color(Rgb a, Rgb b, int tolerance = 6);
// The pixel at a point in form units (origin lower left) of a window `form_h` units high.
Rgb form_pixel(const Snapshot &shot, float form_h, float x, float y);
// Pixels inside the rectangle (form units): the pixel centres it holds.
int pixel_count(FmRect r);
// Pixels inside the rectangle (form units) that are dark enough to be text.
int dark_pixels(const Snapshot &shot, float form_h, FmRect r);
// Pixels inside the rectangle (form units) of the colour.
int pixels_of(const Snapshot &shot, float form_h, FmRect r, Rgb color);

// Points of the demo form that no object covers: they show the form's background colour.
const std::vector<FmRect> &demo_background_spots();
// Every background spot of the demo form shows the background colour; the failure names the
// first that does not.
::testing::AssertionResult shows_demo_background(const Snapshot &shot);

// Runs `act` on a connection of its own once a new top-level window is on the screen, while the
// calling thread waits in a modal dialog's loop.
std::thread on_next_window(XDriver &driver, std::function<void(XDriver &)> act, int settle_ms = 150);

// Frees a form made by a test (hiding it first) however the test ends.
struct FormGuard {
    FmForm *form;
    ~FormGuard() { fm_free_form(form); }
};

// Windowed tests need the display and a driver of their own.
class FormsWindowed : public ::testing::Test {
protected:
    void SetUp() override;
    // Shows the form at a screen position and waits until its window is on the screen.
    void show_at(FmForm *form, int x, int y);
    // What the form's window shows now.
    Snapshot look(const FmForm *form) { return driver_.grab(native_window(form)); }
    // Pointer gestures at fractions of an object's rectangle.
    void click_on(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        const ScreenPoint p = on_screen(driver_, obj, fx, fy);
        driver_.click(p.x, p.y);
    }
    void drag_on(const FmObject *obj, float fx0, float fy0, float fx1, float fy1, int button = 1) {
        const ScreenPoint a = on_screen(driver_, obj, fx0, fy0), b = on_screen(driver_, obj, fx1, fy1);
        driver_.drag(a.x, a.y, b.x, b.y, button);
    }

    XDriver driver_;
};

}  // namespace vellimor::test
