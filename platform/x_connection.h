// The platform layer's own connection to the X display, opened on first use and kept for the
// life of the process. Key state and the bell use it; freeglut keeps its own.
#pragma once

struct _XDisplay;

namespace vellimor::platform {

// The shared connection, or nullptr when no display can be opened.
_XDisplay *x_display();

}  // namespace vellimor::platform
