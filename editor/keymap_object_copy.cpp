#include "editor/keymap_object_copy.h"

#include <cmath>

#include "editor/keymap_channels.h"
#include "furdata/record_codec.h"
#include "hair/texture_picture.h"

namespace vellimor {

namespace {

std::unique_ptr<Picture> picture_without_image(const std::unique_ptr<Picture> &from) {
    if (!from) return nullptr;
    auto copy = std::make_unique<Picture>(*from);
    copy->image.reset();
    return copy;
}

}  // namespace

void copy_record_settings(const PatchData &from, PatchData &to) {
    // What belongs to the target surface, not to its fur settings.
    const int is_selected = to.is_selected, deleted = to.deleted, hair_count = to.hair_count;
    decode_patch_data(encode_patch_data(from), false, to);
    to.is_selected = is_selected;
    to.deleted = deleted;
    to.hair_count = hair_count;
    to.shadow_subdivision = from.shadow_subdivision;
    to.shadow_exact = from.shadow_exact;

    to.texture_keys = from.texture_keys;
    for (int t = 0; t < kColorTypes; ++t) {
        to.nbColorKeys[t] = from.nbColorKeys[t];
        for (int k = 0; k < kMaxColorKeys; ++k) {
            MainColorKey &key = to.main_color_keys[t][k];
            key = from.main_color_keys[t][k];
            key.color_map.clear();
            key.picture.image.reset();
            key.map_dirty = 1;
        }
    }
    for (int c = kChannelLength; c <= kChannelDensity; ++c) {
        RecordChannelMap target = record_channel_map(to, c);
        target.picture = picture_without_image(
            record_channel_map(const_cast<PatchData &>(from), c).picture);
    }
    mark_all_maps_dirty(to);
    to.subdivision_dirty = 1;
}

std::unique_ptr<PatchData> record_settings_copy(const PatchData &from) {
    auto copy = patch_new();
    copy_record_settings(from, *copy);
    copy->is_selected = 0;
    return copy;
}

void paste_record_settings(const PatchData &copy, PatchData &target) {
    const int surfacetype = target.surfacetype;
    const float extent_u = std::trunc(target.nbPointsU), extent_v = std::trunc(target.nbPointsV);
    const int original_shading = target.Original_shading_model;
    const int display_shading = target.Display_shading_model;
    copy_record_settings(copy, target);
    target.surfacetype = surfacetype;
    target.nbPointsU = extent_u;
    target.nbPointsV = extent_v;
    target.Original_shading_model = original_shading;
    target.Display_shading_model = display_shading;
    target.reserved_344 = 1;

    for (int t = 0; t < kColorTypes; ++t) {
        for (int k = 0; k < target.nbColorKeys[t] && k < kMaxColorKeys; ++k) {
            MainColorKey &key = target.main_color_keys[t][k];
            if (key.this_key_uses_picture)
                key.seq_cont.picture_was_found = load_texture_picture(&key.picture, key.seq_cont);
        }
    }
    for (int c = kChannelLength; c <= kChannelDensity; ++c) {
        RecordChannelMap m = record_channel_map(target, c);
        if (m.picture) m.sequence.picture_was_found = load_texture_picture(m.picture.get(), m.sequence);
    }
}

}  // namespace vellimor
