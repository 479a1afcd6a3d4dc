#include "render/triangle_raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellimor {
namespace {

// Corners snap to a 256th of a pixel, as OpenGL rasterisers snap them, so that edge tests are
// exact integers: two triangles sharing an edge agree on every pixel centre along it.
constexpr int kSubpixelBits = 8;
constexpr int64_t kSubpixel = int64_t(1) << kSubpixelBits;
constexpr int64_t kHalfPixel = kSubpixel / 2;

struct Fixed {
    int64_t x, y;
};

// Rounds half away from zero (window coordinates are far below 2^52 subpixels).
int64_t to_subpixels(float x) {
    const double scaled = double(x) * double(kSubpixel);
    return int64_t(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
}

Fixed snapped(const RasterVertex &v) { return {to_subpixels(v.x), to_subpixels(v.y)}; }

// Whole pixels below or above a subpixel position (an arithmetic shift floors).
int64_t floor_pixels(int64_t a) { return a >> kSubpixelBits; }
int64_t ceil_pixels(int64_t a) { return -((-a) >> kSubpixelBits); }

// The edge from p to q: e(x, y) = (q - p) x ((x, y) - p), positive inside a counter-clockwise
// triangle. A pixel centre on the edge belongs to the triangle only when the edge runs up (or
// left along a row), so of two triangles sharing an edge exactly one draws it.
struct Edge {
    int64_t dx, dy, px, py;
    int64_t bias;  // 0 where the edge owns the centres on it, -1 where it does not

    Edge(Fixed p, Fixed q) : dx(q.x - p.x), dy(q.y - p.y), px(p.x), py(p.y) {
        bias = (dy > 0 || (dy == 0 && dx < 0)) ? 0 : -1;
    }
    int64_t at(int64_t x, int64_t y) const { return dx * (y - py) - dy * (x - px); }
};

// x * y / 255 rounded, for 8-bit colours: the blend arithmetic of 8-bit colour buffers.
inline uint32_t multiply_unorm8(uint32_t x, uint32_t y) {
    const uint32_t t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint32_t to_unorm8(float c) {
    c = std::clamp(c, 0.0f, 1.0f);
    return uint32_t(c * 255.0f + 0.5f);
}

inline bool depth_passes(DepthFunc func, float fragment, float stored) {
    switch (func) {
    case DepthFunc::kNever: return false;
    case DepthFunc::kLess: return fragment < stored;
    case DepthFunc::kEqual: return fragment == stored;
    case DepthFunc::kLessEqual: return fragment <= stored;
    case DepthFunc::kGreater: return fragment > stored;
    case DepthFunc::kNotEqual: return fragment != stored;
    case DepthFunc::kGreaterEqual: return fragment >= stored;
    case DepthFunc::kAlways: return true;
    }
    return true;
}

// One corner's values as the pixels interpolate them: depth linearly, colours over w.
struct CornerValues {
    float z, inv_w;
    float color_over_w[4];
};

CornerValues corner_values(const RasterVertex &v) {
    CornerValues c{v.z, v.inv_w, {}};
    for (int k = 0; k < 4; ++k) c.color_over_w[k] = v.color[k] * v.inv_w;
    return c;
}

inline void write_fragment(const RasterTarget &target, size_t pixel, const float color[4]) {
    uint8_t *dst = target.rgba + pixel * 4;
    const uint32_t src[4] = {to_unorm8(color[0]), to_unorm8(color[1]), to_unorm8(color[2]), to_unorm8(color[3])};
    const int channels = target.write_alpha ? 4 : 3;
    if (!target.blend) {
        for (int k = 0; k < channels; ++k) dst[k] = uint8_t(src[k]);
        return;
    }
    const uint32_t a = src[3], keep = 255 - a;
    for (int k = 0; k < channels; ++k)
        dst[k] = uint8_t(std::min<uint32_t>(255, multiply_unorm8(src[k], a) + multiply_unorm8(dst[k], keep)));
}

int64_t twice_area(Fixed a, Fixed b, Fixed c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// A counter-clockwise triangle ready for its pixels: the value of edge k over the area is corner
// k's weight.
struct Triangle {
    const RasterVertex *corner[3];
    Fixed p[3];
    int64_t area = 0;
    CornerValues values[3];
    float inverse_area = 0.0f;

    // False for a triangle without area.
    bool set(const RasterVertex &a, const RasterVertex &b, const RasterVertex &c) {
        corner[0] = &a;
        corner[1] = &b;
        corner[2] = &c;
        p[0] = snapped(a);
        p[1] = snapped(b);
        p[2] = snapped(c);
        return set_snapped();
    }
    bool set_snapped() {
        area = twice_area(p[0], p[1], p[2]);
        if (area == 0) return false;
        if (area < 0) {
            std::swap(p[1], p[2]);
            std::swap(corner[1], corner[2]);
            area = -area;
        }
        for (int k = 0; k < 3; ++k) values[k] = corner_values(*corner[k]);
        inverse_area = float(1.0 / double(area));
        return true;
    }
    Edge edge(int k) const { return Edge(p[(k + 1) % 3], p[(k + 2) % 3]); }

    // The fragment at a pixel whose edge values (opposite corners 0, 1, 2) are e0, e1, e2.
    void shade(int64_t e0, int64_t e1, int64_t e2, const RasterTarget &target, size_t pixel) const {
        const float w0 = float(e0) * inverse_area, w1 = float(e1) * inverse_area, w2 = float(e2) * inverse_area;
        const float z = w0 * values[0].z + w1 * values[1].z + w2 * values[2].z;
        if (target.depth_test) {
            if (!depth_passes(target.depth_func, z, target.depth[pixel])) return;
            if (target.depth_write) target.depth[pixel] = z;
        }
        const float inv_w = w0 * values[0].inv_w + w1 * values[1].inv_w + w2 * values[2].inv_w;
        const float to_color = inv_w != 0.0f ? 1.0f / inv_w : 0.0f;
        float color[4];
        for (int k = 0; k < 4; ++k)
            color[k] = (w0 * values[0].color_over_w[k] + w1 * values[1].color_over_w[k] +
                        w2 * values[2].color_over_w[k]) *
                       to_color;
        write_fragment(target, pixel, color);
    }
};

// The pixels whose centres the bounding box of `points` may hold, within the target and the
// rows asked for; false when there are none.
struct PixelBox {
    int64_t first_column, last_column, first_row, last_row;
};
bool pixel_box(const Fixed *points, int count, const RasterTarget &target, int row_begin, int row_end, PixelBox &box) {
    int64_t min_x = points[0].x, max_x = points[0].x, min_y = points[0].y, max_y = points[0].y;
    for (int k = 1; k < count; ++k) {
        min_x = std::min(min_x, points[k].x);
        max_x = std::max(max_x, points[k].x);
        min_y = std::min(min_y, points[k].y);
        max_y = std::max(max_y, points[k].y);
    }
    // Pixel (i, j) has its centre at (i + 1/2, j + 1/2).
    box.first_column = std::max<int64_t>(ceil_pixels(min_x - kHalfPixel), target.x0);
    box.last_column = std::min<int64_t>(floor_pixels(max_x - kHalfPixel), target.x0 + target.width - 1);
    box.first_row = std::max<int64_t>({ceil_pixels(min_y - kHalfPixel), target.y0, int64_t(row_begin)});
    box.last_row = std::min<int64_t>(
        {floor_pixels(max_y - kHalfPixel), int64_t(target.y0) + target.height - 1, int64_t(row_end) - 1});
    return box.first_column <= box.last_column && box.first_row <= box.last_row;
}

// Walks the box row by row with the values of `edges` at each pixel centre; visit(pixel, e)
// gets the pixel's index in the target and the edges' values there.
template <int N, class Visit>
void walk_box(const PixelBox &box, const Edge (&edges)[N], const RasterTarget &target, Visit visit) {
    for (int64_t row = box.first_row; row <= box.last_row; ++row) {
        const int64_t y = row * kSubpixel + kHalfPixel, x = box.first_column * kSubpixel + kHalfPixel;
        int64_t e[N];
        for (int k = 0; k < N; ++k) e[k] = edges[k].at(x, y);
        size_t pixel = size_t(row - target.y0) * size_t(target.width) + size_t(box.first_column - target.x0);
        for (int64_t column = box.first_column; column <= box.last_column; ++column, ++pixel) {
            visit(pixel, e);
            for (int k = 0; k < N; ++k) e[k] -= edges[k].dy * kSubpixel;
        }
    }
}

inline bool owned(int64_t e, const Edge &edge) { return e + edge.bias >= 0; }

}  // namespace

void raster_triangle(const RasterVertex &a, const RasterVertex &b, const RasterVertex &c,
                     const RasterTarget &target, int row_begin, int row_end) {
    Triangle t;
    PixelBox box;
    if (!t.set(a, b, c) || !pixel_box(t.p, 3, target, row_begin, row_end, box)) return;
    const Edge edges[3] = {t.edge(0), t.edge(1), t.edge(2)};
    walk_box(box, edges, target, [&](size_t pixel, const int64_t *e) {
        if (owned(e[0], edges[0]) && owned(e[1], edges[1]) && owned(e[2], edges[2]))
            t.shade(e[0], e[1], e[2], target, pixel);
    });
}

void raster_quad(const RasterVertex &q0, const RasterVertex &q1, const RasterVertex &q2, const RasterVertex &q3,
                 const RasterTarget &target, int row_begin, int row_end) {
    const RasterVertex *q[4] = {&q0, &q1, &q2, &q3};
    Fixed p[4] = {snapped(q0), snapped(q1), snapped(q2), snapped(q3)};
    // Convex when every corner turns the same way; otherwise two triangles.
    int64_t turns[4];
    for (int k = 0; k < 4; ++k) turns[k] = twice_area(p[k], p[(k + 1) % 4], p[(k + 2) % 4]);
    const bool counter_clockwise = turns[0] > 0 && turns[1] > 0 && turns[2] > 0 && turns[3] > 0;
    const bool clockwise = turns[0] < 0 && turns[1] < 0 && turns[2] < 0 && turns[3] < 0;
    if (!counter_clockwise && !clockwise) {
        raster_triangle(q0, q1, q2, target, row_begin, row_end);
        raster_triangle(q0, q2, q3, target, row_begin, row_end);
        return;
    }
    if (clockwise) {  // the same two triangles, counter-clockwise: (q0, q3, q2) and (q0, q2, q1)
        std::swap(p[1], p[3]);
        std::swap(q[1], q[3]);
    }
    PixelBox box;
    if (!pixel_box(p, 4, target, row_begin, row_end, box)) return;
    Triangle first, second;  // (p0, p1, p2) and (p0, p2, p3), both counter-clockwise
    first.corner[0] = second.corner[0] = q[0];
    first.corner[1] = q[1];
    first.corner[2] = second.corner[1] = q[2];
    second.corner[2] = q[3];
    first.p[0] = second.p[0] = p[0];
    first.p[1] = p[1];
    first.p[2] = second.p[1] = p[2];
    second.p[2] = p[3];
    first.set_snapped();
    second.set_snapped();
    // The outer edges and the diagonal from p0 to p2; the diagonal's tie rule gives a pixel on it
    // to exactly one of the two.
    const Edge edges[5] = {Edge(p[0], p[1]), Edge(p[1], p[2]), Edge(p[2], p[3]), Edge(p[3], p[0]), Edge(p[0], p[2])};
    walk_box(box, edges, target, [&](size_t pixel, const int64_t *e) {
        if (!(owned(e[0], edges[0]) && owned(e[1], edges[1]) && owned(e[2], edges[2]) && owned(e[3], edges[3])))
            return;
        if (owned(e[4], edges[4]))
            second.shade(e[2], e[3], e[4], target, pixel);  // weights of p0, p2, p3
        else
            first.shade(e[1], -e[4], e[0], target, pixel);  // weights of p0, p1, p2
    });
}

}  // namespace vellimor
