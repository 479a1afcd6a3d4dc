// The cells of a shadow grid. Four neighbouring columns of grid points bound a cell; every column
// runs straight from the surface (level 0) to the tips (level L) with its levels evenly spaced.
// A point in the fur is placed by its bilinear coordinates across a cell and its height along
// the columns, and its shadow is the grid's values interpolated trilinearly there: continuous
// across cells however coarse the grid is against the curvature of the surface.
#pragma once

#include "hair/shadows.h"

namespace vellimor {

// Where a point lies in a grid: cell (i, j) spans columns i..i+1 and j..j+1; a and b run 0..1
// across it (a along i, b along j), c runs 0 at the surface to 1 at the tips along the columns.
struct CellPlace {
    int i = 0, j = 0;
    float a = 0.0f, b = 0.0f, c = 0.0f;
    // The point lies inside the cell (it was not put on the nearer edge of a sliver between two
    // cells, nor held at the grid's edge): a search starting at this cell finds this place again.
    bool inside = false;
};

// Where a placement in a cell starts without a better guess: its middle.
constexpr GridVector kCellMiddle{0.5, 0.5, 0.5};

// True when the grid has cells: at least two columns in each direction, prepared.
bool grid_has_cells(const ShadowGrid &grid);

// The cell index of cell (i, j), as kept in a query hint.
int grid_cell_index(const ShadowGrid &grid, int i, int j);

// Places q in the grid, starting from the cell `hint` names and walking towards q; `hint` is
// left naming the cell found. False when no cell could be found that way (a cell too distorted
// to place the point in, or q too far from the hinted cell). `start`, when given, is where in the
// hinted cell the placement begins (else the cell's middle); it is left at the place found.
bool locate_in_cells(const ShadowGrid &grid, const float q[3], int &hint, CellPlace &place,
                     GridVector *start = nullptr);

// The same search starting from the cells around column (i, j).
bool locate_around_column(const ShadowGrid &grid, const float q[3], int i, int j,
                          CellPlace &place);

// The shadow value at a place for one light: 1 below the surface, the tips' values above them,
// trilinear in between.
float cell_shadow_value(const ShadowGrid &grid, const CellPlace &place, int light);

// Readies a built grid for placing points: marks it closed in u or v where its last column row
// coincides with its first (a closed surface, so that a search may walk across the seam) and
// works out every cell's geometry.
void prepare_grid_cells(ShadowGrid &grid);

}  // namespace vellimor
