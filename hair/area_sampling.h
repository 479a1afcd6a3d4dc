// Where in a cell a candidate root lands. The cells cut the surface's (u, v) square evenly, but a
// surface's area is not spread evenly over (u, v): next to a sphere's pole a cell's area gathers
// at its side away from the pole. Roots drawn evenly in (u, v) would crowd there; drawn evenly
// over the area they keep the density the cell counts were made for.
#pragma once

namespace vellimor {

// Area per unit of (u, v) at a cell's corners, (u0, v0), (u1, v0), (u0, v1), (u1, v1); the area
// across the cell is taken as bilinear between them.
struct CellAreaCorners {
    double w00 = 1.0, w10 = 1.0, w01 = 1.0, w11 = 1.0;
};

// The x in [0, 1] at which a density growing linearly from a (at 0) to b (at 1) has gathered the
// fraction y of its whole. Equal (or no) density keeps y as it is.
double linear_density_point(double y, double a, double b);

// Moves the evenly drawn (s, t) in [0, 1)² of a cell so that points fall evenly over its area:
// t from the area per row, then s from the area along that row. A cell of even area keeps
// (s, t) exactly.
void area_even_point(const CellAreaCorners &corners, double &s, double &t);

}  // namespace vellimor
