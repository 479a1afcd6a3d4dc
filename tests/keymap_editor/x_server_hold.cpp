#include "designer_session.h"

#include <X11/Xlib.h>

namespace vellimor::test {

XServerHold::XServerHold() {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!(display_ = XOpenDisplay(nullptr)) && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

XServerHold::~XServerHold() {
    if (display_) XCloseDisplay(display_);
}

}  // namespace vellimor::test
