// The colour key editor's rules on the fur records: which texture key the colour area shows,
// selecting, adding, moving and deleting main colour keys with the mouse, writing the colour
// sliders into the keys, and copying a ramp from one surface to others.
#pragma once

#include <vector>

#include "furdata/patch_data.h"

namespace vellimor {

// How near (as a fraction of the hair) a press must be to a key to hit it.
constexpr float kColorKeyHitDistance = 0.05f;

// The texture key whose ramp the colour area shows: the first selected key painting the type;
// else, when fewer than two keys paint it, the first that does. None when there is none or when
// several keys paint the type and none of them is selected.
TextureKey *displayed_texture_key(PatchData &record, int type);

// The nearest main colour key within the hit distance of p (first of equal ones), or -1.
int nearest_color_key(const PatchData &record, int type, float p);

// One press, drag or release in the colour area. `selected` is the editor's selected key of
// the type; the latch lets one press delete at most one key.
struct ColorAreaMouse {
    float p = 0.0f;       // position along the hair under the pointer (0 root .. 1 tip)
    bool left = false;    // left button down
    bool remove = false;  // the Delete key or the middle button down
};
// A press: selects the key hit; adds one at p with the left button when none is hit; deletes the
// key hit (not the first) when `remove` and the latch is clear, then sets the latch.
void color_area_push(PatchData &record, int type, const ColorAreaMouse &mouse, int &selected,
                     bool &latch);
// A drag: moves the selected key (never the first or last) to p when p lies strictly between
// its neighbours. Returns whether it moved.
bool color_area_drag(PatchData &record, int type, const ColorAreaMouse &mouse, int selected,
                     bool latch);

// The panel's slider values.
struct ColorSliderValues {
    float R = 1.0f, G = 0.9f, B = 0.85f, A = 1.0f;
    float thickness = 0.05f;
};
// The values the sliders show for the displayed key's entry `selected`; false when there is
// no displayed key.
bool color_sliders_from_record(PatchData &record, int type, int selected, ColorSliderValues &out);

// Writes the slider values into the keys of every selected surface near the current surface's
// selected key (see the rules in the editor), keying their function curves at `frame`. Returns
// whether anything changed.
bool apply_color_sliders(const std::vector<PatchData *> &selected_surfaces, const PatchData &current,
                         int type, int selected, const ColorSliderValues &values, int frame,
                         int autokey_on);

// The ramp copied by "Copy color".
struct ColorClipboard {
    ColorKey entries[kMaxColorKeys];
    MainColorKey keys[kMaxColorKeys];
    int count = 0;
    bool copied = false;
};
// Copies the first selected texture key's ramp of the type; false when no selected key paints
// the type.
bool copy_color_ramp(PatchData &record, int type, ColorClipboard &clipboard);
// Pastes the ramp into every selected texture key painting the type (and the main colour keys
// into the surface, pictures loaded again). Returns whether the surface had such a key.
bool paste_color_ramp(PatchData &record, int type, const ColorClipboard &clipboard);

}  // namespace vellimor
