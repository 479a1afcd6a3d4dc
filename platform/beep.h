// The system beep: the X11 bell with a display, nothing without.
#pragma once

namespace vellimor::platform {

void beep();
// Number of beeps sounded (or, without a display, asked for) since the process started.
long beeps_requested();

}  // namespace vellimor::platform
