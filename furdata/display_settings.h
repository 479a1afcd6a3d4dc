// The one process-wide record of display and render settings, stored with every fur surface.
#pragma once

#include <string>

namespace vellimor {

// Draw styles (DisplaySettings::draw_style and PatchData::render_mode).
enum DrawStyle { kDrawLines = 2000, kDrawPolygons = 2001, kRenderPolygons2 = 2002 };

constexpr int kShowChannelToggles = 8;

struct DisplaySettings {
    std::string background_image_name;  // stored in 512 bytes: at most 511 characters are kept
    int background_color = static_cast<int>(0xFF000000u);  // packed, red in the lowest byte
    int use_background_image = 0;
    int other_color = static_cast<int>(0xFF555555u);
    float hilight_size = 40.0f;
    float hilight_intensity = 0.8f;
    short reserved_532 = 2;  // set when the record is created, read by nothing
    short other_display_mode = 1;
    int ray_traced_shadows = 0;
    float shadow_umbra_scale = 0.1f;
    int other_casts_shadow = 0;
    int reserved_548 = 0;  // read by nothing
    float preview_fraction = 0.05f;
    int draw_style = kDrawPolygons;
    int shading = 1;
    int hilights = 1;
    int beep_on_error = 1;
    int redraw_always = 0;
    int antialias_level = 0;
    int debug_level = 1;  // 1 Normal, 2 More, 3 Debug
    int use_opengl = 1;
    int show_channel[kShowChannelToggles] = {1, 1, 1, 1, 1, 1, 1, 1};
    int show_wind_vector = 0;
    int move_mouse = 1;
    float light_exposure = 1.0f;
    int autokey_fcurves = 0;
    int redraw_auto = 1;
    int dir_bend_random_mode = 1;
    // Not stored: hairs drawn as the exact four-sided tubes instead of the ribbons that picture
    // them within a level or two (for byte-for-byte pictures of earlier versions).
    bool exact_tubes = false;
};

// The current record, or nullptr before the fur records were first read.
DisplaySettings *display_settings();
// Replaces the current record by one with every default and returns it.
DisplaySettings &display_settings_create();
// Forgets the record (scene closed; tests).
void display_settings_free();

}  // namespace vellimor
