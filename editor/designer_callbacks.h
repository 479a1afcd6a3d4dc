// Callbacks of the designer's controls, as the window builders attach them.
#pragma once

#include "forms/object.h"

namespace vellimor {

// Selection (object browser and its buttons).
void browser_callback(FmObject *obj, long);
void select_all_callback(FmObject *obj, long);
void select_none_callback(FmObject *obj, long);
void select_invert_callback(FmObject *obj, long);
void delete_callback(FmObject *obj, long);
void group_callback(FmObject *obj, long group_index);
void persistent_callback(FmObject *obj, long);

// Current frame.
void frame_slider_callback(FmObject *obj, long);
void frame_field_callback(FmObject *obj, long);
void frame_arrow_callback(FmObject *obj, long step);

// Render and preview buttons; the argument is the draw mode.
void draw_button_callback(FmObject *obj, long mode);
void rebuild_hairs_callback(FmObject *obj, long);

// Window buttons; the argument is the window code.
void window_button_callback(FmObject *obj, long code);
void exit_callback(FmObject *obj, long);
void message_button_callback(FmObject *obj, long);

// Backup timer.
void backup_timer_callback(FmObject *obj, long);

// Graphics view (free object handler).
int graphics_view_handle(FmObject *obj, int event, float mx, float my, int key);
// Placeholder drawing of an area whose editor draws nothing yet.
int grey_area_handle(FmObject *obj, int event, float mx, float my, int key);

// Slider panel: "Number of hairs", "Preview quality" and their arrows.
void number_of_hairs_callback(FmObject *obj, long);
void preview_quality_callback(FmObject *obj, long);
void preview_quality_step_callback(FmObject *obj, long hundredths);
void segments_step_callback(FmObject *obj, long step);

// Slider-field pairs: the field's callback sets the slider.
void pair_field_callback(FmObject *field, long);

// Settings windows.
void display_settings_callback(FmObject *obj, long);
void display_settings_fill();
void selected_settings_callback(FmObject *obj, long);
void selected_settings_fill();
void dynamic_settings_callback(FmObject *obj, long);
void dynamic_settings_fill();
void status_level_callback(FmObject *obj, long level);
void status_text_load();
void close_window_callback(FmObject *obj, long code);

// Help texts of every window's controls.
void help_fill_main();
void help_fill_settings();

}  // namespace vellimor
