// The window layer's callbacks: they turn GLUT events of the forms' windows into device events.
#pragma once

namespace vellimor {

// Registers the toolkit's callbacks on the current window.
void fm_register_window_callbacks();
// Turns a window manager's close requests on the forms' windows into FM_DEV_WINCLOSE events.
void fm_register_close_requests();

// The key recorded as held for a typed character (letters upper-cased, Control-letters as the
// letter).
int fm_held_key_code(unsigned char c);

}  // namespace vellimor
