#include "render/hair_color.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "furdata/display_settings.h"
#include "hair/channel_maps.h"
#include "hair/shadows.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

// Positions along the hair are kept this far inside root and tip when looking for an interval.
constexpr float kIntervalTipT = 0.999f;
constexpr float kIntervalRootT = 0.001f;
// A freed key slot sits beyond the tip, where no interval search stops.
constexpr float kUnusedKeyWhere = 10.0f;
constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

bool valid_type(int type) { return type >= 0 && type < kColorTypes; }

int key_count(const PatchData &record, int type) {
    return std::clamp(record.nbColorKeys[type], 1, kMaxColorKeys);
}

// Weight of the earlier key at t inside interval k. Two keys at the same place give the earlier
// key's value rather than a division by zero.
float earlier_weight(const PatchData &record, int type, int k, float t) {
    const float end = record.main_color_keys[type][k].where;
    const float start = record.main_color_keys[type][k - 1].where;
    if (end == start) return 1.0f;
    return (end - t) / (end - start);
}

// A key slot reset for a new key at t: no picture loaded, no map yet.
void reset_new_key(MainColorKey &key, float t) {
    key.where = t;
    key.this_key_uses_picture = 0;
    key.picture.image.reset();
    key.map_dirty = 1;
    key.color_map.clear();
    key.map_res = 50;
    key.map_interp = 0;
}

float dot3(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Unit vector from `from` to `to`; zero when the two coincide.
void unit_towards(const float from[3], const float to[3], float out[3]) {
    float d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    const float length = std::sqrt(dot3(d, d));
    const float scale = length > 0.0f ? 1.0f / length : 0.0f;
    for (int k = 0; k < 3; ++k) out[k] = d[k] * scale;
}

float angle_between_units(const float a[3], const float b[3]) {
    return std::acos(std::clamp(dot3(a, b), -1.0f, 1.0f));
}

// Lit part of a light at the root from the angle between the light and the root normal: fully
// lit up to 45 degrees, half at 90, dark from 135.
float root_lit_factor(const HairRoot &root, const LightInfo &light) {
    float d[3];
    unit_towards(root.position, light.position, d);
    const float a = angle_between_units(d, root.normal);
    return std::clamp(1.5f - 2.0f * a / std::numbers::pi_v<float>, 0.0f, 1.0f);
}

void update_light_factors(HairShading &shading, int i, const float p[3]) {
    const PatchData &record = *shading.record;
    const DisplaySettings &settings = *shading.settings;
    const float exposure = settings.light_exposure;
    if (!record.casts_shadow) {
        if (i != 0) return;  // computed at the root, kept along the hair
        for (size_t l = 0; l < shading.lights.size(); ++l) {
            const float lit = settings.shading ? root_lit_factor(*shading.root, shading.lights[l])
                                               : 1.0f;
            shading.shadowed[l] = 1.0f - lit;
            shading.lit[l] = lit * exposure;
        }
        return;
    }
    // The shadow of every light first (the smooth query places the point once for all).
    std::span<float> shadow(shading.shadowed);
    if (record.shadow_exact) {
        for (size_t l = 0; l < shading.lights.size(); ++l)
            shadow[l] = shadow_ray(shading.lights[l].position, p, 0.0f);
    } else {
        shadow_smooth_lights(p, shading.surface, shading.shadow_hint, shadow);
    }
    for (size_t l = 0; l < shading.lights.size(); ++l) {
        shading.shadowed[l] = (1.0f - settings.shadow_umbra_scale) * shadow[l];
        shading.lit[l] = (1.0f - shading.shadowed[l]) * exposure;
    }
}

}  // namespace

int find_color_interval(const PatchData &record, float t, int type) {
    const int count = key_count(record, type);
    if (count == 1) return 0;
    if (t >= 1.0f) t = kIntervalTipT;
    if (t <= 0.0f) t = kIntervalRootT;
    for (int k = 1; k < count; ++k)
        if (record.main_color_keys[type][k].where >= t) return k;
    return count - 1;  // keys that end before the tip: the last interval holds the rest
}

ColorKey color_at_position(const PatchData &record, float t, const ColorKey *entries, int type) {
    const int k = find_color_interval(record, t, type);
    if (k == 0) return entries[0];
    const float f = earlier_weight(record, type, k, t);
    ColorKey c;
    c.R = f * entries[k - 1].R + (1.0f - f) * entries[k].R;
    c.G = f * entries[k - 1].G + (1.0f - f) * entries[k].G;
    c.B = f * entries[k - 1].B + (1.0f - f) * entries[k].B;
    c.A = f * entries[k - 1].A + (1.0f - f) * entries[k].A;
    return c;
}

int add_main_color_key(PatchData &record, float t, int type) {
    if (!valid_type(type)) return -1;
    if (record.nbColorKeys[type] >= kMaxColorKeys) {
        status_message(kStatusBox, "Maximum number of colorkeys is\n%d\n", kMaxColorKeys);
        return -1;
    }
    if (!(t >= 0.0f)) t = 0.0f;  // keys stay on the hair, in order
    if (t > 1.0f) t = 1.0f;
    int index;
    if (record.nbColorKeys[type] <= 1) {
        t = 1.0f;
        index = 1;
    } else {
        index = std::max(1, find_color_interval(record, t, type));
    }
    for (TextureKey &key : record.texture_keys) {
        if (!key.color_active[type]) continue;
        ColorKey *entries = key.color_keys[type];
        ColorKey c = color_at_position(record, t, entries, type);
        c.fcurve_id = 0;
        std::copy_backward(entries + index, entries + kMaxColorKeys - 1, entries + kMaxColorKeys);
        entries[index] = c;
    }
    MainColorKey *keys = record.main_color_keys[type];
    std::move_backward(keys + index, keys + kMaxColorKeys - 1, keys + kMaxColorKeys);
    keys[index] = keys[index + 1];  // keeps the key's other settings, as a shifted copy would
    reset_new_key(keys[index], t);
    record.nbColorKeys[type] = std::max(record.nbColorKeys[type], 1) + 1;
    return index;
}

bool delete_main_color_key(PatchData &record, int k, int type) {
    if (!valid_type(type)) return false;
    const int count = record.nbColorKeys[type];
    if (count < 2 || k <= 0 || k >= count) return false;
    if (k == count - 1 && count > 2) return false;
    MainColorKey *keys = record.main_color_keys[type];
    std::move(keys + k + 1, keys + kMaxColorKeys, keys + k);
    keys[kMaxColorKeys - 1] = MainColorKey{};
    record.nbColorKeys[type] = count - 1;
    keys[count - 1].where = kUnusedKeyWhere;
    keys[kMaxColorKeys - 1].where = kUnusedKeyWhere;
    for (TextureKey &key : record.texture_keys) {
        if (!key.color_active[type]) continue;
        ColorKey *entries = key.color_keys[type];
        std::copy(entries + k + 1, entries + kMaxColorKeys, entries + k);
    }
    return true;
}

void sample_hair_key_values(const PatchData &record, float u, float v, HairKeyValues &out) {
    for (int type = 0; type < kColorTypes; ++type) {
        const int count = key_count(record, type);
        for (int k = 0; k < count; ++k) {
            const MainColorKey &key = record.main_color_keys[type][k];
            float *value = out.value[type][k];
            if (type == kColorThickness) {
                value[0] = sample_thickness_map(key.color_map, u, v, key.map_res,
                                                record.surfacetype, key.map_interp);
                value[1] = value[2] = value[3] = 0.0f;
                continue;
            }
            const uint32_t packed = sample_color_map(key.color_map, u, v, key.map_res,
                                                     record.surfacetype, key.map_interp);
            value[0] = float((packed >> 24) & 0xFFu);
            value[1] = float((packed >> 16) & 0xFFu);
            value[2] = float((packed >> 8) & 0xFFu);
            value[3] = float(packed & 0xFFu);
        }
    }
}

namespace {

// One type's value at t from the hair's key values (byte scale for colours).
void value_along_hair(const PatchData &record, const HairKeyValues &values, int type, float t,
                      float out[4]) {
    const int k = find_color_interval(record, t, type);
    const float *later = values.value[type][k];
    if (k == 0) {
        std::copy(later, later + 4, out);
        return;
    }
    const float *earlier = values.value[type][k - 1];
    const float f = earlier_weight(record, type, k, t);
    for (int c = 0; c < 4; ++c) out[c] = f * earlier[c] + (1.0f - f) * later[c];
}

}  // namespace

void colors_along_hair(const PatchData &record, const HairKeyValues &values, float t,
                       HairPointColors &out) {
    constexpr float kByteScale = 1.0f / 255.0f;
    float v[4];
    value_along_hair(record, values, kColorDiffuse, t, v);
    for (int c = 0; c < 4; ++c) out.diffuse[c] = v[c] * kByteScale;
    value_along_hair(record, values, kColorAmbient, t, v);
    for (int c = 0; c < 3; ++c) out.ambient[c] = v[c] * kByteScale;
    value_along_hair(record, values, kColorSpecular, t, v);
    for (int c = 0; c < 3; ++c) out.specular[c] = v[c] * kByteScale;
    value_along_hair(record, values, kColorThickness, t, v);
    out.thickness = v[0];
}

void apply_wind_color(const PatchData &record, float w, float diffuse[4]) {
    const float active = float(record.wind_color.active);
    diffuse[0] += w * record.wind_color.R * active;
    diffuse[1] += w * record.wind_color.G * active;
    diffuse[2] += w * record.wind_color.B * active;
}

void HairShading::begin_surface(const PatchData &r, const DisplaySettings &s,
                                std::span<const LightInfo> l, int surface_index) {
    record = &r;
    settings = &s;
    lights = l;
    surface = surface_index;
    lit.assign(l.size(), 0.0f);
    shadowed.assign(l.size(), 0.0f);
    shadow_hint = HairShadowHint{};
}

void HairShading::begin_hair(const HairRoot &hair_root) {
    root = &hair_root;
    shadow_hint = HairShadowHint{shadow_smooth_hint(surface, hair_root.u, hair_root.v)};
}

void shade_hair_point(HairShading &shading, int i, const float p[3], const float direction[3],
                      float base[4], const float ambient[3], const float specular[3],
                      float out[4]) {
    const DisplaySettings &settings = *shading.settings;
    const bool plain_sum = !settings.shading && !shading.record->casts_shadow;
    update_light_factors(shading, i, p);
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (size_t l = 0; l < shading.lights.size(); ++l) {
        const LightInfo &light = shading.lights[l];
        const float lit = shading.lit[l];
        if (settings.hilights) {
            float d[3];
            unit_towards(p, light.position, d);
            const float a = std::min(
                std::fabs((angle_between_units(d, direction) - kHalfPi) * settings.hilight_size),
                kHalfPi);
            const float c = std::cos(a);
            if (c > 0.0f) {
                const float g = c * settings.hilight_intensity * lit;
                for (int k = 0; k < 3; ++k) base[k] += g * specular[k];
                base[3] += g / 2.0f;
            }
        }
        for (int k = 0; k < 3; ++k) {
            if (plain_sum)
                sum[k] += base[k] * light.color[k] * settings.light_exposure;
            else
                sum[k] += (lit * light.color[k] +
                           shading.shadowed[l] * light.shadow_color[k] * ambient[k]) *
                          base[k];
        }
    }
    out[0] = sum[0];
    out[1] = sum[1];
    out[2] = sum[2];
    out[3] = base[3];
}

uint8_t color_component_byte(float component) {
    if (!(component > 0.0f)) return 0;
    if (component >= 1.0f) return 255;
    return static_cast<uint8_t>(component * 255.0f);
}

}  // namespace vellimor
