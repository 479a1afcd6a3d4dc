// The designer's main loop.
#pragma once

namespace vellimor {

// Builds the designer's windows and runs its event loop; returns when the user has left it.
// Without an X display it says so in one line on stderr and returns at once (designer_failed).
void designer_start();
// True when the last designer_start could not open its windows.
bool &designer_failed();

// The start and the end of designer_start, and one turn of its loop, for callers that run the
// loop themselves (tests). Without a display the windows are built but never drawn.
bool designer_open();
void designer_turn();
void designer_close();
// Runs designer_turn until quit is set.
void event_loop();
// Sets quit and freezes the main window; the loop ends at its next turn.
void designer_quit();
// Gives the main window its place: the whole screen, or the FUR_SIZE size at the top left.
void place_main_window();

// Appends a line to the main window's message area: a repeat of the last line is dropped, and
// the area keeps its last six lines.
void message_area_add(const char *line);

}  // namespace vellimor
