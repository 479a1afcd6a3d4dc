// The timer: counts down from the time it was set to and reports once when it reaches 0.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmTimerType {
    FM_NORMAL_TIMER = 0, // a box that turns red when expired
    FM_VALUE_TIMER = 1,  // shows the remaining seconds
    FM_HIDDEN_TIMER = 2, // draws nothing
};

FmObject *fm_add_timer(int type, float x, float y, float w, float h, const char *label);
// Starts the count-down; 0 or less stops the timer.
void fm_set_timer(FmObject *obj, float seconds);
// Remaining seconds (0 when expired or stopped).
float fm_get_timer(FmObject *obj);

}  // namespace vellimor
