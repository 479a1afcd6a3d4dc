// The counter: a number stepped with arrow buttons (small steps inside, large steps outside);
// holding an arrow repeats.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmCounterType { FM_NORMAL_COUNTER = 0, FM_SIMPLE_COUNTER = 1 };

FmObject *fm_add_counter(int type, float x, float y, float w, float h, const char *label);

void fm_set_counter_value(FmObject *obj, float value);
float fm_get_counter_value(FmObject *obj);
void fm_set_counter_bounds(FmObject *obj, float min, float max);
void fm_get_counter_bounds(FmObject *obj, float *min, float *max);
void fm_set_counter_step(FmObject *obj, float small_step, float large_step);
void fm_set_counter_precision(FmObject *obj, int precision);

}  // namespace vellimor
