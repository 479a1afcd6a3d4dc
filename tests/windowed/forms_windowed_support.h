// What the toolkit's windowed tests share beyond support/windowed.h: the colours and pixels a
// window shows, and the demo form's background.
#pragma once

#include "support/windowed.h"

#include <gtest/gtest.h>

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

    XDriver driver_;
};

}  // namespace vellimor::test
