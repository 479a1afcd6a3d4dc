#include "editor/color_commands.h"

#include <vector>

#include "editor/keymap_commands.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

ColorClipboard &clipboard() {
    static ColorClipboard copied;
    return copied;
}

std::vector<PatchData *> selected_records() {
    std::vector<PatchData *> out;
    for (int p : selected_surfaces()) out.push_back(scene_state().patches[size_t(p)].get());
    return out;
}

}  // namespace

bool color_apply_sliders(int type, int selected, const ColorSliderValues &values) {
    const PatchData *current = current_record();
    if (!current) {
        status_warning("No objects selected");
        return false;
    }
    const DisplaySettings *settings = display_settings();
    const bool changed = apply_color_sliders(selected_records(), *current, type, selected, values,
                                             scene_state().current_frame,
                                             settings ? settings->autokey_fcurves : 0);
    if (!changed)
        status_message(kStatusWarning, "No texturekeys with active %s-key",
                       channel_name(kChannelColor, type));
    return changed;
}

bool color_copy(int type) {
    PatchData *current = current_record();
    if (!current) {
        status_warning("No objects selected");
        return false;
    }
    if (!copy_color_ramp(*current, type, clipboard())) {
        status_warning("Select a texture key with an active colorkey");
        return false;
    }
    return true;
}

bool color_paste(int type) {
    if (!clipboard().copied) {
        status_message(kStatusBox, "You have to COPY a color key,\nTHEN paste it..... (press the "
                                   "\"C\" left of the \"P\" you just pressed)\nTry again.");
        return false;
    }
    if (!current_record()) {
        status_warning("No objects selected");
        return false;
    }
    bool changed = false;
    for (PatchData *record : selected_records()) changed |= paste_color_ramp(*record, type, clipboard());
    return changed;
}

void color_set_interpolation(int method) {
    for (PatchData *record : selected_records()) record->color_interpolation_method = method;
}

void color_forget_copied() { clipboard() = ColorClipboard{}; }

int color_type_from_button(int type) { return type >= 0 && type < kColorTypes ? type : 0; }

}  // namespace vellimor
