// Start-up of the toolkit, its colour map and its error reporting.
#pragma once

#include <cstddef>
#include <new>
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
// Memory that the toolkit (or the application) asks for: nullptr, with "Cannot allocate memory."
// reported, when there is none. Released with std::free.
void *fm_malloc(std::size_t size);
// Runs `grow`, code that allocates; when memory runs out reports "Cannot allocate memory." as
// fm_malloc does and returns false (the standard containers keep what they held).
template <class Grow>
bool fm_allocating(Grow grow) {
    try {
        grow();
        return true;
    } catch (const std::bad_alloc &) {
        fm_show_error("fm_malloc", "Cannot allocate memory.");
        return false;
    }
}

// The last message reported through fm_show_error (empty when none yet).
const std::string &fm_last_error();

}  // namespace vellimor
