// Object attributes. Every setter marks the object for redrawing; the window is brought up to date
// at the next turn of the event loop or by fm_flush_redraws (see forms/form_display.h). A frozen
// object or form catches up when it is unfrozen.
#pragma once

#include "forms/object.h"

namespace vellimor {

void fm_set_object_boxtype(FmObject *obj, int boxtype);
void fm_set_object_color(FmObject *obj, int col1, int col2);
void fm_set_object_label(FmObject *obj, const char *label);
void fm_set_object_lcol(FmObject *obj, int lcol);
// A size that no font has (not a positive number) is refused with "Font does not exist.".
void fm_set_object_lsize(FmObject *obj, float lsize);
void fm_set_object_lstyle(FmObject *obj, int lstyle);
void fm_set_object_align(FmObject *obj, int align);
// The characters that push the object from the keyboard; "^c" stands for Control-c.
void fm_set_object_shortcut(FmObject *obj, const char *keys);
// Gives the keyboard focus of `form` to `obj` (nullptr: no focus object).
void fm_set_object_focus(FmForm *form, FmObject *obj);
void fm_set_call_back(FmObject *obj, FmCallback callback, long argument);

void fm_show_object(FmObject *obj);
void fm_hide_object(FmObject *obj);
void fm_activate_object(FmObject *obj);
void fm_deactivate_object(FmObject *obj);

// Marks the object for redrawing (it is drawn at the next turn of the event loop).
void fm_redraw_object(FmObject *obj);
void fm_freeze_object(FmObject *obj);
void fm_unfreeze_object(FmObject *obj);

// True when `key` (a character as typed) is one of the object's shortcut keys.
bool fm_shortcut_matches(const FmObject *obj, int key);

}  // namespace vellimor
