// The loop and screen helpers the designer's windowed tests share.
#pragma once

#include <GL/freeglut.h>
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "forms/forms.h"
#include "platform/window_system.h"

namespace vellimor::test {

// The GL driver keeps allocations for the process lifetime and is unloaded before the leak check,
// which then cannot name it; kept loaded, the suppressions recognise it.
inline const bool kDriverKept = [] {
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(path, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE)) return true;
    return false;
}();

using Clock = std::chrono::steady_clock;

// Runs the toolkit's loop until `done` holds or `seconds` have passed.
inline bool pump_until(const std::function<bool()> &done, int seconds = 10) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        fm_check_forms();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

inline void pump_for(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        fm_check_forms();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

inline unsigned long native_window(const FmForm *form) {
    glutSetWindow(form->window);
    return glutGetHWND(0);
}

// Window pixel (column, row from the top) of a point in form units.
struct Pixel {
    int x, y;
};
inline Pixel form_pixel(const FmForm *form, float fx, float fy) {
    return {static_cast<int>(std::lround(fx)), static_cast<int>(std::lround(form->h - 1 - fy))};
}

}  // namespace vellimor::test
