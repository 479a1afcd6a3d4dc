#include "platform/beep.h"

#include <X11/Xlib.h>

#include <atomic>

#include "platform/x_connection.h"

namespace vellimor::platform {
namespace {

std::atomic<long> beep_count{0};

}  // namespace

void beep() {
    ++beep_count;
    if (Display *display = x_display()) {
        XBell(display, 0);
        XFlush(display);
    }
}

long beeps_requested() { return beep_count.load(); }

}  // namespace vellimor::platform
