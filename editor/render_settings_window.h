// The "Render settings" window (modal): resolution and aspect ratio, frame range, output file
// name, the render options, "Render" and "Cancel".
#pragma once

#include "forms/object.h"

namespace vellimor {

constexpr float kRenderSettingsWidth = 740, kRenderSettingsHeight = 296;

struct RenderSettingsWindow {
    FmForm *form = nullptr;
    FmObject *x = nullptr, *y = nullptr, *aspect = nullptr;
    FmObject *start = nullptr, *end = nullptr, *step = nullptr;
    FmObject *output = nullptr, *browser = nullptr;
    FmObject *render_alpha = nullptr, *preview_render = nullptr;
    FmObject *single_buffer = nullptr, *double_buffer = nullptr;
    FmObject *call_save_plugin = nullptr;  // hidden unless the environment allows the plug-in
    FmObject *render = nullptr, *cancel = nullptr;
    FmObject *help_timer = nullptr;
};
RenderSettingsWindow &render_settings_window();

// Builds the window once (hidden); later calls return the same form.
FmForm *create_render_settings_window();
// Opening: the fields from the settings, the scene's range saved (and replaced by a remembered
// render range while the window is up).
void render_settings_fill();
// Fills and shows the window with the main window deactivated.
void render_settings_show();

// The callbacks, by field (tests call them as the toolkit would).
void render_settings_resolution_changed(FmObject *field, long);
void render_settings_range_changed(FmObject *field, long);
void render_settings_render(FmObject *, long);
void render_settings_cancel(FmObject *, long);

}  // namespace vellimor
