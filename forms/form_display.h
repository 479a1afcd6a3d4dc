// Showing, hiding, placing, activating, freezing and drawing forms.
//
// How windows are redrawn:
// - Any change to an object (a setter, a value that follows the pointer, a timer tick,
//   fm_redraw_object, fm_redraw_form, an expose of the window) only marks its form dirty. Once per
//   turn of the event loop (fm_check_forms, fm_do_forms, the loops of the dialogs, pop-up menus and
//   file selector, fm_qread) every dirty form that is shown and not frozen is redrawn. Code that
//   does not return to the loop for a while (a progress bar during a long computation) calls
//   fm_flush_redraws to bring every window up to date at once.
// - A double-buffered form (the default) is drawn whole into the back buffer and swapped, so its
//   window always shows the whole form. A single-buffered form redraws, straight into the front
//   buffer, only the objects that meet the changed area.
// - Every form window has a depth buffer. Before a form is drawn its depth is cleared to 1.0 (in
//   the redrawn area), and the toolkit's own drawing neither tests nor writes depth; so a free
//   object drawing a depth-tested 3D scene finds depth cleared over its area (unless an earlier
//   free object of the same form wrote depth there). It enables the depth test itself.
// - Objects are drawn only from their handler's FM_DRAW, in list order, with the form's state:
//   form units are window pixels (origin lower left), depth test, lighting, blending, fog,
//   culling and texturing off. An object may change any GL state (viewport, projection, depth
//   test ...) while it draws; the toolkit restores the form's state after it, so a state an
//   object wants must be set in every draw. A handler never swaps buffers itself.
// - obj->redraw is true during FM_DRAW when the object itself (or its whole window) asked for
//   the redraw, false when it is only repainted because something else in its double-buffered
//   window changed: a costly drawing area may then repaint a picture it kept.
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
// The control a window manager's close request on the form's window acts on, as if clicked: a
// "Close", "Cancel" or "Exit" button. Without one the request hides the form. A form that is
// deactivated (behind a modal window) ignores the request.
void fm_set_form_close(FmForm *form, FmObject *close_object);

// Deactivated forms are drawn but take no mouse or keyboard input; the calls nest.
void fm_activate_form(FmForm *form);
void fm_deactivate_form(FmForm *form);
void fm_activate_all_forms();
void fm_deactivate_all_forms();

// Marks the whole form for redrawing (done at the next turn of the event loop).
void fm_redraw_form(FmForm *form);
// A frozen form is not redrawn; changes made meanwhile show when it is unfrozen. The calls nest.
void fm_freeze_form(FmForm *form);
void fm_unfreeze_form(FmForm *form);

// Redraws now every shown, unfrozen form that has changes waiting; the current GLUT window is
// kept. The event loop calls it once per turn.
void fm_flush_redraws();
// True while a redraw of the form is waiting.
bool fm_form_needs_redraw(const FmForm *form);

// Multiplies the form's size and every object's x, y, w and h by the factors.
void fm_scale_form(FmForm *form, float sx, float sy);

// The shown form whose window is `window` (a GLUT window, or the window system's own handle),
// or nullptr.
FmForm *fm_form_of_window(int window);
FmForm *fm_form_of_native_window(unsigned long native_window);
int fm_shown_form_count();

// Draws the whole form now (rescaling it to its window first) and shows the result.
void fm_draw_form(FmForm *form);
// Marks the whole form, or the part of it covering `area` (form units), for redrawing.
void fm_invalidate_form(FmForm *form);
void fm_invalidate_area(FmForm *form, FmRect area);

// Screen size in pixels (1280 x 1024 without a display).
int fm_screen_width();
int fm_screen_height();

}  // namespace vellimor
