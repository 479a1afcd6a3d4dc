// The slider family: sliders (class 21) and value sliders (class 24, with the value shown beside
// the slider), vertical or horizontal, with a knob or filled up to the value.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmSliderType {
    FM_VERT_SLIDER = 0,
    FM_HOR_SLIDER = 1,
    FM_VERT_FILL_SLIDER = 2,
    FM_HOR_FILL_SLIDER = 3,
};

FmObject *fm_add_slider_class(int objclass, int type, float x, float y, float w, float h,
                              const char *label);
FmObject *fm_add_slider(int type, float x, float y, float w, float h, const char *label);
FmObject *fm_add_valslider(int type, float x, float y, float w, float h, const char *label);

void fm_set_slider_value(FmObject *obj, float value);
float fm_get_slider_value(FmObject *obj);
void fm_set_slider_bounds(FmObject *obj, float min, float max);
void fm_get_slider_bounds(FmObject *obj, float *min, float *max);
// Values are rounded to multiples of `step` above the lower bound (0: no rounding).
void fm_set_slider_step(FmObject *obj, float step);
// Decimals shown by a value slider.
void fm_set_slider_precision(FmObject *obj, int precision);
// The knob's length as a fraction of the slider (0.02 .. 1).
void fm_set_slider_size(FmObject *obj, float size);

}  // namespace vellimor
