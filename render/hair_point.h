// The points of the hairs of one drawing: what hair geometry produces and what the polygon list,
// the depth sort, the drawing and the mesh writers consume. Nothing here outlives the drawing.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "host/scene.h"  // GravityNull, LightInfo: the scene tables shading and shape read

namespace vellimor {

// One point of a drawn hair. Exactly one cache line, with the fields the sort and the drawing
// loops read first: the sort touches only eye_distance, drawing reads the rest in order.
struct alignas(64) HairPoint {
    float eye_distance;  // from the camera position to the point: the sort key
    float position[3];
    float side[3];    // unit side vector times the point's thickness
    float normal[3];  // unit normal vector times the point's thickness
    float color[4];   // lit R, G, B, A (not clamped; may exceed 1)
    HairPoint *next;  // the following point of the same hair, set by the polygon list
};
static_assert(sizeof(HairPoint) == 64, "HairPoint is meant to fill one cache line");

// One drawn hair: n segments and n + 1 points from the point pool. A hair that was skipped (its
// segment count rounds to 0 or less) has segments 0 and no points.
struct HairStrand {
    int segments = 0;
    HairPoint *points = nullptr;
};

// One point of a hair as the export step sees it (draw mode 8).
struct HairExportPoint {
    float position[3];
    float side[3];    // thickness-scaled, as in HairPoint
    float normal[3];  // thickness-scaled
    float diffuse[4];  // base colour after the wind colour, before lights
    float ambient[3];
    float specular[3];
    float thickness;
};

// Blocks of hair points for one drawing. A request is served from the current block while it has
// room, else from a new block of at least kPointBlockSize points, so a drawing of a million hairs
// makes a handful of allocations. Points stay where they are until clear() (no reallocation).
class PointPool {
public:
    static constexpr std::size_t kPointBlockSize = 100000;

    // k consecutive uninitialised points; nullptr when memory runs out.
    HairPoint *allocate(std::size_t k);
    // Frees every block (the end of a drawing).
    void clear();
    // Takes over every block of `other` (points handed out there stay where they are); later
    // requests start a new block. `other` is left empty.
    void adopt(PointPool &&other);
    // Points handed out since the last clear().
    std::size_t allocated() const { return allocated_; }
    std::size_t block_count() const { return blocks_.size(); }

private:
    std::vector<std::unique_ptr<HairPoint[]>> blocks_;
    std::size_t room_ = 0;  // points still free in the last block
    HairPoint *next_free_ = nullptr;
    std::size_t allocated_ = 0;
};

}  // namespace vellimor
