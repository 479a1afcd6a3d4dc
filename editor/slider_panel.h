// The slider panel of the main window: the channel value and random sliders, "Number of hairs",
// "Preview quality" and the direction positioner.
#pragma once

namespace vellimor {

struct PatchData;

// Ranges, start values and decimals of the panel's sliders.
void slider_panel_init();
// Shows a patch's values: each channel from its first texture key, or its picture scale when the
// channel takes its values from a picture; the number of hairs; direction and its random amount.
void slider_panel_load(PatchData &patch);
// With no patch selected the panel shows no values: its fields are emptied.
void slider_panel_clear();

}  // namespace vellimor
