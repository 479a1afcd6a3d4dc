#include "support/windowed.h"

#include "platform/window_system.h"

#include <GL/freeglut.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <thread>

namespace vellimor::test {
namespace {

// The GL driver keeps allocations for the process lifetime and is unloaded before the leak check,
// which then cannot name it; kept loaded, the suppressions recognise it. (Full stacks on every
// allocation would name it too, but deadlock the driver's code generator under the sanitizer.)
const bool kDriverKept = [] {
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(path, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE)) return true;
    return false;
}();

// Calls `step` every `pause_ms` until it returns true (then true) or the deadline passes (false).
bool poll_until(Clock::time_point end, int pause_ms, const std::function<bool()> &step) {
    for (; Clock::now() < end; sleep_ms(pause_ms))
        if (step()) return true;
    return false;
}

}  // namespace

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void toolkit_turn() { fm_check_forms(); }

bool pump_until(const std::function<bool()> &done, void (*turn)(), int seconds) {
    return poll_until(Clock::now() + std::chrono::seconds(seconds), 2, [&] {
        turn();
        return done();
    });
}

void pump_for(int ms, void (*turn)()) {
    poll_until(Clock::now() + std::chrono::milliseconds(ms), 2, [&] {
        turn();
        return false;
    });
}

bool wait_for(const std::function<bool()> &done) { return poll_until(Clock::now() + kTimeout, 10, done); }

unsigned long native_window(const FmForm *form) {
    glutSetWindow(form->window);
    return glutGetHWND(0);
}

ScreenPoint window_pixel(const FmForm *form, float fx, float fy) {
    return {int(std::lround(fx)), int(std::lround(form->h - 1 - fy))};
}

ScreenPoint on_screen(XDriver &x, const FmForm *form, float fx, float fy) {
    int ox = 0, oy = 0;
    x.window_origin(native_window(form), &ox, &oy);
    const ScreenPoint p = window_pixel(form, fx, fy);
    return {ox + p.x, oy + p.y};
}

ScreenPoint on_screen(XDriver &x, const FmObject *obj, float fx, float fy) {
    return on_screen(x, obj->form, obj->x + obj->w * fx, obj->y + obj->h * fy);
}

}  // namespace vellimor::test
