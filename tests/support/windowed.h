// What every windowed test shares: running a loop until something shows, waiting from a driver
// thread, and the screen and window pixels of a point of a form.
#pragma once

#include <chrono>
#include <functional>

#include "forms/forms.h"
#include "support/x_driver.h"

namespace vellimor::test {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(20);

void toolkit_turn();
// Runs a loop (the toolkit's unless told) until `done` holds or the time is up.
bool pump_until(const std::function<bool()> &done, void (*turn)() = toolkit_turn, int seconds = 20);
void pump_for(int ms, void (*turn)() = toolkit_turn);
// Polls from a driver thread (no toolkit calls there) until the condition holds.
bool wait_for(const std::function<bool()> &done);
void sleep_ms(int ms);

unsigned long native_window(const FmForm *form);

struct ScreenPoint {
    int x = 0, y = 0;
};
// The window pixel (origin upper left) of a point in form units (origin lower left).
ScreenPoint window_pixel(const FmForm *form, float fx, float fy);
// The screen pixel of a point given as fractions of the object's rectangle.
ScreenPoint on_screen(XDriver &x, const FmObject *obj, float fx = 0.5f, float fy = 0.5f);
// The screen pixel of a point of a form, in form units.
ScreenPoint on_screen(XDriver &x, const FmForm *form, float fx, float fy);

}  // namespace vellimor::test
