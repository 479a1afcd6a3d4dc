// The shadow model the fur casts on itself: for every casting surface a stack of shells between
// the surface and the hair tips, each a triangulated copy of the surface pushed out along the
// normal; every other surface blocks light with its bare shell. Two queries answer how much a
// point is shadowed from a light: an exact ray through all shell triangles, and a smooth
// interpolation over a grid of values precomputed at the shell vertices.
#pragma once

#include <array>
#include <span>
#include <vector>

namespace vellimor {

// One triangle of a shell, in build order (level 0 of every surface first, so the first
// triangle a ray crosses is the darkest shell on its way).
struct ShadowTriangle {
    float a[3], b[3], c[3];
    float normal[3];  // unit normal of (c - a) x (b - a); zero for a degenerate triangle
    float d;          // plane offset: -normal·a
    float s;          // shadow value of the shell
    short level;
    short axis;        // projection used by the inside test: 0 drops z, 1 drops y, 2 drops x
    float edge[3][2];  // b - a, c - b, a - c in the two kept coordinates
};

constexpr short kDropZ = 0, kDropY = 1, kDropX = 2;

struct ShadowPoint {
    float position[3];
};

// A point of a grid cell's geometry, in double precision as the smooth query works.
struct GridVector {
    double x, y, z;
};

// One cell of a grid as the smooth query places points in it, worked out once per build: the
// four columns' bases, spans and span lengths, in the order (i, j), (i + 1, j), (i, j + 1),
// (i + 1, j + 1), and how far the surface bows out of the bases' quadrilateral along each edge.
struct ShadowCell {
    GridVector base[4];
    GridVector span[4];
    double length[4];
    double sag_a[2];  // along a on the edge b = 0 and on the edge b = 1
    double sag_b[2];  // along b on the edge a = 0 and on the edge a = 1
};

// The precomputed values of one casting surface: (nu1 x nv1) columns of levels + 1 points,
// point k = j + i·nv1 + level·nu1·nv1, each with one value per light.
struct ShadowGrid {
    int nu1 = 0, nv1 = 0;
    int levels = 0;  // L: the last level is the hair tips
    int light_count = 0;
    std::vector<ShadowPoint> points;
    std::vector<float> values;  // light_count per point, point-major
    std::vector<int> sorted;    // point indices by x, largest first
    bool closed_u = false, closed_v = false;  // the last column row is the first (a seam)
    std::vector<ShadowCell> cells;  // (nu1 - 1) x (nv1 - 1), cell (i, j) at j + i·(nv1 - 1)

    int point_count() const { return static_cast<int>(points.size()); }
    float &value(int k, int light) { return values[size_t(k) * size_t(light_count) + light]; }
    float value(int k, int light) const { return values[size_t(k) * size_t(light_count) + light]; }
};

// The process-wide model: rebuilt as a whole, freed when nothing casts shadows or a build was
// aborted. grids has one entry per surface of the scene table (empty for non-casters).
struct ShadowModel {
    std::vector<ShadowTriangle> triangles;
    std::vector<ShadowGrid> grids;
};

ShadowModel &shadow_model();
// Empties the model and every grid (queries then answer as for a scene without casters).
void free_shadow_model();
// The shell triangles, for drawing them as an overlay.
std::span<const ShadowTriangle> shadow_triangles();

// Rebuilds the whole shadow model for the current frame, using the scene's lights (or, in a
// scene without lights, the default light at the camera).
void quant_patches();

// Appends the triangles (c0, c1, c2) and (c0, c2, c3) of a shell quad, or (c0, c2, c1) and
// (c0, c3, c2) with flip.
void add_shadow_quad(std::vector<ShadowTriangle> &triangles, const float c0[3], const float c1[3],
                     const float c2[3], const float c3[3], float s, int level, bool flip);

// Fills every grid's light values by casting a ray from each point to each light, then sorts the
// grids' points by x. Returns false when Escape aborted it.
bool build_shadow_points(std::span<const std::array<float, 3>> light_positions);

// Sorts the grid's point indices by x, largest first (pivots from the standard generator).
void sort_shadow_points(ShadowGrid &grid);

// Exact query: the shadow value (0 lit .. 1 fully shadowed) of `point` for the light at
// `light`, given that the point already has value s. Without a model: s.
float shadow_ray(const float light[3], const float point[3], float s);

// Smooth query on surface p's grid of precomputed shadow values for light number light_index:
// the values interpolated across the grid cell that holds the point and along its columns.
// `hint` carries the search position between queries of nearby points (start it at 0, or at
// shadow_smooth_hint of the hair's root). Without a grid, or for a light the grid has no values
// for: 0.
float shadow_smooth(const float point[3], int light_index, int p, int &hint);

// The smooth query for lights 0 .. values.size() - 1 at once, exactly as shadow_smooth for each
// light in turn with the same hint: a point found inside a cell is placed only once.
void shadow_smooth_lights(const float point[3], int p, int &hint, std::span<float> values);

// The hint of the smooth queries along one hair: the cell the last point was found in and the
// places there of the last points found in it. Placing the next point starts from those places
// instead of the cell's middle: the points of a hair lie close together, so the placement
// settles in fewer steps, on the same place.
struct HairShadowHint {
    int cell = 0;
    int placed = 0;         // how many of the places hold points found in `cell` (0 to 2)
    GridVector place[2]{};  // (a, b, c) as CellPlace counts them: the last point's, the one before
};

// shadow_smooth_lights for the next point of a hair, carrying the hair's hint.
void shadow_smooth_lights(const float point[3], int p, HairShadowHint &hint, std::span<float> values);

// A starting hint for the smooth queries of a hair whose root lies at fractional (u, v) of
// surface p: the queries of one hair then depend on that hair alone.
int shadow_smooth_hint(int p, float u, float v);

// Draws the shadow model's triangles over the view for inspection: translucent, coloured by level
// (red 0, green 1, blue 2, grey above), without depth test.
void draw_shadow_triangles();

}  // namespace vellimor
