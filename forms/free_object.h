// Free objects: the application supplies the handle function (drawing areas and the like).
// The handler gets FM_DRAW whenever its window is redrawn (obj->redraw says whether the object
// itself asked), with the form's GL state and a cleared depth buffer (forms/form_display.h);
// keys arrive as FM_KEYBOARD, also without a click for the input types (forms/dispatch.h).
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmFreeType {
    FM_NORMAL_FREE = 0,
    FM_INPUT_FREE = 1,      // takes the keyboard focus, and keys under the pointer
    FM_CONTINUOUS_FREE = 2, // receives step events
    FM_ALL_FREE = 3,        // both
};

FmObject *fm_add_free(int type, float x, float y, float w, float h, const char *label, FmHandleFn handle);

}  // namespace vellimor
