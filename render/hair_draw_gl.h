// Drawing the sorted hair polygons with OpenGL: lines, four-sided tubes, or the four separate
// quads of the IrisGL-style drawing.
#pragma once

#include "render/polygon_sort.h"

namespace vellimor {

// How the vertices reach OpenGL. Both draw the same primitives in the same order; vertex arrays
// avoid the per-vertex call overhead of immediate mode.
enum class HairVertexPath { kImmediate, kVertexArrays };
void set_hair_vertex_path(HairVertexPath path);
HairVertexPath hair_vertex_path();

// While one lives, what a drawing of a sorted list prepares is kept for a later drawing of the
// same list (the antialiasing passes, the alpha pass): the bands the ribbons were placed in and,
// when `vertices` is set, the tubes' vertices (up to a memory budget; worth it only where the same
// colours are drawn again, as by the antialiasing passes). The drawing driver holds one while it
// draws one sorted list more than once; the list must not change meanwhile.
class HairDrawingReuse {
public:
    explicit HairDrawingReuse(bool vertices);
    ~HairDrawingReuse();
    HairDrawingReuse(const HairDrawingReuse &) = delete;
    HairDrawingReuse &operator=(const HairDrawingReuse &) = delete;

private:
    bool vertices_;
};

// One line per polygon from its first to its second point, as wide as 50 thicknesses.
void draw_hair_lines(const PolygonList &list);

// Tubes (use_opengl 1) or IrisGL-style quads (use_opengl 0). In the alpha pass every vertex is
// white with its point's alpha. Returns 1 when done, 0 when Escape aborted the drawing.
int draw_hair_polygons(const PolygonList &list, bool alpha);

}  // namespace vellimor
