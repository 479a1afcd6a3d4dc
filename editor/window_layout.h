// Helpers the window builders share: the design size and one-call controls with their labels
// placed the designer's way.
#pragma once

#include "forms/object.h"
#include "forms/slider.h"

namespace vellimor {

// Every window is laid out for a screen of this size and scaled to the real one.
constexpr float kDesignWidth = 1280.0f;
constexpr float kDesignHeight = 1024.0f;

FmObject *layout_button(int type, float x, float y, float w, float h, const char *label,
                        FmCallback callback, long argument);
// A horizontal slider (class 21) with its label on the left.
FmObject *layout_slider(float x, float y, float w, float h, const char *label,
                        int type = FM_HOR_SLIDER);
// A numeric field with an optional label on the left.
FmObject *layout_field(float x, float y, float w, float h, const char *label = "");
// A hidden timer for the hover help of a window.
FmObject *layout_help_timer();

}  // namespace vellimor
