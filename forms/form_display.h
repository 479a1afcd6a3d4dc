// Showing, hiding, placing, activating, freezing and drawing forms.
#pragma once

#include "forms/drawing.h"
#include "forms/object.h"

namespace vellimor {

enum FmPlace {
    FM_PLACE_FREE = 0,     // the stored position, or where the window system puts it
    FM_PLACE_CENTER = 1,   // centred on the screen
    FM_PLACE_MOUSE = 2,    // centred on the mouse
    FM_PLACE_POSITION = 3, // the stored position, kept on the screen
};

constexpr int kFmMaxForms = 40;
constexpr const char *kFmDefaultTitle = "Vellimor";

// Shows the form in a window of its own and returns the window, or -1 when 40 forms are shown
// already. A form that is shown already is only raised. `border` 0 asks for no decoration.
int fm_show_form(FmForm *form, int place, int border, const char *title);
void fm_hide_form(FmForm *form);
void fm_set_form_position(FmForm *form, int x, int y);
void fm_set_form_callback(FmForm *form, FmCallback callback, long argument);

// Deactivated forms are drawn but take no mouse or keyboard input; the calls nest.
void fm_activate_form(FmForm *form);
void fm_deactivate_form(FmForm *form);
void fm_activate_all_forms();
void fm_deactivate_all_forms();

void fm_redraw_form(FmForm *form);
void fm_freeze_form(FmForm *form);
void fm_unfreeze_form(FmForm *form);

// Multiplies the form's size and every object's x, y, w and h by the factors.
void fm_scale_form(FmForm *form, float sx, float sy);

// The shown form whose window is `window`, or nullptr.
FmForm *fm_form_of_window(int window);
int fm_shown_form_count();

// Draws the whole form (rescaling it to its window first) and shows the result.
void fm_draw_form(FmForm *form);
// Redraws the objects of a shown form that meet `area` (form units), in list order.
void fm_redraw_region(FmForm *form, FmRect area);

// Screen size in pixels (1280 x 1024 without a display).
int fm_screen_width();
int fm_screen_height();

}  // namespace vellimor
