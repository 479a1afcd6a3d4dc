#include "editor/keymap_commands.h"

#include "furdata/display_settings.h"
#include "fcurve/fcurve_autokey.h"
#include "hair/channel_maps.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

std::unique_ptr<PatchData> &copied_object() {
    static std::unique_ptr<PatchData> copy;
    return copy;
}

PatchData &record_of(int p) { return *scene_state().patches[size_t(p)]; }

// The one selected surface a picture command works on; warns otherwise.
int single_selected_surface() {
    const std::vector<int> selected = selected_surfaces();
    if (selected.empty()) {
        status_warning("No objects selected");
        return -1;
    }
    if (selected.size() > 1) {
        status_warning("More than one object is selected");
        return -1;
    }
    return selected.front();
}

const char *slider_channel_name(int channel) { return channel_name(channel, 0); }

}  // namespace

std::vector<int> selected_surfaces() {
    std::vector<int> out;
    const SceneState &scene = scene_state();
    for (size_t p = 0; p < scene.patches.size(); ++p) {
        const PatchData *record = scene.patches[p].get();
        if (record && record->is_selected && !record->deleted) out.push_back(int(p));
    }
    return out;
}

PatchData *current_record() {
    SceneState &scene = scene_state();
    const int p = scene.current_patch;
    if (p < 0 || p >= int(scene.patches.size())) return nullptr;
    return scene.patches[size_t(p)].get();
}

bool keymap_add_keys(MapPoint at, const KeyEditSettings &settings) {
    const std::vector<int> selected = selected_surfaces();
    if (selected.empty()) {
        status_warning("Can't add keys, with no objects selected. Please select a model.");
        return false;
    }
    bool added = false, refused = false;
    for (int p : selected) {
        update_channel_maps(p);
        const AddOutcome outcome = add_key(record_of(p), at, settings);
        added |= outcome != kAddNoChannels;
        refused |= outcome == kAddNoChannels;
    }
    if (refused)
        status_warning("Please select which channel keys to add - can't add keys with no channels active");
    return added;
}

void keymap_remove_channels(bool all, int color_type) {
    for (int p : selected_surfaces()) remove_channels(record_of(p), all, color_type);
}

std::vector<int> keymap_apply_channel(int channel, bool on, const KeyEditSettings &settings) {
    std::vector<int> restored;
    for (int p : selected_surfaces()) {
        update_channel_maps(p);
        PatchData &record = record_of(p);
        apply_channel_to_selected(record, channel, on, settings);
        for (const std::string &warning : restore_lost_channels(record, &restored))
            status_warning(warning.c_str());
    }
    return restored;
}

bool keymap_flip(bool in_u) {
    if (!current_record()) {
        status_warning("You must select an object before flipping");
        return false;
    }
    for (int p : selected_surfaces()) {
        PatchData &record = record_of(p);
        flip_keys(record, in_u);
        status_message(kStatusPlain, in_u ? "Object: %s flipped in U" : "Object: %s flipped in V",
                       record.name.c_str());
    }
    return true;
}

bool keymap_tile(bool tile_u, bool tile_v) {
    if (!current_record()) return false;
    for (int p : selected_surfaces()) {
        PatchData &record = record_of(p);
        record.TileU = tile_u ? 1 : 0;
        record.TileV = tile_v ? 1 : 0;
        mark_all_maps_dirty(record);
    }
    return true;
}

void keymap_map_resolution(float slider_value, bool interp, int channel, int t) {
    const int res = map_resolution_from_slider(slider_value);
    for (int p : selected_surfaces()) set_map_resolution(record_of(p), channel, t, res, interp ? 1 : 0);
}

bool keymap_channel_values(int channel, const ChannelValues &values) {
    const DisplaySettings *settings = display_settings();
    const int autokey = settings ? settings->autokey_fcurves : 0;
    bool changed = false;
    for (int p : selected_surfaces())
        changed |= set_channel_values(record_of(p), channel, values, scene_state().current_frame,
                                      autokey);
    if (!changed)
        status_message(kStatusWarning, "No selected texturekeys with active %s keys",
                       slider_channel_name(channel));
    return changed;
}

void keymap_rebuild_selected() {
    bool shadows = false;
    for (int p : selected_surfaces()) {
        grow_fur(p, -1, 1);
        shadows |= record_of(p).casts_shadow != 0;
    }
    if (shadows) quant_patches();
}

bool keymap_copy_object() {
    const PatchData *current = current_record();
    if (!current) {
        status_warning("You must use select an object before copying");
        return false;
    }
    copied_object() = record_settings_copy(*current);
    return true;
}

bool keymap_paste_object() {
    if (!current_record()) {
        status_warning("You must use select an object before pasting");
        return false;
    }
    if (!copied_object()) {
        status_warning("You must use 'copy texture' before pasting");
        return false;
    }
    bool shadows = false;
    for (int p : selected_surfaces()) {
        paste_record_settings(*copied_object(), record_of(p));
        grow_fur(p, -1, 1);
        shadows |= record_of(p).casts_shadow != 0;
    }
    if (shadows) quant_patches();
    return true;
}

void keymap_forget_copied_object() { copied_object().reset(); }

bool keymap_picture_on(int channel, int t, int k, PictureChooser choose) {
    const int p = single_selected_surface();
    if (p < 0) return false;
    PictureChoice choice;
    if (!choose || !choose("Open texture file", choice)) return false;
    switch (attach_channel_picture(record_of(p), channel, t, k, choice)) {
    case kPictureNoFrameNumber:
        status_message(kStatusBox, "Filename does not contain\nany image numbers, please\nselect another file");
        break;
    case kPictureWrongChannels:
        status_warning("Can only use a 3 or 4 channel picture (RGB or RGBA), for diffuse, ambient "
                       "and specular map");
        break;
    default: break;
    }
    return true;
}

bool keymap_picture_off(int channel, int t, int k) {
    const int p = single_selected_surface();
    if (p < 0) return false;
    remove_channel_picture(record_of(p), channel, t, k);
    status_message(kStatusPlain, "%s texture deleted", channel_name(channel, t));
    return true;
}

bool keymap_save_map_picture(int channel, int t, int k, PictureChooser choose) {
    const int p = single_selected_surface();
    if (p < 0) return false;
    PatchData &record = record_of(p);
    if (channel_uses_picture(record, channel, t, k)) {
        status_message(kStatusBox, "Only use save texture, when a picture is not mapped");
        return false;
    }
    PictureChoice choice;
    if (!choose || !choose("Output filename", choice)) return false;
    update_channel_maps(p);
    if (!save_map_as_picture(record, channel, t, k, choice.file_name)) {
        status_message(kStatusError, "Can't write picture %s", choice.file_name.c_str());
        return false;
    }
    status_message(kStatusPlain, "Map saved as %s", choice.file_name.c_str());
    return true;
}

}  // namespace vellimor
