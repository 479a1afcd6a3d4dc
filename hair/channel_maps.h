// Channel maps: every per-hair parameter painted as texture keys over a surface's (u,v) square is
// turned into a res x res raster (inverse-distance weighting with a per-cell random variation, or
// a picture), kept up to date with the animation, and read back by the sampling operations.
#pragma once

#include <cstdint>
#include <span>

namespace vellimor {

struct PatchData;
struct TextureKey;

// The length channel with its randomness ignored (the shadow model's pass).
constexpr int kChannelLengthPlain = 10;

// A map cell's value where no texture key carries the channel (the weights then sum to zero):
// the value a new texture key gives the channel, so such a surface grows like one default key
// and nothing downstream divides by a zero segment count.
float channel_value_without_keys(int channel, bool second_component);

// Brings every map of surface p (index in the scene's surface table) up to date for the current
// frame: animated record parameters and keys, colour maps, then value maps.
void update_channel_maps(int p);
// The record's animated parameters and keys at the frame (function curves), marking the maps of
// changed keys dirty; the first step of update_channel_maps.
void animate_record(PatchData &r, int frame);

// Fills map_a (and map_b for grow and bend) from the texture keys for channel 1..7 or 10. Each
// map holds res·res floats. Draws from the process-wide 15-bit generator, which the caller seeds.
void build_value_map(const PatchData &record, float *map_a, float *map_b, int res, int channel);

// Rebuilds the colour map of main colour key k of colour type t from the texture keys and clears
// its dirty flag.
void build_color_map(PatchData &record, int k, int t);

// Squared distance from (u,v) to the key's area (point, circle, box or rotated box), plus 0.0001.
float key_distance2(float u, float v, const TextureKey &key);

// Reads a value map at hair coordinates (u,v) in 0..1: nearest cell, or bilinear when interp is
// set. Patch surfaces (surfacetype 1) read their maps mirrored in u. A map smaller than res·res
// (not built) reads as 0.
float sample_channel_map(std::span<const float> map, float u, float v, int res, int surfacetype,
                         int interp);
// The same on a packed colour map (red in the top byte); bilinear works byte by byte.
uint32_t sample_color_map(std::span<const uint32_t> map, float u, float v, int res,
                          int surfacetype, int interp);
// The same on a thickness map (one float per cell, stored as its bits).
float sample_thickness_map(std::span<const uint32_t> map, float u, float v, int res,
                           int surfacetype, int interp);

// For the editor: the packed colour of main colour key k of colour type `color_mode` at (u,v),
// nearest cell, unmirrored. Thickness is not a colour: reports it and returns 0.
uint32_t get_color_texture_value(const PatchData &record, int k, int color_mode, float u, float v);
// The thickness map's float of main colour key k at (u,v).
float get_thickness_texture_value(const PatchData &record, int k, float u, float v);

// Whether the key paints the channel (1..7 or 10; for channel 0 colour type t).
bool key_paints_channel(const TextureKey &key, int channel, int t);

int count_texture_keys(const PatchData &record);
// Keys whose flag for the channel is set; for channel 0 the flag is color_active[t].
int count_active_keys(const PatchData &record, int channel, int t);

}  // namespace vellimor
