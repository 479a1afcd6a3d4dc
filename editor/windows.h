// Building, scaling and showing the designer's windows.
#pragma once

#include <vector>

#include "forms/object.h"

namespace vellimor {

constexpr float kHelpInterval = 0.5f;  // seconds between hover-help checks

void create_main_window();
void create_display_window();
void create_help_window();
void create_status_window();
void create_selected_window();
void create_dynamic_window();

// Scales every window from the 1280 x 1024 design to the screen (FUR_SIZE when both numbers
// were given) and gives boxes, sliders and labels the designer's look.
void scale_windows_to_screen();
// The screen size the windows are scaled to.
void designer_screen_size(int &w, int &h);
// The hidden help timer of every window.
std::vector<FmObject *> help_timers();
// The main window's keyboard shortcuts.
void attach_shortcuts();

}  // namespace vellimor
