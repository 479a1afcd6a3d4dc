// Recognising a polygon mesh as a grid of quads: rows and columns of vertices, open or closed in
// each direction, with an optional pole (a fan of triangles around one vertex) closing either end
// of the rows when they run round in a loop, as a UV sphere has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "saa/model_pieces.h"

namespace vellimor::saa {

struct QuadGrid {
    int count_u = 0, count_v = 0;  // grid vertices along u and along v
    bool closed_u = false, closed_v = false;
    // The mesh vertex beyond the first row (v before 0) and beyond the last one, or -1.
    int pole_start = -1, pole_end = -1;
    std::vector<int> vertex;  // count_u × count_v mesh vertex indices, u varying fastest
    // Most faces list their corners turning from u towards v, so their counter-clockwise normal
    // is du × dv of the grid.
    bool winds_u_to_v = true;
};

// The grid the mesh's faces form; without one, nullopt and the reason (such as "1,204 of 3,310
// faces are not quads of one grid"). A direction that closes on itself becomes u.
std::optional<QuadGrid> find_quad_grid(const PolygonMesh &mesh, std::string &reason);

// 3310 as "3,310".
std::string with_thousands(long long n);

}  // namespace vellimor::saa
