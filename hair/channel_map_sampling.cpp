// Reading channel maps: nearest or bilinear lookups at hair coordinates, the editor's cell reads
// and the key counts.
#include <bit>
#include <cstdio>

#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "host/status.h"

namespace vellimor {

namespace {

// Continuous map coordinate of a unit coordinate, kept on the map for hostile input.
float map_coordinate(float unit, int res) {
    const float x = static_cast<float>(res - 1) * unit;
    if (!(x > 0.0f)) return 0.0f;
    return x > static_cast<float>(res - 1) ? static_cast<float>(res - 1) : x;
}

struct CellCorners {
    size_t c00, c01, c10, c11;  // c<column step><row step>
    float fx, fy;
};

CellCorners corners_at(float u, float v, int res, int surfacetype) {
    const float x = map_coordinate(surfacetype == 1 ? 1.0f - u : u, res);
    const float y = map_coordinate(v, res);
    const int x0 = static_cast<int>(x);
    const int y0 = static_cast<int>(y);
    const int x1 = x0 + 1 == res ? x0 : x0 + 1;
    const int y1 = y0 + 1 == res ? y0 : y0 + 1;
    auto at = [res](int col, int row) { return size_t(row) * size_t(res) + size_t(col); };
    return {at(x0, y0),
            at(x0, y1),
            at(x1, y0),
            at(x1, y1),
            x - static_cast<float>(x0),
            y - static_cast<float>(y0)};
}

float bilinear(const CellCorners &k, float m00, float m01, float m10, float m11) {
    return (1 - k.fx) * (1 - k.fy) * m00 + (1 - k.fx) * k.fy * m01 + k.fx * (1 - k.fy) * m10 +
           k.fx * k.fy * m11;
}

bool map_complete(size_t size, int res) { return res > 0 && size >= size_t(res) * size_t(res); }

template <typename Cell, typename Read>
Cell sample(std::span<const Cell> map, float u, float v, int res, int surfacetype, int interp,
            Read read) {
    if (!map_complete(map.size(), res)) return Cell{};
    const CellCorners k = corners_at(u, v, res, surfacetype);
    if (!interp) return map[k.c00];
    return read(k, map[k.c00], map[k.c01], map[k.c10], map[k.c11]);
}

// The editor's lookup: nearest cell at trunc(res·u), trunc(res·v), unmirrored.
size_t editor_cell(float u, float v, int res) {
    auto index = [res](float unit) {
        const float x = static_cast<float>(res) * unit;
        if (!(x > 0.0f)) return 0;
        return x >= static_cast<float>(res - 1) ? res - 1 : static_cast<int>(x);
    };
    return size_t(index(v)) * size_t(res) + size_t(index(u));
}

const MainColorKey *main_key_at(const PatchData &record, int t, int k) {
    if (t < 0 || t >= kColorTypes || k < 0 || k >= kMaxColorKeys) return nullptr;
    const MainColorKey &key = record.main_color_keys[t][k];
    return map_complete(key.color_map.size(), key.map_res) ? &key : nullptr;
}

}  // namespace

float sample_channel_map(std::span<const float> map, float u, float v, int res, int surfacetype,
                         int interp) {
    return sample(map, u, v, res, surfacetype, interp,
                  [](const CellCorners &k, float a, float b, float c, float d) {
                      return bilinear(k, a, b, c, d);
                  });
}

uint32_t sample_color_map(std::span<const uint32_t> map, float u, float v, int res, int surfacetype,
                          int interp) {
    return sample(map, u, v, res, surfacetype, interp,
                  [](const CellCorners &k, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                      uint32_t packed = 0;
                      for (int shift = 0; shift < 32; shift += 8) {
                          auto byte = [shift](uint32_t x) { return float((x >> shift) & 0xFFu); };
                          const float value = bilinear(k, byte(a), byte(b), byte(c), byte(d));
                          const uint32_t truncated = value > 255.0f ? 255u : uint32_t(value);
                          packed |= truncated << shift;
                      }
                      return packed;
                  });
}

float sample_thickness_map(std::span<const uint32_t> map, float u, float v, int res,
                           int surfacetype, int interp) {
    const uint32_t bits =
        sample(map, u, v, res, surfacetype, interp,
               [](const CellCorners &k, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                   auto f = [](uint32_t x) { return std::bit_cast<float>(x); };
                   return std::bit_cast<uint32_t>(bilinear(k, f(a), f(b), f(c), f(d)));
               });
    return std::bit_cast<float>(bits);
}

uint32_t get_color_texture_value(const PatchData &record, int k, int color_mode, float u, float v) {
    if (color_mode == kColorThickness) {
        std::fputs("Error: get_color_texture_value called with ColorMode == d_thickness\n", stderr);
        status_warning("Get_color_texture_value called with ColorMode == d_thickness");
        return 0;
    }
    const MainColorKey *key = main_key_at(record, color_mode, k);
    return key ? key->color_map[editor_cell(u, v, key->map_res)] : 0u;
}

float get_thickness_texture_value(const PatchData &record, int k, float u, float v) {
    const MainColorKey *key = main_key_at(record, kColorThickness, k);
    return key ? std::bit_cast<float>(key->color_map[editor_cell(u, v, key->map_res)]) : 0.0f;
}

int count_texture_keys(const PatchData &record) {
    return static_cast<int>(record.texture_keys.size());
}

int count_active_keys(const PatchData &record, int channel, int t) {
    int count = 0;
    for (const TextureKey &key : record.texture_keys) count += key_paints_channel(key, channel, t);
    return count;
}

}  // namespace vellimor
