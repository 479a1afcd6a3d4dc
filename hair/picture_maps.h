// Channel maps filled from a picture instead of texture keys.
#pragma once

#include <cstdint>
#include <span>

namespace vellimor {

// The byte planes of a loaded picture (width·height bytes each, row 0 at the top, index
// x + y·width); a missing plane is empty.
struct PicturePlanes {
    int width = 0;
    int height = 0;
    std::span<const uint8_t> red, green, blue, alpha;
};

// Fills a res x res value map of channel 1..7 (map_b for the V component of grow and bend) from
// the picture, scaled by the channel's picture scale (scale_v for V). Plane row 0 becomes the
// last map row. Returns false (maps untouched) when the picture lacks a needed plane.
bool fill_value_map_from_picture(const PicturePlanes &picture, int channel, float scale_u,
                                 float scale_v, float *map_a, float *map_b, int res);

// Fills a res x res colour map of colour type t from the picture: thickness as floats (their
// bits), colours as packed bytes with red on top. `alpha` is the constant alpha byte used when
// the picture's alpha is not taken (channel count other than 4).
bool fill_color_map_from_picture(const PicturePlanes &picture, int t, int picture_channels,
                                 uint8_t alpha, uint32_t *map, int res);

}  // namespace vellimor
