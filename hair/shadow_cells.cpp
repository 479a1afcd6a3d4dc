#include "hair/shadow_cells.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellimor {

namespace {

// How far outside 0..1 a coordinate may fall and still count as inside its cell (a point on the
// face two cells share belongs to either).
constexpr double kInsideTolerance = 1e-5;
// Newton steps placing a point in one cell, and the step below which the placement has
// converged: each step squares the error, so after a step this small the place is good to about
// 1e-10, far below the float it is kept in.
constexpr int kPlacementIterations = 16;
constexpr double kConverged = 1e-5;
// A Jacobian this small against the product of its columns' lengths is a cell without volume.
constexpr double kSingular = 1e-12;
// Cells a search walks before it gives up: hair points follow each other closely, and a point
// that is further away is found again from its nearest grid point.
constexpr int kWalkSteps = 4;
// Coordinates are kept this near the cell while iterating, so that a point far outside cannot
// run the iteration away.
constexpr double kCoordinateReach = 4.0;
// Two columns this close (against the grid's size) are one column: the grid closes there.
constexpr float kSeamTolerance = 1e-4f;

using Vec = GridVector;
Vec operator+(Vec p, Vec q) { return {p.x + q.x, p.y + q.y, p.z + q.z}; }
Vec operator-(Vec p, Vec q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }
Vec operator*(Vec p, double s) { return {p.x * s, p.y * s, p.z * s}; }
double dot(Vec p, Vec q) { return p.x * q.x + p.y * q.y + p.z * q.z; }
Vec cross(Vec p, Vec q) { return {p.y * q.z - p.z * q.y, p.z * q.x - p.x * q.z, p.x * q.y - p.y * q.x}; }
double norm(Vec p) { return std::sqrt(dot(p, p)); }
Vec load(const float p[3]) { return {p[0], p[1], p[2]}; }

int cells_u(const ShadowGrid &grid) { return grid.nu1 - 1; }
int cells_v(const ShadowGrid &grid) { return grid.nv1 - 1; }
int column_base(const ShadowGrid &grid, int i, int j) { return j + i * grid.nv1; }
int layer(const ShadowGrid &grid) { return grid.nu1 * grid.nv1; }

// How far the surface bows out of a cell: the bases lie on the surface but the straight edges
// between them cut under a convex surface (and over a concave one), as far as the tangent plane
// of one column lies above the next column's base. Measured in column lengths, that sag gives
// the surface a quadratic bulge across the cell, and the height of a point is counted from the
// bulging surface: a point at the same height above a sphere gets the same c whether it sits at
// a column or between them.
using Cell = ShadowCell;

// The sag of the edge from column k to column n in column lengths: how far each base lies
// below the other column's tangent plane, averaged (negative under a convex surface), and
// scaled to what a circular arc through both bases with the columns' directions as normals
// bulges at the edge's middle (a quarter of it, times 2 / (1 + cos of half the angle between
// the columns): exact on a sphere's meridians, the flat quadratic where the columns agree).
double edge_sag(const Cell &cell, int k, int n) {
    const Vec edge = cell.base[n] - cell.base[k];
    double sum = 0.0;
    for (const auto &[column, towards] : {std::pair{k, edge}, std::pair{n, edge * -1.0}}) {
        const double length2 = dot(cell.span[column], cell.span[column]);
        if (length2 > 0.0) sum += dot(towards, cell.span[column]) / length2;
    }
    const double lengths = norm(cell.span[k]) * norm(cell.span[n]);
    const double cos_angle =
        lengths > 0.0 ? std::clamp(dot(cell.span[k], cell.span[n]) / lengths, -1.0, 1.0) : 1.0;
    const double cos_half = std::sqrt((1.0 + cos_angle) / 2.0);
    return sum / 2.0 * 2.0 / (1.0 + cos_half);
}

Cell load_cell(const ShadowGrid &grid, int i, int j) {
    Cell cell;
    const int tips = grid.levels * layer(grid);
    const int corners[4] = {column_base(grid, i, j), column_base(grid, i + 1, j),
                            column_base(grid, i, j + 1), column_base(grid, i + 1, j + 1)};
    for (int k = 0; k < 4; ++k) {
        cell.base[k] = load(grid.points[size_t(corners[k])].position);
        cell.span[k] = load(grid.points[size_t(corners[k] + tips)].position) - cell.base[k];
        cell.length[k] = norm(cell.span[k]);
    }
    cell.sag_a[0] = edge_sag(cell, 0, 1);
    cell.sag_a[1] = edge_sag(cell, 2, 3);
    cell.sag_b[0] = edge_sag(cell, 0, 2);
    cell.sag_b[1] = edge_sag(cell, 1, 3);
    return cell;
}

// Newton's method on X(a, b, c) = bases(a, b) + (c + bulge(a, b)) · spans(a, b) = q, with
// bases bilinear, bulge(a, b) = -(sag_a(b)·a(1 - a) + sag_b(a)·b(1 - b)) and spans(a, b) the
// bilinear blend of the columns' directions stretched to the bilinear blend of their lengths
// (columns that fan out keep their length between them). False when the cell has no volume
// where the iteration goes or the iteration does not settle. a, b and c come in as the first
// guess.
bool solve_in_cell(const Cell &cell, Vec q, double &a, double &b, double &c) {
    const double *lengths = cell.length;
    for (int n = 0; n < kPlacementIterations; ++n) {
        const double w[4] = {(1 - a) * (1 - b), a * (1 - b), (1 - a) * b, a * b};
        const double w_a[4] = {-(1 - b), 1 - b, -b, b};
        const double w_b[4] = {-(1 - a), -a, 1 - a, a};
        Vec base{0, 0, 0}, base_a{0, 0, 0}, base_b{0, 0, 0};
        Vec blend{0, 0, 0}, blend_a{0, 0, 0}, blend_b{0, 0, 0};
        double length = 0, length_a = 0, length_b = 0;
        for (int k = 0; k < 4; ++k) {
            base = base + cell.base[k] * w[k];
            base_a = base_a + cell.base[k] * w_a[k];
            base_b = base_b + cell.base[k] * w_b[k];
            blend = blend + cell.span[k] * w[k];
            blend_a = blend_a + cell.span[k] * w_a[k];
            blend_b = blend_b + cell.span[k] * w_b[k];
            length += lengths[k] * w[k];
            length_a += lengths[k] * w_a[k];
            length_b += lengths[k] * w_b[k];
        }
        const double blend_length = norm(blend);
        if (!(blend_length > 0.0)) return false;
        // span = blend · stretch, stretch = length / |blend|.
        const double stretch = length / blend_length;
        const double blend2 = blend_length * blend_length;
        const double stretch_a = (length_a - length * dot(blend, blend_a) / blend2) / blend_length;
        const double stretch_b = (length_b - length * dot(blend, blend_b) / blend2) / blend_length;
        const Vec span = blend * stretch;
        const Vec span_a = blend_a * stretch + blend * stretch_a;
        const Vec span_b = blend_b * stretch + blend * stretch_b;

        const double wa = a * (1 - a), wb = b * (1 - b);
        const double sag_a = (1 - b) * cell.sag_a[0] + b * cell.sag_a[1];
        const double sag_b = (1 - a) * cell.sag_b[0] + a * cell.sag_b[1];
        const double bulge = -(sag_a * wa + sag_b * wb);
        const double bulge_a = -(sag_a * (1 - 2 * a) + (cell.sag_b[1] - cell.sag_b[0]) * wb);
        const double bulge_b = -((cell.sag_a[1] - cell.sag_a[0]) * wa + sag_b * (1 - 2 * b));

        const double height = c + bulge;
        const Vec f = base + span * height - q;
        const Vec xa = base_a + span_a * height + span * bulge_a;
        const Vec xb = base_b + span_b * height + span * bulge_b;
        const Vec xc = span;
        const Vec bc = cross(xb, xc);
        const double det = dot(xa, bc);
        if (!(std::fabs(det) > kSingular * norm(xa) * norm(xb) * norm(xc))) return false;
        const double da = -dot(f, bc) / det;
        const double db = -dot(xa, cross(f, xc)) / det;
        const double dc = -dot(xa, cross(xb, f)) / det;
        a = std::clamp(a + da, -kCoordinateReach, 1.0 + kCoordinateReach);
        b = std::clamp(b + db, -kCoordinateReach, 1.0 + kCoordinateReach);
        c += dc;
        if (std::fabs(da) < kConverged && std::fabs(db) < kConverged && std::fabs(dc) < kConverged)
            return std::isfinite(c);
    }
    return false;
}

// The step from one cell to its neighbour that brings coordinate x back into 0..1.
int step_towards(double x) {
    if (x < -kInsideTolerance) return -1;
    if (x > 1.0 + kInsideTolerance) return 1;
    return 0;
}

// Index n moved by d among `count` cells: across the seam of a closed grid, else held at the end.
int moved(int n, int d, int count, bool closed) {
    const int next = n + d;
    if (next >= 0 && next < count) return next;
    return closed ? (next + count) % count : n;
}

// How a walk may end: a search from a hint trusts only a place inside a cell and not far below
// the surface (the columns of a cell, carried on below it, reach through the body to the far
// side of a closed surface); a search from the nearest column's own cells also takes a place
// beyond the grid's edge, held at the edge, and any depth.
enum class WalkEnd { kInsideOnly, kEdgeToo };

// Points deeper than this many hair lengths under the surface are taken as found in the wrong
// cell by a search from a hint.
constexpr double kDeepestFromHint = 1.0;

// Walks from cell (i, j) to the cell holding q, the first placement starting at `start` (later
// ones, in other cells, at their middle); `start` is left at the last placement's result. Two
// cells that each send the point to the other have a sliver between them (a seam where the
// painted lengths differ on either side): the point takes the nearer edge of the second.
bool walk(const ShadowGrid &grid, Vec q, int i, int j, int steps, WalkEnd end,
          CellPlace &place, Vec &start) {
    int previous_i = -1, previous_j = -1;
    for (int n = 0; n < steps; ++n) {
        double a = n == 0 ? start.x : kCellMiddle.x, b = n == 0 ? start.y : kCellMiddle.y,
               c = n == 0 ? start.z : kCellMiddle.z;
        const bool solved = solve_in_cell(grid.cells[size_t(grid_cell_index(grid, i, j))], q, a, b, c);
        start = {a, b, c};
        if (!solved) return false;
        const int di = step_towards(a), dj = step_towards(b);
        const int ni = moved(i, di, cells_u(grid), grid.closed_u);
        const int nj = moved(j, dj, cells_v(grid), grid.closed_v);
        const bool stays = ni == i && nj == j;
        const bool back = ni == previous_i && nj == previous_j;
        if (stays || back) {
            const bool inside = (di == 0 && dj == 0) || back;
            if (end == WalkEnd::kInsideOnly && (!inside || c < -kDeepestFromHint)) return false;
            place = {i, j, float(std::clamp(a, 0.0, 1.0)), float(std::clamp(b, 0.0, 1.0)),
                     float(c), di == 0 && dj == 0};
            return true;
        }
        previous_i = i;
        previous_j = j;
        i = ni;
        j = nj;
    }
    return false;
}

float value_at(const ShadowGrid &grid, int i, int j, int level, int light) {
    return grid.value(column_base(grid, i, j) + level * layer(grid), light);
}

// Bilinear blend of the four columns' values at one level.
float level_value(const ShadowGrid &grid, const CellPlace &place, int level, int light) {
    const float a = place.a, b = place.b;
    return (1 - a) * (1 - b) * value_at(grid, place.i, place.j, level, light) +
           a * (1 - b) * value_at(grid, place.i + 1, place.j, level, light) +
           (1 - a) * b * value_at(grid, place.i, place.j + 1, level, light) +
           a * b * value_at(grid, place.i + 1, place.j + 1, level, light);
}

bool same_point(const float *p, const float *q, float tolerance) {
    return std::fabs(p[0] - q[0]) <= tolerance && std::fabs(p[1] - q[1]) <= tolerance &&
           std::fabs(p[2] - q[2]) <= tolerance;
}

// The largest coordinate magnitude of the grid: the scale seams are compared at.
float grid_scale(const ShadowGrid &grid) {
    float scale = 0.0f;
    for (const ShadowPoint &p : grid.points)
        for (float x : p.position) scale = std::max(scale, std::fabs(x));
    return scale;
}

// Columns enough for cells, and one point per column and level.
bool grid_is_whole(const ShadowGrid &grid) {
    return grid.nu1 >= 2 && grid.nv1 >= 2 && grid.levels >= 1 &&
           grid.points.size() == size_t(layer(grid)) * size_t(grid.levels + 1);
}

}  // namespace

bool grid_has_cells(const ShadowGrid &grid) {
    return grid_is_whole(grid) && grid.cells.size() == size_t(cells_u(grid)) * size_t(cells_v(grid));
}

int grid_cell_index(const ShadowGrid &grid, int i, int j) { return j + i * cells_v(grid); }

bool locate_in_cells(const ShadowGrid &grid, const float q[3], int &hint, CellPlace &place,
                     GridVector *start) {
    if (!grid_has_cells(grid)) return false;
    const int cell_count = cells_u(grid) * cells_v(grid);
    const int first = std::clamp(hint, 0, cell_count - 1);
    Vec guess = start ? *start : kCellMiddle;
    const bool found = walk(grid, load(q), first / cells_v(grid), first % cells_v(grid), kWalkSteps,
                            WalkEnd::kInsideOnly, place, guess);
    if (start) *start = guess;
    if (!found) return false;
    hint = grid_cell_index(grid, place.i, place.j);
    return true;
}

bool locate_around_column(const ShadowGrid &grid, const float q[3], int i, int j,
                          CellPlace &place) {
    if (!grid_has_cells(grid)) return false;
    // The four cells that share the column, nearest the grid's inside first.
    for (int di = 0; di >= -1; --di) {
        for (int dj = 0; dj >= -1; --dj) {
            const int ci = std::clamp(i + di, 0, cells_u(grid) - 1);
            const int cj = std::clamp(j + dj, 0, cells_v(grid) - 1);
            Vec guess = kCellMiddle;
            if (walk(grid, load(q), ci, cj, kWalkSteps, WalkEnd::kEdgeToo, place, guess)) return true;
        }
    }
    return false;
}

float cell_shadow_value(const ShadowGrid &grid, const CellPlace &place, int light) {
    // Below the surface the body itself is in the way. Above the tips the tips' own values go on:
    // lit where nothing stood between them and the light, shadowed behind the body.
    if (place.c < 0.0f) return 1.0f;
    const int L = grid.levels;
    if (place.c >= 1.0f) return level_value(grid, place, L, light);
    const float x = place.c * float(L);
    const int m = std::min(int(x), L - 1);
    const float f = x - float(m);
    return (1.0f - f) * level_value(grid, place, m, light) +
           f * level_value(grid, place, m + 1, light);
}

void prepare_grid_cells(ShadowGrid &grid) {
    grid.closed_u = grid.closed_v = false;
    grid.cells.clear();
    if (!grid_is_whole(grid)) return;
    const float tolerance = kSeamTolerance * std::max(1.0f, grid_scale(grid));
    const int tips = grid.levels * layer(grid);
    // The same base and the same direction: the hair lengths painted on either side of a seam
    // may differ.
    auto columns_meet = [&](int k0, int k1) {
        const float *base0 = grid.points[size_t(k0)].position;
        const float *base1 = grid.points[size_t(k1)].position;
        if (!same_point(base0, base1, tolerance)) return false;
        const Vec d0 = load(grid.points[size_t(k0 + tips)].position) - load(base0);
        const Vec d1 = load(grid.points[size_t(k1 + tips)].position) - load(base1);
        const double lengths = norm(d0) * norm(d1);
        return lengths == 0.0 || dot(d0, d1) >= (1.0 - kSeamTolerance) * lengths;
    };
    bool u = true, v = true;
    for (int j = 0; j < grid.nv1 && u; ++j)
        u = columns_meet(column_base(grid, 0, j), column_base(grid, cells_u(grid), j));
    for (int i = 0; i < grid.nu1 && v; ++i)
        v = columns_meet(column_base(grid, i, 0), column_base(grid, i, cells_v(grid)));
    grid.closed_u = u;
    grid.closed_v = v;
    grid.cells.resize(size_t(cells_u(grid)) * size_t(cells_v(grid)));
    for (int i = 0; i < cells_u(grid); ++i)
        for (int j = 0; j < cells_v(grid); ++j)
            grid.cells[size_t(grid_cell_index(grid, i, j))] = load_cell(grid, i, j);
}

}  // namespace vellimor
