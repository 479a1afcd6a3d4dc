// The curve editor and the file, scene and render commands inside the designer: their windows,
// their place in the window dispatcher, and their connection to the designer's controls.
#pragma once

#include <vector>

#include "forms/object.h"

namespace vellimor {

// Builds the render settings window (after the display settings).
void create_render_settings_windows();
// Builds the function curve editor, the texture file selector and the scene menu (after the
// other windows).
void create_curve_and_scene_windows();
// The windows built here, for scaling and hover help.
std::vector<FmForm *> command_forms();
std::vector<FmObject *> command_help_timers();
// Shows the window of a dispatcher code ("File", "Render", "FCurve"); false for other codes.
bool show_command_window(int code);
// Connects the commands and the curve editor to the designer: the "I" and "O" buttons, the
// background "Browser", the redraw and refill hooks. Called once the windows exist.
void designer_commands_attach();

}  // namespace vellimor
