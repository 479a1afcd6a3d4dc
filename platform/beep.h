// The system beep: the X11 bell with a display, nothing without.
#pragma once

namespace vellimor::platform {

void beep();

}  // namespace vellimor::platform
