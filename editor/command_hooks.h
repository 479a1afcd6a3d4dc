// What the file, scene and render commands ask of the rest of the designer. The designer fills
// these when its windows exist (designer_commands_attach); unset hooks do nothing, so the
// commands also run in a window of their own or without any.
#pragma once

#include <functional>
#include <string>

namespace vellimor {

struct CommandHooks {
    std::function<void()> activate_main;    // the main window takes input again
    std::function<void()> deactivate_main;  // while a modal window is up
    std::function<void()> redraw_graphics;  // the graphics view, at once
    // After "Open scene", whether it opened (viewport, window geometry, pending events) or not;
    // either way the browser and the selection follow the patches there are now.
    std::function<void(bool opened)> after_scene_open;
    std::function<void()> refresh_controls;  // after a surface's settings were loaded
    std::function<void()> show_frame;        // the frame controls, after a render moved the frame
    std::function<int()> double_buffer;      // the designer's buffering (1 when unset)
};
CommandHooks &command_hooks();

// Runs a hook when it is set.
inline void run_hook(const std::function<void()> &hook) {
    if (hook) hook();
}

// The database directory joined with a sub-directory ("SCENES", "MODELS", "RENDER_PICTURES",
// "PICTURES"); empty without a database.
std::string database_subdirectory(const char *name);

}  // namespace vellimor
