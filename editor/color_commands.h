// The colour key editor's commands over the selected surfaces, with their warnings: the colour
// sliders, "Copy color", "Paste color" and the colour interpolation setting. They touch no
// window; the caller redraws what they report as changed.
#pragma once

#include "editor/color_keys_edit.h"

namespace vellimor {

// Writes the slider values into the keys near the current surface's selected key of the type.
bool color_apply_sliders(int type, int selected, const ColorSliderValues &values);
// "Copy color" from the current surface into the editor's clipboard.
bool color_copy(int type);
// "Paste color" onto every selected surface. Returns whether a surface changed.
bool color_paste(int type);
// The colour interpolation method of every selected surface.
void color_set_interpolation(int method);
// Forgets the copied ramp (a new scene; tests).
void color_forget_copied();
// The type a colour type button selects: 4 and above select diffuse.
int color_type_from_button(int type);

}  // namespace vellimor
