// Free objects: the application supplies the handle function (drawing areas and the like).
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmFreeType {
    FM_NORMAL_FREE = 0,
    FM_INPUT_FREE = 1,      // takes the keyboard focus
    FM_CONTINUOUS_FREE = 2, // receives step events
    FM_ALL_FREE = 3,        // both
};

FmObject *fm_add_free(int type, float x, float y, float w, float h, const char *label, FmHandleFn handle);

}  // namespace vellimor
