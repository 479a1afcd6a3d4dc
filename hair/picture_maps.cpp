#include "hair/picture_maps.h"

#include <bit>
#include <cmath>

#include "furdata/patch_data.h"

namespace vellimor {

namespace {

// Picture values are kept off exact zero where the hair geometry would degenerate.
constexpr float kLengthFloor = 0.001f;
constexpr float kBendFloor = 0.001f;
constexpr float kByteMax = 255.0f;
constexpr int kSignedByteCenter = 127;
constexpr float kSignedByteScale = 127.0f;

// Visits every map cell with the index of the picture byte it takes: the source grid's row r
// lands on map row res - 1 - r, so the picture's top row becomes the last map row.
template <typename Visit>
void for_each_picture_cell(const PicturePlanes &picture, int res, Visit visit) {
    for (int r = 0; r < res; ++r) {
        const int64_t y = int64_t(r) * picture.height / res;
        for (int c = 0; c < res; ++c) {
            const int64_t x = int64_t(c) * picture.width / res;
            visit(size_t(res - 1 - r) * size_t(res) + size_t(c), size_t(x + y * picture.width));
        }
    }
}

bool plane_usable(std::span<const uint8_t> plane, const PicturePlanes &picture) {
    return picture.width > 0 && picture.height > 0 &&
           plane.size() >= size_t(picture.width) * size_t(picture.height);
}

float length_floor(float value) { return value < kLengthFloor ? kLengthFloor : value; }
float bend_floor(float value) { return std::fabs(value) < kBendFloor ? kBendFloor : value; }

}  // namespace

bool fill_value_map_from_picture(const PicturePlanes &picture, int channel, float scale_u,
                                 float scale_v, float *map_a, float *map_b, int res) {
    if (res < 1 || !map_a || !plane_usable(picture.red, picture)) return false;
    const bool two_valued = channel == kChannelGrow || channel == kChannelBend;
    if (two_valued && (!map_b || !plane_usable(picture.green, picture))) return false;

    if (two_valued) {
        const bool floored = channel == kChannelBend;
        for_each_picture_cell(picture, res, [&](size_t cell, size_t i) {
            float u = (picture.red[i] - kSignedByteCenter) * scale_u / kSignedByteScale;
            float v = (picture.green[i] - kSignedByteCenter) * scale_v / kSignedByteScale;
            map_a[cell] = floored ? bend_floor(u) : u;
            map_b[cell] = floored ? bend_floor(v) : v;
        });
        return true;
    }
    const bool floored = channel == kChannelLength;
    for_each_picture_cell(picture, res, [&](size_t cell, size_t i) {
        const float value = picture.red[i] * scale_u / kByteMax;
        map_a[cell] = floored ? length_floor(value) : value;
    });
    return true;
}

bool fill_color_map_from_picture(const PicturePlanes &picture, int t, int picture_channels,
                                 uint8_t alpha, uint32_t *map, int res) {
    if (res < 1 || !map || !plane_usable(picture.red, picture)) return false;
    if (t == kColorThickness) {
        for_each_picture_cell(picture, res, [&](size_t cell, size_t i) {
            map[cell] = std::bit_cast<uint32_t>(picture.red[i] / 255.0f);
        });
        return true;
    }
    if (!plane_usable(picture.green, picture) || !plane_usable(picture.blue, picture)) return false;
    const bool picture_alpha = picture_channels == 4 && plane_usable(picture.alpha, picture);
    for_each_picture_cell(picture, res, [&](size_t cell, size_t i) {
        const uint32_t a = picture_alpha ? picture.alpha[i] : alpha;
        map[cell] = uint32_t(picture.red[i]) << 24 | uint32_t(picture.green[i]) << 16 |
                    uint32_t(picture.blue[i]) << 8 | a;
    });
    return true;
}

}  // namespace vellimor
