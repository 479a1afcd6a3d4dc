// The positioner: a two-dimensional value picked with a cross-hair.
#pragma once

#include "forms/object.h"

namespace vellimor {

FmObject *fm_add_positioner(int type, float x, float y, float w, float h, const char *label);

void fm_set_positioner_xvalue(FmObject *obj, float value);
void fm_set_positioner_yvalue(FmObject *obj, float value);
float fm_get_positioner_xvalue(FmObject *obj);
float fm_get_positioner_yvalue(FmObject *obj);
void fm_set_positioner_xbounds(FmObject *obj, float min, float max);
void fm_set_positioner_ybounds(FmObject *obj, float min, float max);
void fm_get_positioner_xbounds(FmObject *obj, float *min, float *max);
void fm_get_positioner_ybounds(FmObject *obj, float *min, float *max);

}  // namespace vellimor
