// The scene's surfaces made from what model files hold: a cardinal patch through every vertex
// of a quad grid, and a NURBS surface from a free-form B-spline surface.
#pragma once

#include <string>

#include "saa/model_pieces.h"
#include "saa/quad_grid.h"

namespace vellimor::saa {

// Cardinal (Catmull-Rom) in both directions, so the surface passes through every grid vertex:
// grid vertex (i, j) lies at parameter (i, j + 1 when the first row has a pole, else j). Open
// ends get one more row or column, continuing the last two in a straight line; a pole becomes a
// row of that one vertex, with the far side of the neighbouring row beyond it, so the surface
// runs smoothly over the pole.
PatchSurface patch_through_grid(const QuadGrid &grid, const std::vector<Vec3> &positions);

// The surface over the part of its knots' domain the file asks for, knots starting at 0 (the
// knot vector is clamped there by knot insertion, which keeps the shape exactly). Throws
// ModelFileError naming the file and the surface's line for knots, counts or ranges that don't fit.
NurbsSurface nurbs_of_freeform(const FreeformSurface &surface, const std::string &file);

}  // namespace vellimor::saa
