#include "editor/keymap_channels.h"

namespace vellimor {

int channel_row(int channel) {
    for (int row = 0; row < kChannelCount; ++row)
        if (kChannelColumn[row].channel == channel) return row;
    return 0;
}

bool channel_two_valued(int channel) { return channel == kChannelGrow || channel == kChannelBend; }

KeyChannel key_channel_fields(TextureKey &key, int channel) {
    auto one = [](RandomValueGroup &g) {
        return KeyChannel{g.active, g.value, nullptr, g.random, g.fcurve_id};
    };
    auto two = [](RandomUVGroup &g) {
        return KeyChannel{g.active, g.valueU, &g.valueV, g.random, g.fcurve_id};
    };
    switch (channel) {
    case kChannelCurl: return one(key.curl);
    case kChannelGrow: return two(key.grow);
    case kChannelSegments: return one(key.segments);
    case kChannelGravity: return one(key.gravity);
    case kChannelBend: return two(key.bend);
    case kChannelDensity: return one(key.density);
    case kChannelLength:
    default: return one(key.length);
    }
}

bool key_carries(const TextureKey &key, int channel, int t) {
    if (channel == kChannelColor) return t >= 0 && t < kColorTypes && key.color_active[t] != 0;
    if (channel < kChannelLength || channel > kChannelDensity) return false;
    return key_channel_fields(const_cast<TextureKey &>(key), channel).active != 0;
}

bool key_carries_anything(const TextureKey &key) {
    for (int t = 0; t < kColorTypes; ++t)
        if (key.color_active[t]) return true;
    for (int c = kChannelLength; c <= kChannelDensity; ++c)
        if (key_carries(key, c, 0)) return true;
    return false;
}

RecordChannelMap record_channel_map(PatchData &r, int channel) {
    auto one = [](std::vector<float> &map, int &res, int &interp, int &dirty, PictureSequence &seq,
                  ValueGroup &scale, std::unique_ptr<Picture> &picture) {
        return RecordChannelMap{map,   nullptr,      res,     interp,  dirty,           seq,
                                scale.active, scale.value, nullptr, scale.fcurve_id, picture};
    };
    auto two = [](std::vector<float> &map_u, std::vector<float> &map_v, int &res, int &interp,
                  int &dirty, PictureSequence &seq, UVGroup &scale,
                  std::unique_ptr<Picture> &picture) {
        return RecordChannelMap{map_u,        &map_v,       res,           interp,
                                dirty,        seq,          scale.active,  scale.valueU,
                                &scale.valueV, scale.fcurve_id, picture};
    };
    switch (channel) {
    case kChannelCurl:
        return one(r.curl_map, r.curl_map_res, r.curl_map_interp, r.curl_map_dirty,
                   r.curl_sequence, r.curl_picture_scale, r.curl_picture);
    case kChannelGrow:
        return two(r.grow_map_u, r.grow_map_v, r.grow_map_res, r.grow_map_interp,
                   r.grow_map_dirty, r.grow_sequence, r.grow_picture_scale, r.grow_picture);
    case kChannelSegments:
        return one(r.segments_map, r.segments_map_res, r.segments_map_interp,
                   r.segments_map_dirty, r.segments_sequence, r.segments_picture_scale,
                   r.segments_picture);
    case kChannelGravity:
        return one(r.gravity_map, r.gravity_map_res, r.gravity_map_interp, r.gravity_map_dirty,
                   r.gravity_sequence, r.gravity_picture_scale, r.gravity_picture);
    case kChannelBend:
        return two(r.bend_map_u, r.bend_map_v, r.bend_map_res, r.bend_map_interp,
                   r.bend_map_dirty, r.bend_sequence, r.bend_picture_scale, r.bend_picture);
    case kChannelDensity:
        return one(r.density_map, r.density_map_res, r.density_map_interp, r.density_map_dirty,
                   r.density_sequence, r.density_picture_scale, r.density_picture);
    case kChannelLength:
    default:
        return one(r.length_map, r.length_map_res, r.length_map_interp, r.length_map_dirty,
                   r.length_sequence, r.length_picture_scale, r.length_picture);
    }
}

void mark_channel_dirty(PatchData &record, int channel, int t) {
    if (channel == kChannelColor) {
        if (t < 0 || t >= kColorTypes) return;
        for (MainColorKey &key : record.main_color_keys[t]) key.map_dirty = 1;
        return;
    }
    if (channel < kChannelLength || channel > kChannelDensity) return;
    record_channel_map(record, channel).dirty = 1;
}

void mark_all_maps_dirty(PatchData &record) {
    for (int t = 0; t < kColorTypes; ++t) mark_channel_dirty(record, kChannelColor, t);
    for (int c = kChannelLength; c <= kChannelDensity; ++c) mark_channel_dirty(record, c, 0);
}

void mark_key_channels_dirty(PatchData &record, const TextureKey &key) {
    for (int t = 0; t < kColorTypes; ++t)
        if (key.color_active[t]) mark_channel_dirty(record, kChannelColor, t);
    for (int c = kChannelLength; c <= kChannelDensity; ++c)
        if (key_carries(key, c, 0)) mark_channel_dirty(record, c, 0);
}

}  // namespace vellimor
