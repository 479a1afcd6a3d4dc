// Colour along the hair: the main colour keys of the four colour types (diffuse, ambient,
// specular, thickness) with their editing rules, the values of one hair's keys interpolated from
// root to tip, the wind colour and the shading of every hair point by the scene's lights, with
// fur shadows and hilights.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "furdata/patch_data.h"
#include "hair/shadows.h"

namespace vellimor {

struct DisplaySettings;
struct LightInfo;

// Index k of the key that ends the interval holding position t: 0 when the type has one key;
// otherwise t is kept just inside the hair and k is the first key from 1 on at or beyond it.
int find_color_interval(const PatchData &record, float t, int type);

// The colour of one texture key's entries (color_keys[type]) at position t along the hair.
ColorKey color_at_position(const PatchData &record, float t, const ColorKey *entries, int type);

// Adds a main colour key at t: a type with one key gets its second key at the tip. Every texture
// key that paints the type gets the colour it already had at t, so the ramp looks the same.
// Returns the new key's index, or -1 when the type is full (reported in a message box).
int add_main_color_key(PatchData &record, float t, int type);

// Deletes main colour key k unless it is the first key, the only key, or the last of three or
// more (the ends of a ramp stay at root and tip). Returns whether a key was deleted.
bool delete_main_color_key(PatchData &record, int k, int type);

// The values of every main colour key of one hair, read once at the hair's root from the keys'
// maps: colour types as their four bytes (R, G, B, A, each 0..255), thickness as R.
struct HairKeyValues {
    float value[kColorTypes][kMaxColorKeys][4];
};
void sample_hair_key_values(const PatchData &record, float u, float v, HairKeyValues &out);

// The four quantities at one point of a hair, before the lights.
struct HairPointColors {
    float diffuse[4];  // 0..1 per component (wind colour may push it outside)
    float ambient[3];
    float specular[3];
    float thickness;
};
// Interpolates the hair's key values at t = i / n (root 0, tip 1).
void colors_along_hair(const PatchData &record, const HairKeyValues &values, float t,
                       HairPointColors &out);
// Adds the wind colour for the hair's wind value w to the diffuse R, G, B.
void apply_wind_color(const PatchData &record, float w, float diffuse[4]);

// Shading state of one hair: which lights, and the lit and shadowed factor of every light, which
// persist from point to point of the hair.
struct HairShading {
    const PatchData *record = nullptr;
    const DisplaySettings *settings = nullptr;
    std::span<const LightInfo> lights;
    int surface = 0;            // index of the surface in the scene's surface table
    const HairRoot *root = nullptr;
    std::vector<float> lit;       // one per light
    std::vector<float> shadowed;  // one per light
    HairShadowHint shadow_hint;  // carried between the smooth shadow queries of one hair

    // Prepares for a new surface (sizes the factors to the light count).
    void begin_surface(const PatchData &r, const DisplaySettings &s,
                       std::span<const LightInfo> l, int surface_index);
    // Prepares for the hair growing from `hair_root`: its shading depends on that hair alone,
    // whichever hairs were shaded before it.
    void begin_hair(const HairRoot &hair_root);
};

// Lit colour of point i at p. `direction` is the unit hair direction at the point (the root
// normal at i = 0). base is the point's diffuse colour after wind; hilights raise it in place.
void shade_hair_point(HairShading &shading, int i, const float p[3], const float direction[3],
                      float base[4], const float ambient[3], const float specular[3],
                      float out[4]);

// A colour component as a byte: clamped to 0..1 first, so bright sums saturate instead of
// wrapping around.
uint8_t color_component_byte(float component);

}  // namespace vellimor
