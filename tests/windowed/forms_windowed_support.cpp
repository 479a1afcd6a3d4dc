#include "forms_windowed_support.h"

#include "forms/demo_form.h"

#include "platform/window_system.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdlib>

namespace vellimor::test {

Rgb map_color(int index) {
    Rgb c;
    fm_getmcolor(index, &c.r, &c.g, &c.b);
    return c;
}

bool same_color(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

Rgb form_pixel(const Snapshot &shot, float form_h, float x, float y) {
    return shot.at(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(form_h - 1 - y)));
}

namespace {

template <class Fn>
int count_pixels(const Snapshot &shot, float form_h, FmRect r, Fn fn) {
    int n = 0;
    for (int y = static_cast<int>(std::ceil(r.y)); y < r.y + r.h; ++y)
        for (int x = static_cast<int>(std::ceil(r.x)); x < r.x + r.w; ++x)
            if (fn(form_pixel(shot, form_h, static_cast<float>(x), static_cast<float>(y)))) ++n;
    return n;
}

}  // namespace

int pixel_count(FmRect r) {
    int n = 0;
    for (int y = static_cast<int>(std::ceil(r.y)); y < r.y + r.h; ++y)
        for (int x = static_cast<int>(std::ceil(r.x)); x < r.x + r.w; ++x) ++n;
    return n;
}

int dark_pixels(const Snapshot &shot, float form_h, FmRect r) {
    return count_pixels(shot, form_h, r, [](Rgb c) { return c.r + c.g + c.b < 240; });
}

int pixels_of(const Snapshot &shot, float form_h, FmRect r, Rgb color) {
    return count_pixels(shot, form_h, r, [&](Rgb c) { return same_color(c, color); });
}

const std::vector<FmRect> &demo_background_spots() {
    static const std::vector<FmRect> spots = {
        {400, 90, 45, 60},   // between the shadow box and the drawing area
        {188, 100, 24, 40},  // between the browser and the shadow box
        {440, 475, 100, 30}, // left of "Quit"
        {642, 60, 12, 400},  // the right margin
        {20, 4, 150, 10},    // below the browser's label
    };
    return spots;
}

::testing::AssertionResult shows_demo_background(const Snapshot &shot) {
    if (shot.empty()) return ::testing::AssertionFailure() << "the window could not be read";
    Rgb background = map_color(FM_COL1);
    for (const FmRect &r : demo_background_spots()) {
        int matching = pixels_of(shot, kDemoHeight, r, background);
        if (matching != pixel_count(r)) {
            Rgb c = form_pixel(shot, kDemoHeight, r.x + r.w / 2, r.y + r.h / 2);
            return ::testing::AssertionFailure()
                   << "background spot at (" << r.x << ", " << r.y << ") size " << r.w << " x " << r.h << ": only "
                   << matching << " of " << pixel_count(r) << " pixels show the background; its centre is (" << c.r << ", "
                   << c.g << ", " << c.b << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

std::thread on_next_window(XDriver &driver, std::function<void(XDriver &)> act, int settle_ms) {
    const int windows_before = driver.mapped_toplevel_count();
    return std::thread([=] {
        XDriver x;
        if (!wait_for([&] { return x.mapped_toplevel_count() > windows_before; })) return;
        sleep_ms(settle_ms);
        act(x);
    });
}

void FormsWindowed::SetUp() {
    fm_init();
    ASSERT_FALSE(fm_headless()) << "no X display";
    ASSERT_TRUE(driver_.ok());
}

void FormsWindowed::show_at(FmForm *form, int x, int y) {
    fm_set_form_position(form, x, y);
    fm_show_form(form, FM_PLACE_POSITION, 1, "forms test");
    ASSERT_TRUE(pump_until([&] { return driver_.window_viewable(native_window(form)); }));
    pump_for(100);
}

}  // namespace vellimor::test
