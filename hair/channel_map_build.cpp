// Building channel maps from texture keys: inverse-distance weighting of every key (and of its
// tiled copies) at every cell, with a per-entry random spread for value channels.
#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/random_generators.h"

namespace vellimor {

namespace {

// Added to every squared key distance: a cell on a key gets weight 10000, never infinity.
constexpr float kDistanceBias = 0.0001f;
constexpr float kByteMax = 255.0f;

// The per-channel fields of one texture key.
struct KeyChannelValues {
    int active = 0;
    float value_u = 0.0f;
    float value_v = 0.0f;
    float random = 0.0f;
};

KeyChannelValues key_channel(const TextureKey &key, int channel) {
    auto one = [](const RandomValueGroup &g) {
        return KeyChannelValues{g.active, g.value, 0.0f, g.random};
    };
    auto two = [](const RandomUVGroup &g) {
        return KeyChannelValues{g.active, g.valueU, g.valueV, g.random};
    };
    switch (channel) {
    case kChannelLength: return one(key.length);
    case kChannelCurl: return one(key.curl);
    case kChannelGrow: return two(key.grow);
    case kChannelSegments: return one(key.segments);
    case kChannelGravity: return one(key.gravity);
    case kChannelBend: return two(key.bend);
    case kChannelDensity: return one(key.density);
    case kChannelLengthPlain: return {key.length.active, key.length.value, 0.0f, 0.0f};
    default: return {};
    }
}

// One weighted contributor: a key, or a copy of it shifted by a whole tile.
struct Entry {
    const TextureKey *key;
    float du, dv;
    float values[4];
    float random;
};

// Tile shifts in the order the copies are added: the key itself, along u, along v, diagonals.
struct Shift {
    float du, dv;
    bool needs_u, needs_v;
};
constexpr Shift kShifts[] = {
    {0, 0, false, false}, {+1, 0, true, false}, {-1, 0, true, false},
    {0, +1, false, true}, {0, -1, false, true}, {+1, +1, true, true},
    {+1, -1, true, true}, {-1, +1, true, true}, {-1, -1, true, true},
};

template <typename Selected>
std::vector<Entry> gather_entries(const PatchData &record, Selected selected) {
    std::vector<Entry> entries;
    for (const TextureKey &key : record.texture_keys) {
        Entry base{&key, 0, 0, {}, 0};
        if (!selected(key, base)) continue;
        for (const Shift &s : kShifts) {
            if ((s.needs_u && !record.TileU) || (s.needs_v && !record.TileV)) continue;
            Entry e = base;
            e.du = s.du;
            e.dv = s.dv;
            entries.push_back(e);
        }
    }
    return entries;
}

// Cells lie 1/(res - 2) apart, so the last row and column sit slightly beyond 1.
float cell_step(int res) { return res > 2 ? 1.0f / static_cast<float>(res - 2) : 1.0f; }

// Visits every cell, rows outer, with its (u,v) accumulated by float addition and the weight of
// every entry at that point.
template <typename Visit>
void for_each_cell(const std::vector<Entry> &entries, int res, Visit visit) {
    const float step = cell_step(res);
    std::vector<float> weights(entries.size());
    float v = 0.0f;
    for (int r = 0; r < res; ++r) {
        float u = 0.0f;
        for (int c = 0; c < res; ++c) {
            float total = 0.0f;
            for (size_t j = 0; j < entries.size(); ++j) {
                const Entry &e = entries[j];
                weights[j] = 1.0f / key_distance2(u + e.du, v + e.dv, *e.key);
                total += weights[j];
            }
            visit(size_t(r) * size_t(res) + size_t(c), weights, total);
            u += step;
        }
        v += step;
    }
}

// A unit drawn from the process-wide generator, rand()/32767.0.
double random_unit() { return standard_rand() / static_cast<double>(kRandom15Max); }

// Spread between x·(1 - r) and x.
float relative_spread(float x, float r, double unit) {
    return static_cast<float>(x - x * r + x * r * unit);
}
// Spread within x ± r.
float absolute_spread(float x, float r, double unit) {
    return static_cast<float>(x - r + 2 * r * unit);
}

uint32_t color_byte(float component) {
    const float scaled = component * kByteMax;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= kByteMax ? 255u : static_cast<uint32_t>(scaled);
}

float squared(float x) { return x * x; }

struct Point2 {
    float x, y;
};

// Parameter of the projection of q on the line e→f.
float projection(Point2 q, Point2 e, Point2 f) {
    const float dx = f.x - e.x, dy = f.y - e.y;
    const float length2 = dx * dx + dy * dy;
    if (!(length2 > 0.0f)) return 0.0f;  // a degenerate box edge: treat q as before it
    return ((q.x - e.x) * dx + (q.y - e.y) * dy) / length2;
}

float distance2_to_line(Point2 q, Point2 e, Point2 f) {
    const float t = projection(q, e, f);
    return squared(e.x + t * (f.x - e.x) - q.x) + squared(e.y + t * (f.y - e.y) - q.y);
}

float distance2(Point2 a, Point2 b) { return squared(a.x - b.x) + squared(a.y - b.y); }

// Squared distance from q to the rectangle p1 p2 p3 p4 (p1→p2 and p2→p3 are adjacent sides).
float rectangle_distance2(Point2 q, const Point2 p[4]) {
    const float t1 = projection(q, p[0], p[1]);
    const float t2 = projection(q, p[1], p[2]);
    const bool along1 = t1 > 0.0f && t1 < 1.0f;
    const bool along2 = t2 > 0.0f && t2 < 1.0f;
    if (along1 && along2) return 0.0f;
    if (along1) return std::min(distance2_to_line(q, p[0], p[1]), distance2_to_line(q, p[2], p[3]));
    if (along2) return std::min(distance2_to_line(q, p[1], p[2]), distance2_to_line(q, p[3], p[0]));
    if (t1 <= 0.0f) return distance2(q, t2 <= 0.0f ? p[0] : p[3]);
    return distance2(q, t2 <= 0.0f ? p[1] : p[2]);
}

}  // namespace

float channel_value_without_keys(int channel, bool second_component) {
    const TextureKey defaults;
    const KeyChannelValues values = key_channel(defaults, channel);
    return second_component ? values.value_v : values.value_u;
}

bool key_paints_channel(const TextureKey &key, int channel, int t) {
    if (channel == kChannelColor) return t >= 0 && t < kColorTypes && key.color_active[t];
    return key_channel(key, channel).active != 0;
}

float key_distance2(float u, float v, const TextureKey &key) {
    const float point2 = squared(key.u - u) + squared(key.v - v);
    switch (key.key_mode) {
    case 1: {  // circle: zero inside the radius
        const float radius2 = key.w * key.w;
        return (point2 > radius2 ? point2 - radius2 : 0.0f) + kDistanceBias;
    }
    case 2:
    case 3: {  // box, or box rotated by ang
        const float corner_x[4] = {-key.w, -key.w, key.w, key.w};
        const float corner_y[4] = {-key.h, key.h, key.h, -key.h};
        const bool rotated = key.key_mode == 3;
        const float cs = rotated ? std::cos(key.ang) : 1.0f;
        const float sn = rotated ? std::sin(key.ang) : 0.0f;
        Point2 corners[4];
        for (int i = 0; i < 4; ++i) {
            corners[i] = {key.u + corner_x[i] * cs - corner_y[i] * sn,
                          key.v + corner_x[i] * sn + corner_y[i] * cs};
        }
        return rectangle_distance2({u, v}, corners) + kDistanceBias;
    }
    default: return point2 + kDistanceBias;
    }
}

void build_value_map(const PatchData &record, float *map_a, float *map_b, int res, int channel) {
    if (res < 1 || !map_a) return;
    const bool two_valued = channel == kChannelGrow || channel == kChannelBend;
    if (two_valued && !map_b) return;
    const DisplaySettings *settings = display_settings();
    const bool absolute = two_valued && (settings ? settings->dir_bend_random_mode != 0 : true);

    const std::vector<Entry> entries = gather_entries(record, [&](const TextureKey &key, Entry &e) {
        const KeyChannelValues values = key_channel(key, channel);
        e.values[0] = values.value_u;
        e.values[1] = values.value_v;
        e.random = values.random;
        return values.active != 0;
    });
    const float empty_u = channel_value_without_keys(channel, false);
    const float empty_v = channel_value_without_keys(channel, true);

    for_each_cell(entries, res, [&](size_t cell, const std::vector<float> &w, float total) {
        float sum_u = 0.0f, sum_v = 0.0f;
        for (size_t j = 0; j < entries.size(); ++j) {
            const Entry &e = entries[j];
            if (!two_valued) {
                sum_u += w[j] * relative_spread(e.values[0], e.random, random_unit());
                continue;
            }
            const double unit_u = random_unit();
            const double unit_v = random_unit();
            sum_u += w[j] * (absolute ? absolute_spread(e.values[0], e.random, unit_u)
                                      : relative_spread(e.values[0], e.random, unit_u));
            sum_v += w[j] * (absolute ? absolute_spread(e.values[1], e.random, unit_v)
                                      : relative_spread(e.values[1], e.random, unit_v));
        }
        const bool weighted = total > 0.0f;
        map_a[cell] = weighted ? sum_u / total : empty_u;
        if (two_valued) map_b[cell] = weighted ? sum_v / total : empty_v;
    });
}

void build_color_map(PatchData &record, int k, int t) {
    if (t < 0 || t >= kColorTypes || k < 0 || k >= kMaxColorKeys) return;
    MainColorKey &main_key = record.main_color_keys[t][k];
    const int res = main_key.map_res;
    main_key.color_map.assign(res > 0 ? size_t(res) * size_t(res) : 0, 0u);

    const std::vector<Entry> entries = gather_entries(record, [&](const TextureKey &key, Entry &e) {
        const ColorKey &color = key.color_keys[t][k];
        e.values[0] = color.R;
        e.values[1] = color.G;
        e.values[2] = color.B;
        e.values[3] = color.A;
        return key.color_active[t] != 0;
    });
    for_each_cell(entries, res, [&](size_t cell, const std::vector<float> &w, float total) {
        if (!(total > 0.0f)) return;  // no key paints this colour: the cell stays 0
        float sums[4] = {};
        for (size_t j = 0; j < entries.size(); ++j)
            for (int i = 0; i < 4; ++i) sums[i] += w[j] * entries[j].values[i];
        if (t == kColorThickness) {
            main_key.color_map[cell] = std::bit_cast<uint32_t>(sums[0] / total);
            return;
        }
        main_key.color_map[cell] = color_byte(sums[0] / total) << 24 |
                                   color_byte(sums[1] / total) << 16 |
                                   color_byte(sums[2] / total) << 8 | color_byte(sums[3] / total);
    });
    main_key.map_dirty = 0;
}

}  // namespace vellimor
