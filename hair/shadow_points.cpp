// The grids of precomputed shadow values: filling them with exact rays, sorting their points by
// x, and the smooth query that interpolates them.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "hair/random_generators.h"
#include "hair/shadow_cells.h"
#include "hair/shadows.h"
#include "host/status.h"
#include "platform/key_state.h"

namespace vellimor {

namespace {

// Keeps the inverse-distance weights finite when the query sits on a grid point.
constexpr float kWeightBias = 0.000001f;
// Columns the smooth query blends.
constexpr int kBlendedColumns = 3;

float squared(float x) { return x * x; }

float distance2(const float a[3], const float b[3]) {
    return squared(a[0] - b[0]) + squared(a[1] - b[1]) + squared(a[2] - b[2]);
}

float x_of(const ShadowGrid &grid, int sorted_index) {
    return grid.points[size_t(grid.sorted[size_t(sorted_index)])].position[0];
}

// Quicksort by x, largest first, with a random pivot and a three-way split so that runs of
// equal x (a pole, a plane across the x axis) cost no more than distinct ones. The smaller part
// is recursed into, the larger one looped over, which bounds the stack.
void sort_by_x(ShadowGrid &grid, int lo, int hi) {
    std::vector<int> &order = grid.sorted;
    while (lo < hi) {
        const int pick = lo + static_cast<int>(static_cast<double>(standard_rand()) * (hi - lo) /
                                               kRandom15Max);
        const float pivot = x_of(grid, pick);
        int lt = lo, i = lo, gt = hi;
        while (i <= gt) {
            const float x = x_of(grid, i);
            if (x > pivot)
                std::swap(order[size_t(lt++)], order[size_t(i++)]);
            else if (x < pivot)
                std::swap(order[size_t(i)], order[size_t(gt--)]);
            else
                ++i;
        }
        if (lt - lo < hi - gt) {
            sort_by_x(grid, lo, lt - 1);
            lo = gt + 1;
        } else {
            sort_by_x(grid, gt + 1, hi);
            hi = lt - 1;
        }
    }
}

// The sorted index of the grid point nearest to q, searched outward from `hint` along x while
// the x distance alone can still beat the best.
int nearest_sorted_index(const ShadowGrid &grid, const float q[3], int hint) {
    const int count = grid.point_count();
    float best = FLT_MAX;
    int nearest = hint;
    auto visit = [&](int n) {
        const float *p = grid.points[size_t(grid.sorted[size_t(n)])].position;
        // Not <=: a point whose x is no number ends the scan like a distant one.
        if (!(squared(p[0] - q[0]) <= best)) return false;
        if (squared(p[1] - q[1]) <= best && squared(p[2] - q[2]) <= best) {
            const float d = distance2(p, q);
            if (d < best) {
                best = d;
                nearest = n;
            }
        }
        return true;
    };
    for (int n = hint; n < count && visit(n); ++n) {
    }
    for (int n = hint - 1; n >= 0 && visit(n); --n) {
    }
    return nearest;
}

struct Column {
    int i = -1, j = -1;
    float distance2 = FLT_MAX;
};

// The (up to) three columns around (i, j) whose base points are nearest to q.
std::array<Column, kBlendedColumns> nearest_columns(const ShadowGrid &grid, const float q[3],
                                                    int i, int j) {
    std::array<Column, kBlendedColumns> kept{};
    for (int ci = i - 1; ci <= i + 1; ++ci) {
        if (ci < 0 || ci >= grid.nu1) continue;
        for (int cj = j - 1; cj <= j + 1; ++cj) {
            if (cj < 0 || cj >= grid.nv1) continue;
            const float d = distance2(grid.points[size_t(cj + ci * grid.nv1)].position, q);
            if (!(d > 0.0f)) continue;
            Column *largest = &kept[0];
            for (Column &c : kept)
                if (c.distance2 > largest->distance2) largest = &c;
            if (d < largest->distance2) *largest = {ci, cj, d};
        }
    }
    // A lone column (or one the query sits on) still has its own values.
    if (kept[0].i < 0 && kept[1].i < 0 && kept[2].i < 0) kept[0] = {i, j, 0.0f};
    return kept;
}

// Inverse-distance blend of the kept columns' values at one level.
float blend_level(const ShadowGrid &grid, const std::array<Column, kBlendedColumns> &columns,
                  const float q[3], int level, int light) {
    const int layer = grid.nu1 * grid.nv1;
    float sum = 0.0f, weights = 0.0f;
    for (const Column &c : columns) {
        if (c.i < 0) continue;
        const int k = c.j + c.i * grid.nv1 + level * layer;
        const float w = 1.0f / (distance2(grid.points[size_t(k)].position, q) + kWeightBias);
        if (!std::isfinite(w)) continue;  // a grid point that overflowed gives no weight
        sum += w * grid.value(k, light);
        weights += w;
    }
    return weights > 0.0f ? sum / weights : 0.0f;
}

}  // namespace

void sort_shadow_points(ShadowGrid &grid) {
    if (grid.point_count() > 1) sort_by_x(grid, 0, grid.point_count() - 1);
}

bool build_shadow_points(std::span<const std::array<float, 3>> light_positions) {
    int done = 0;
    for (ShadowGrid &grid : shadow_model().grids) {
        if (grid.points.empty()) continue;
        status_message(kStatusIndent, "Building shadow points");
        grid.sorted.resize(grid.points.size());
        for (int k = 0; k < grid.point_count(); ++k) {
            grid.sorted[size_t(k)] = k;
            progress_step(++done);
            if (platform::key_is_down(platform::Key::Escape)) return false;
            const float *position = grid.points[size_t(k)].position;
            const int lights = std::min(grid.light_count, int(light_positions.size()));
            for (int l = 0; l < lights; ++l)
                grid.value(k, l) = shadow_ray(light_positions[size_t(l)].data(), position,
                                              grid.value(k, l));
        }
        status_message(kStatusIndent, "Qsort shadow points");
        sort_shadow_points(grid);
        prepare_grid_cells(grid);
    }
    return true;
}

namespace {

// The old blend around the nearest grid point: its column's axis gives the height, three
// neighbouring columns the values. Serves grids without cells (one column wide) and points no
// cell could be found for.
float nearest_columns_value(const ShadowGrid &grid, const float point[3], int light_index,
                            int nearest) {
    const int k = grid.sorted[size_t(nearest)];
    const int layer = grid.nu1 * grid.nv1;
    const int m = k / layer;
    const int i = (k % layer) / grid.nv1;
    const int j = (k % layer) % grid.nv1;
    const int L = grid.levels;

    const float *base = grid.points[size_t(j + i * grid.nv1)].position;
    const float *tip = grid.points[size_t(j + i * grid.nv1 + L * layer)].position;
    float axis[3], offset[3];
    for (int c = 0; c < 3; ++c) {
        axis[c] = tip[c] - base[c];
        offset[c] = point[c] - base[c];
    }
    const float axis2 = axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2];
    // Where the hair has no length there is no fur above the surface to shadow anything.
    if (!(axis2 > 0.0f)) return 0.0f;
    const float t = (offset[0] * axis[0] + offset[1] * axis[1] + offset[2] * axis[2]) / axis2;
    if (t < 0.0f) return 1.0f;
    if (t >= 1.0f) return 0.0f;
    // A grid column that is no number (an overflowed shell) gives no position along the hair.
    if (std::isnan(t)) return 0.0f;

    const float tm = float(m) / float(L);
    const int m2 = tm <= t ? m + 1 : m - 1;
    const auto columns = nearest_columns(grid, point, i, j);
    const float value_m = blend_level(grid, columns, point, m, light_index);
    // The neighbouring level lies outside the grid only for points the tests above have not
    // placed between the levels; they take the nearest level's value.
    if (m2 < 0 || m2 > L) return value_m;
    const float tm2 = float(m2) / float(L);
    const float value_m2 = blend_level(grid, columns, point, m2, light_index);
    return std::fabs((t - tm2) / (tm2 - tm)) * value_m + std::fabs((t - tm) / (tm2 - tm)) * value_m2;
}

// Where a search by x starts: the first sorted point whose x is not above q's.
int sorted_position_of(const ShadowGrid &grid, float x) {
    const auto it = std::partition_point(grid.sorted.begin(), grid.sorted.end(), [&](int k) {
        return grid.points[size_t(k)].position[0] > x;
    });
    return std::clamp(int(it - grid.sorted.begin()), 0, grid.point_count() - 1);
}

}  // namespace

namespace {

// Where the smooth query found a point: in a cell, or (when no cell would take it) by the
// grid point nearest to it.
struct SmoothPlace {
    const ShadowGrid *grid = nullptr;  // none: the point has no place (value 0)
    bool in_cell = false;
    CellPlace cell;
    int nearest = 0;
    // Found inside a cell from the hint: searching again from the hint it leaves gives this place
    // again. Any other answer may change when searched for again.
    bool settled = false;
    bool from_hint = false;  // found by walking from the hinted cell
};

// `start`, when given, is where in the hinted cell the placement begins, and is left at the
// placement found there.
SmoothPlace locate_smooth(const float point[3], int p, int &hint, GridVector *start = nullptr) {
    const ShadowModel &model = shadow_model();
    if (p < 0 || p >= static_cast<int>(model.grids.size())) return {};
    const ShadowGrid &grid = model.grids[size_t(p)];
    if (grid.points.empty() || grid.sorted.size() != grid.points.size()) return {};
    // A point that is no point (hair geometry overflowed) has no place in the grid.
    if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2])) return {};

    // The hint names a cell; a search that loses its way starts again at the nearest point.
    SmoothPlace found;
    found.grid = &grid;
    if (locate_in_cells(grid, point, hint, found.cell, start)) {
        found.in_cell = true;
        found.from_hint = true;
        found.settled = found.cell.inside;
        return found;
    }
    found.nearest = nearest_sorted_index(grid, point, sorted_position_of(grid, point[0]));
    const int k = grid.sorted[size_t(found.nearest)] % (grid.nu1 * grid.nv1);
    if (locate_around_column(grid, point, k / grid.nv1, k % grid.nv1, found.cell)) {
        hint = grid_cell_index(grid, found.cell.i, found.cell.j);
        found.in_cell = true;
        return found;
    }
    hint = 0;
    return found;
}

float smooth_value(const SmoothPlace &found, const float point[3], int light_index) {
    if (!found.grid || light_index < 0 || light_index >= found.grid->light_count) return 0.0f;
    if (found.in_cell) return cell_shadow_value(*found.grid, found.cell, light_index);
    return nearest_columns_value(*found.grid, point, light_index, found.nearest);
}

}  // namespace

float shadow_smooth(const float point[3], int light_index, int p, int &hint) {
    const ShadowModel &model = shadow_model();
    // A light the grid has no values for needs no search.
    if (p < 0 || p >= static_cast<int>(model.grids.size())) return 0.0f;
    const ShadowGrid &grid = model.grids[size_t(p)];
    if (light_index < 0 || light_index >= grid.light_count) return 0.0f;
    return smooth_value(locate_smooth(point, p, hint), point, light_index);
}

namespace {

// Both forms of the query for all lights: a place that is not settled is searched for again from
// the hint it left, light by light, so that every light gets exactly what a query of its own
// gives. Lights the grid has no values for get 0 without a search, as their own queries do.
// `start` as for locate_smooth. Returns whether the last search placed the point in the cell
// the hint named, or one it walked to from there.
bool smooth_lights(const float point[3], int p, int &hint, GridVector *start, std::span<float> values) {
    const ShadowModel &model = shadow_model();
    const bool has_grid = p >= 0 && p < static_cast<int>(model.grids.size());
    const size_t lights = has_grid ? size_t(std::max(model.grids[size_t(p)].light_count, 0)) : 0;
    SmoothPlace found;
    for (size_t l = 0; l < values.size(); ++l) {
        if (l >= lights) {
            values[l] = 0.0f;
            continue;
        }
        if (l == 0 || !found.settled) found = locate_smooth(point, p, hint, start);
        values[l] = smooth_value(found, point, int(l));
    }
    return found.from_hint;
}

}  // namespace

void shadow_smooth_lights(const float point[3], int p, int &hint, std::span<float> values) {
    smooth_lights(point, p, hint, nullptr, values);
}

void shadow_smooth_lights(const float point[3], int p, HairShadowHint &hint, std::span<float> values) {
    // The points of a hair are evenly spaced along a smooth curve: the next place is about as far
    // on from the last as the last was from the one before.
    GridVector start = kCellMiddle;
    if (hint.placed >= 2) {
        const GridVector &last = hint.place[0], &before = hint.place[1];
        start = {2 * last.x - before.x, 2 * last.y - before.y, 2 * last.z - before.z};
    } else if (hint.placed == 1) {
        start = hint.place[0];
    }
    const int cell = hint.cell;
    const bool placed = smooth_lights(point, p, hint.cell, &start, values);
    hint.placed = !placed ? 0 : hint.cell == cell && hint.placed >= 1 ? 2 : 1;
    hint.place[1] = hint.place[0];
    hint.place[0] = start;
}

int shadow_smooth_hint(int p, float u, float v) {
    const ShadowModel &model = shadow_model();
    if (p < 0 || p >= static_cast<int>(model.grids.size())) return 0;
    const ShadowGrid &grid = model.grids[size_t(p)];
    if (!grid_has_cells(grid)) return 0;
    auto cell = [](float x, int cells) {
        const float at = x * float(cells);
        return at > 0.0f ? std::min(int(at), cells - 1) : 0;
    };
    return grid_cell_index(grid, cell(u, grid.nu1 - 1), cell(v, grid.nv1 - 1));
}

}  // namespace vellimor
