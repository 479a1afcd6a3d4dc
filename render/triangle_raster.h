// Triangles drawn in memory as OpenGL's fixed pipeline draws them into a window: pixel centres
// sampled, an edge two triangles share drawn once, colours interpolated in perspective, then
// the depth test and source-alpha blending of 8-bit colours. Serves the hairs' ribbons, which
// are drawn on every core into a copy of the window's colour and depth.
#pragma once

#include <cstdint>

namespace vellimor {

// A corner in window space: x and y in pixels, z the window depth, inv_w one over the clip w,
// the colour already clamped to 0..1.
struct RasterVertex {
    float x, y, z, inv_w;
    float color[4];
};

// Fragments pass the depth test when fragment <func> stored.
enum class DepthFunc : uint8_t { kNever, kLess, kEqual, kLessEqual, kGreater, kNotEqual, kGreaterEqual, kAlways };

// A rectangle of the window's pixels in memory, bottom row first, and how fragments meet them.
struct RasterTarget {
    int x0 = 0, y0 = 0, width = 0, height = 0;  // in window pixels
    uint8_t *rgba = nullptr;                    // width x height x 4
    float *depth = nullptr;                     // width x height
    bool depth_test = true;
    DepthFunc depth_func = DepthFunc::kLess;
    bool depth_write = true;
    bool blend = true;        // source alpha, one minus source alpha
    bool write_alpha = true;  // false where the buffer keeps no alpha
};

// Draws the part of triangle (a, b, c) that falls on window rows [row_begin, row_end) of the
// target; either winding.
void raster_triangle(const RasterVertex &a, const RasterVertex &b, const RasterVertex &c,
                     const RasterTarget &target, int row_begin, int row_end);

// Triangles (q0, q1, q2) and (q0, q2, q3), the same pixels as two raster_triangle calls, in one
// pass over the quad when it is convex.
void raster_quad(const RasterVertex &q0, const RasterVertex &q1, const RasterVertex &q2, const RasterVertex &q3,
                 const RasterTarget &target, int row_begin, int row_end);

}  // namespace vellimor
