// The colour key editor in the designer's main window: the colour area's handler and drawing,
// the colour type buttons, the RGB, HLS, alpha and thickness sliders, "Copy color", "Paste color"
// and the colour interpolation choice.
#pragma once

#include "forms/object.h"

namespace vellimor {

// Sets the colour area's handler and the callbacks of the colour panel's controls.
void color_editor_attach();

// The colour area's handler (draw, press, release, drag).
int color_area_handle(FmObject *obj, int event, float mx, float my, int key);

// Chooses the colour type (4 and above: diffuse) and shows its sliders.
void color_select_type(int type);

// Which slider changed: 0 R, 1 G, 2 B, 3 H, 4 S, 5 L, 10 A, 11 initialise, 12 thickness.
enum ColorSlider {
    kSliderRed = 0, kSliderGreen = 1, kSliderBlue = 2, kSliderHue = 3, kSliderSaturation = 4,
    kSliderLightness = 5, kSliderAlpha = 10, kSliderInitialise = 11, kSliderThickness = 12
};
void color_slider_changed(int which);

}  // namespace vellimor
