// The button family: plain, light and round buttons in five behaviours.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmButtonType {
    FM_NORMAL_BUTTON = 0, // on while held; reports when released over the button
    FM_PUSH_BUTTON = 1,   // on while held; reports when pressed
    FM_RADIO_BUTTON = 2,  // stays on; pushing it releases the others of its group
    FM_HIDDEN_BUTTON = 3, // a normal button that draws nothing (covers other objects)
    FM_TOGGLE_BUTTON = 4, // each press flips it on or off and reports
};

// A button of class `objclass` (FM_BUTTON, FM_LIGHTBUTTON, FM_ROUNDBUTTON or the caller's own).
FmObject *fm_add_button_class(int objclass, int type, float x, float y, float w, float h,
                              const char *label);
FmObject *fm_add_button(int type, float x, float y, float w, float h, const char *label);
FmObject *fm_add_lightbutton(int type, float x, float y, float w, float h, const char *label);
FmObject *fm_add_roundbutton(int type, float x, float y, float w, float h, const char *label);

// Setting a radio button's value also sets its pushed state.
void fm_set_button(FmObject *obj, int value);
int fm_get_button(FmObject *obj);
// The mouse button (1 left, 2 middle, 3 right) of the last press, 0 for a keyboard shortcut.
int fm_get_button_numb(FmObject *obj);

}  // namespace vellimor
