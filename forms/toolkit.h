// Start-up of the toolkit, its colour map and its error reporting.
#pragma once

#include <string>

namespace vellimor {

// Initialises the toolkit once: the window system (when a display can be opened), the colour
// map, the device-event settings and the symbol table. Every form or dialog call does this
// first, so calling it is only needed to choose the moment.
void fm_init();
// True when no display could be opened: forms are kept and dispatched but never drawn.
bool fm_headless();

// The colour map: 4096 entries of red, green and blue (0..255).
void fm_mapcolor(int index, int r, int g, int b);
void fm_getmcolor(int index, int *r, int *g, int *b);

// Reports a failed check of operation `where`: always on the error stream, and in the error box
// ("Continue", "Exit", "Hide Errors") while a display is open and errors are not hidden.
void fm_show_error(const char *where, const char *message);
// The last message reported through fm_show_error (empty when none yet).
const std::string &fm_last_error();

}  // namespace vellimor
