#include "support/windowed.h"

#include "platform/window_system.h"

#include <GL/freeglut.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// ctest runs windowed tests side by side, each on a display of its own: the pool of Xvfb displays
// (VELLIMOR_TEST_DISPLAYS, ":101,:102") is shared through a lock file per display, held until this
// process and the programs it starts end. A test run by hand keeps the DISPLAY it was given.
void use_display(const std::string &display) {
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("VELLIMOR_TEST_DISPLAYS");  // programs it starts draw on the same display
}

enum class Lock { taken, busy, impossible };

Lock take_display(const std::string &display) {
    const std::string lock = "/tmp/vellimor-xvfb-" + display.substr(1) + ".lock";
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0) return Lock::impossible;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return Lock::busy;
    }
    use_display(display);
    return Lock::taken;  // the descriptor stays open: the lock lasts as long as the process
}

const bool kDisplayTaken = [] {
    const char *pool = std::getenv("VELLIMOR_TEST_DISPLAYS");
    if (!pool || !*pool) return false;
    std::vector<std::string> displays;
    std::istringstream in(pool);
    for (std::string d; std::getline(in, d, ',');)
        if (d.size() > 1 && d[0] == ':') displays.push_back(d);
    if (displays.empty()) return false;
    for (;; sleep_ms(100)) {  // all busy: the first to come free (ctest's timeout ends a wait)
        bool lockable = false;
        for (const std::string &d : displays) {
            const Lock got = take_display(d);
            if (got == Lock::taken) return true;
            lockable = lockable || got == Lock::busy;
        }
        if (!lockable) {
            std::fprintf(stderr, "cannot lock a test display in /tmp; drawing on %s, which other tests may share\n",
                         displays.front().c_str());
            use_display(displays.front());
            return false;
        }
    }
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
