#include "editor/keymap_keys.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "fcurve/fcurve_autokey.h"
#include "hair/channel_maps.h"

namespace vellimor {

namespace {

// Letters of the key labels, in label order: colour types d, s, a, t, then the value channels.
struct LabelLetter {
    char letter;
    int channel;
    int color_type;
};
constexpr LabelLetter kLabelLetters[] = {
    {'d', kChannelColor, kColorDiffuse},   {'s', kChannelColor, kColorSpecular},
    {'a', kChannelColor, kColorAmbient},   {'t', kChannelColor, kColorThickness},
    {'L', kChannelLength, 0},  {'W', kChannelCurl, 0},     {'D', kChannelGrow, 0},
    {'B', kChannelBend, 0},    {'G', kChannelGravity, 0},  {'S', kChannelSegments, 0},
    {'E', kChannelDensity, 0},
};

// The order in which channels lost by every key are given back to the first key.
constexpr int kRestoreOrder[] = {kChannelLength, kChannelDensity, kChannelSegments, kChannelBend,
                                 kChannelGrow,   kChannelCurl,    kChannelGravity};

bool channel_in_view(int channel, const ChannelView &view) {
    return channel == view.current_channel || (view.show_channel && view.show_channel[channel]);
}

bool key_carries_any_color(const TextureKey &key) {
    for (int t = 0; t < kColorTypes; ++t)
        if (key.color_active[t]) return true;
    return false;
}

float clamp01(float x) { return std::clamp(x, 0.0f, 1.0f); }

// The random amount a channel takes from the sliders: bend shares direction's.
float slider_random(const KeyEditSettings &settings, int channel) {
    return settings.random[channel == kChannelBend ? kChannelGrow : channel];
}

// The map value at a key position, read where the key sits (unmirrored).
float map_value(const std::vector<float> &map, MapPoint at, int res, int interp) {
    return sample_channel_map(map, at.u, at.v, res, 0, interp);
}

// The channel's values from its map(s) at `at`.
void take_map_values(PatchData &record, TextureKey &key, int channel, MapPoint at) {
    RecordChannelMap m = record_channel_map(record, channel);
    KeyChannel k = key_channel_fields(key, channel);
    k.value = map_value(m.map_a, at, m.res, m.interp);
    if (k.value_v && m.map_b) *k.value_v = map_value(*m.map_b, at, m.res, m.interp);
}

// Every colour key of type t of the key takes the colour its main colour key's map has at `at`.
void take_map_colors(PatchData &record, TextureKey &key, int t, MapPoint at) {
    for (int k = 0; k < record.nbColorKeys[t] && k < kMaxColorKeys; ++k) {
        ColorKey &c = key.color_keys[t][k];
        if (t == kColorThickness) {
            c.R = get_thickness_texture_value(record, k, at.u, at.v);
            c.G = c.B = c.A = 0.0f;
            continue;
        }
        const uint32_t packed = get_color_texture_value(record, k, t, at.u, at.v);
        c.R = float((packed >> 24) & 0xFFu) / 255.0f;
        c.G = float((packed >> 16) & 0xFFu) / 255.0f;
        c.B = float((packed >> 8) & 0xFFu) / 255.0f;
        c.A = float(packed & 0xFFu) / 255.0f;
    }
    mark_channel_dirty(record, kChannelColor, t);
}

// Unlinks the keys that carry nothing (only selected ones when `selected_only`); the list never
// becomes empty, since a record without keys has nothing to give its channels back to.
void remove_empty_keys(PatchData &record, bool selected_only) {
    auto &keys = record.texture_keys;
    for (auto it = keys.begin(); it != keys.end();) {
        const bool removable = !key_carries_anything(*it) && (!selected_only || it->selected);
        if (removable && keys.size() > 1) {
            it = keys.erase(it);
        } else {
            ++it;
        }
    }
}

// A zeroed key: no channel, no colour, no shape.
TextureKey zeroed_key() {
    TextureKey key;
    key.selected = 1;
    key.visible = 0;
    key.key_mode = kShapePoint;
    key.w = key.h = key.ang = 0.0f;
    for (int t = 0; t < kColorTypes; ++t) {
        key.color_active[t] = 0;
        for (ColorKey &c : key.color_keys[t]) c = ColorKey{};
    }
    key.length = key.curl = key.segments = key.gravity = key.density = RandomValueGroup{};
    key.grow = key.bend = RandomUVGroup{};
    return key;
}

}  // namespace

bool key_shown(const TextureKey &key, const ChannelView &view) {
    if (key_carries_any_color(key) && channel_in_view(kChannelColor, view)) return true;
    for (int c = kChannelLength; c <= kChannelDensity; ++c)
        if (key_carries(key, c, 0) && channel_in_view(c, view)) return true;
    return false;
}

void update_key_visibility(PatchData &record, const ChannelView &view) {
    for (TextureKey &key : record.texture_keys) key.visible = key_shown(key, view) ? 1 : 0;
}

std::string key_label(const TextureKey &key, int position, const ChannelView &view) {
    std::string label = std::to_string(position) + "-";
    for (const LabelLetter &l : kLabelLetters)
        if (channel_in_view(l.channel, view) && key_carries(key, l.channel, l.color_type))
            label += l.letter;
    return label;
}

TextureKey *pick_key(PatchData &record, MapPoint at, float radius, int mode) {
    for (TextureKey &key : record.texture_keys) {
        if (!key.visible) continue;
        if (std::fabs(key.u - at.u) < radius && std::fabs(key.v - at.v) < radius) {
            if (mode == kPickSelect) key.selected = 1;
            if (mode == kPickUnselect) key.selected = 0;
            if (mode == kPickToggle) key.selected = !key.selected;
            return &key;
        }
    }
    return nullptr;
}

void box_select(PatchData &record, MapPoint a, MapPoint b, int mode) {
    const float u0 = std::min(a.u, b.u), u1 = std::max(a.u, b.u);
    const float v0 = std::min(a.v, b.v), v1 = std::max(a.v, b.v);
    for (TextureKey &key : record.texture_keys) {
        if (!key.visible || key.u < u0 || key.u > u1 || key.v < v0 || key.v > v1) continue;
        if (mode == kPickSelect) key.selected = 1;
        if (mode == kPickUnselect) key.selected = 0;
        if (mode == kPickToggle) key.selected = !key.selected;
    }
}

void unselect_all(PatchData &record) {
    for (TextureKey &key : record.texture_keys) key.selected = 0;
}

TextureKey *first_selected_key(PatchData &record) {
    for (TextureKey &key : record.texture_keys)
        if (key.selected) return &key;
    return nullptr;
}

MapPoint clamp_to_map(MapPoint p) { return {clamp01(p.u), clamp01(p.v)}; }

bool move_selected_keys(PatchData &record, MapPoint to) {
    to = clamp_to_map(to);
    bool moved = false;
    for (TextureKey &key : record.texture_keys) {
        if (!key.selected) continue;
        key.u = to.u;
        key.v = to.v;
        mark_key_channels_dirty(record, key);
        moved = true;
    }
    return moved;
}

void mark_selected_keys_dirty(PatchData &record) {
    for (const TextureKey &key : record.texture_keys)
        if (key.selected) mark_key_channels_dirty(record, key);
}

void drag_key_shapes(PatchData &record, MapPoint pointer, bool direction) {
    for (TextureKey &key : record.texture_keys) {
        if (!key.selected) continue;
        const float du = pointer.u - key.u, dv = pointer.v - key.v;
        switch (key.key_mode) {
        case kShapeCircle: key.w = std::sqrt(du * du + dv * dv); break;
        case kShapeBox: key.w = std::fabs(du); key.h = std::fabs(dv); break;
        case kShapeDirected:
            if (direction) {
                const float length = std::sqrt(du * du + dv * dv);
                if (length > 0.0f) {
                    const float a = std::acos(std::clamp(du / length, -1.0f, 1.0f));
                    key.ang = dv < 0.0f ? -a : a;
                }
            } else {
                key.w = std::fabs(du);
                key.h = std::fabs(dv);
            }
            break;
        default: continue;
        }
        mark_key_channels_dirty(record, key);
    }
}

MapPoint key_handle(const TextureKey &key, bool direction) {
    switch (key.key_mode) {
    case kShapeCircle: return {key.u + key.w, key.v};
    case kShapeBox: return {key.u + key.w, key.v + key.h};
    case kShapeDirected:
        if (direction)
            return {key.u + 0.2f * std::cos(key.ang), key.v + 0.2f * std::sin(key.ang)};
        return {key.u + key.w, key.v + key.h};
    default: return {key.u, key.v};
    }
}

AddOutcome add_key(PatchData &record, MapPoint at, const KeyEditSettings &settings) {
    unselect_all(record);
    if (!record.texture_keys.empty() && record.texture_keys.front().u < 0.0f) {
        TextureKey &first = record.texture_keys.front();
        first.u = at.u;
        first.v = at.v;
        first.visible = 0;
        for (int t = 0; t < kColorTypes; ++t) first.color_active[t] = 1;
        for (int c = kChannelLength; c <= kChannelDensity; ++c)
            key_channel_fields(first, c).active = 1;
        first.selected = 1;
        mark_all_maps_dirty(record);
        return kAddPlacedFirstKey;
    }
    if (std::none_of(std::begin(settings.add), std::end(settings.add), [](bool a) { return a; }))
        return kAddNoChannels;

    TextureKey key = zeroed_key();
    key.u = at.u;
    key.v = at.v;
    if (settings.add[kChannelColor]) {
        const int t = settings.color_type;
        key.color_active[t] = 1;
        take_map_colors(record, key, t, at);
    }
    for (int c = kChannelLength; c <= kChannelDensity; ++c) {
        if (!settings.add[c]) continue;
        KeyChannel fields = key_channel_fields(key, c);
        fields.active = 1;
        take_map_values(record, key, c, at);
        fields.random = slider_random(settings, c);
        RecordChannelMap m = record_channel_map(record, c);
        if (c != kChannelSegments || !m.picture_active) m.dirty = 1;
    }
    record.texture_keys.push_back(key);
    return kAddNewKey;
}

void remove_channels(PatchData &record, bool all, int color_type) {
    int colors[kColorTypes] = {};
    int channels[kChannelCount] = {};
    for (int t = 0; t < kColorTypes; ++t) colors[t] = count_active_keys(record, kChannelColor, t);
    for (int c = kChannelLength; c <= kChannelDensity; ++c)
        channels[c] = count_active_keys(record, c, 0);

    for (TextureKey &key : record.texture_keys) {
        if (!key.selected) continue;
        for (int t = 0; t < kColorTypes; ++t) {
            if ((!all && t != color_type) || !key.color_active[t] || colors[t] <= 1) continue;
            key.color_active[t] = 0;
            --colors[t];
            mark_channel_dirty(record, kChannelColor, t);
        }
        if (!all) continue;
        for (int c = kChannelLength; c <= kChannelDensity; ++c) {
            KeyChannel fields = key_channel_fields(key, c);
            if (!fields.active || channels[c] <= 1) continue;
            fields.active = 0;
            --channels[c];
            mark_channel_dirty(record, c, 0);
        }
    }
    remove_empty_keys(record, false);
}

void apply_channel_to_selected(PatchData &record, int channel, bool on,
                               const KeyEditSettings &settings) {
    for (TextureKey &key : record.texture_keys) {
        if (!key.selected) continue;
        const MapPoint at{key.u, key.v};
        if (channel == kChannelColor) {
            const int t = settings.color_type;
            key.color_active[t] = on ? 1 : 0;
            if (on) take_map_colors(record, key, t, at);
            mark_channel_dirty(record, kChannelColor, t);
            continue;
        }
        KeyChannel fields = key_channel_fields(key, channel);
        fields.active = on ? 1 : 0;
        if (on) {
            take_map_values(record, key, channel, at);
            fields.random = channel_two_valued(channel) ? 0.0f : slider_random(settings, channel);
        }
        mark_channel_dirty(record, channel, 0);
    }
    remove_empty_keys(record, true);
}

std::vector<std::string> restore_lost_channels(PatchData &record, std::vector<int> *restored) {
    std::vector<std::string> warnings;
    if (record.texture_keys.empty()) return warnings;
    TextureKey &first = record.texture_keys.front();
    const TextureKey defaults = texture_key_new();
    for (int c : kRestoreOrder) {
        if (count_active_keys(record, c, 0) > 0) continue;
        KeyChannel fields = key_channel_fields(first, c);
        KeyChannel d = key_channel_fields(const_cast<TextureKey &>(defaults), c);
        fields.active = 1;
        fields.value = d.value;
        if (fields.value_v) *fields.value_v = *d.value_v;
        fields.random = d.random;
        mark_channel_dirty(record, c, 0);
        const char *name = kChannelColumn[channel_row(c)].warning_name;
        warnings.push_back(std::string("All ") + name + " keys deleted, default " + name +
                           " key added to key zero");
        if (restored) restored->push_back(c);
    }
    for (int t = 0; t < kColorTypes; ++t) {
        if (count_active_keys(record, kChannelColor, t) > 0) continue;
        first.color_active[t] = 1;
        color_keys_default(first, t);
        main_color_keys_default(record, t);
        warnings.push_back("All color keys deleted, default color key added to key zero");
        if (restored) restored->push_back(kChannelColor);
    }
    return warnings;
}

void flip_keys(PatchData &record, bool in_u) {
    constexpr float kPi = std::numbers::pi_v<float>;
    for (TextureKey &key : record.texture_keys) {
        if (in_u) {
            key.u = 1.0f - key.u;
            key.grow.valueU = -key.grow.valueU;
            key.bend.valueU = -key.bend.valueU;
            key.ang = kPi - key.ang;  // a directed key keeps pointing the mirrored way
        } else {
            key.v = 1.0f - key.v;
            key.grow.valueV = -key.grow.valueV;
            key.bend.valueV = -key.bend.valueV;
            key.ang = -key.ang;
        }
    }
    mark_all_maps_dirty(record);
}

void set_map_resolution(PatchData &record, int channel, int t, int res, int interp) {
    if (channel == kChannelColor) {
        if (t < 0 || t >= kColorTypes) return;
        for (int k = 0; k < record.nbColorKeys[t] && k < kMaxColorKeys; ++k) {
            MainColorKey &key = record.main_color_keys[t][k];
            key.map_res = res;
            key.map_interp = static_cast<short>(interp);
            key.map_dirty = 1;
        }
        return;
    }
    RecordChannelMap m = record_channel_map(record, channel);
    m.res = res;
    m.interp = interp;
    m.dirty = 1;
}

int map_resolution_from_slider(float value) {
    if (!(value >= 1.0f)) return 1;
    return value > 1.0e6f ? 1000000 : static_cast<int>(value);
}

bool set_channel_values(PatchData &record, int channel, const ChannelValues &values, int frame,
                        int autokey_on) {
    if (channel < kChannelLength || channel > kChannelDensity) return false;
    RecordChannelMap m = record_channel_map(record, channel);
    if (m.picture_active) {
        if (!values.value && !values.value_v) return false;
        if (values.value) m.scale = *values.value;
        if (values.value_v && m.scale_v) *m.scale_v = *values.value_v;
        m.dirty = 1;
        return true;
    }
    const bool only_one = count_active_keys(record, channel, 0) == 1;
    bool changed = false;
    for (TextureKey &key : record.texture_keys) {
        KeyChannel fields = key_channel_fields(key, channel);
        if (!fields.active || !(key.selected || only_one)) continue;
        if (values.value) fields.value = *values.value;
        if (values.value_v && fields.value_v) *fields.value_v = *values.value_v;
        if (values.random) fields.random = *values.random;
        changed = true;
        if (fields.fcurve_id == 0) continue;
        if (fields.value_v) {
            const float group[3] = {fields.value, *fields.value_v, fields.random};
            fcurve_autokey(fields.fcurve_id, frame, group, autokey_on);
        } else {
            const float group[2] = {fields.value, fields.random};
            fcurve_autokey(fields.fcurve_id, frame, group, autokey_on);
        }
    }
    if (changed) m.dirty = 1;
    return changed;
}

ChannelSliders channel_sliders(PatchData &record, int channel) {
    ChannelSliders out;
    if (channel < kChannelLength || channel > kChannelDensity) return out;
    RecordChannelMap m = record_channel_map(record, channel);
    if (m.picture_active) {
        out.found = out.from_picture = true;
        out.value = m.scale;
        out.value_v = m.scale_v ? *m.scale_v : 0.0f;
        return out;
    }
    for (TextureKey &key : record.texture_keys) {
        KeyChannel fields = key_channel_fields(key, channel);
        if (!key.selected || !fields.active) continue;
        out.found = true;
        out.value = fields.value;
        out.value_v = fields.value_v ? *fields.value_v : 0.0f;
        out.random = fields.random;
        break;
    }
    return out;
}

}  // namespace vellimor
