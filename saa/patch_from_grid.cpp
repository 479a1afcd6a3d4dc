// A quad grid as a cardinal patch surface through its vertices.
#include "saa/model_surfaces.h"

namespace vellimor::saa {

namespace {

Vec3 extend(const Vec3 &last, const Vec3 &before) {
    return {2 * last[0] - before[0], 2 * last[1] - before[1], 2 * last[2] - before[2]};
}

Vec3 midpoint(const Vec3 &a, const Vec3 &b) { return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}; }

// One row of grid vertices along u, with its extra end columns when u is open.
std::vector<Vec3> patch_row(const QuadGrid &g, const std::vector<Vec3> &positions, int j) {
    std::vector<Vec3> row;
    row.reserve(static_cast<std::size_t>(g.count_u) + 2);
    const auto vertex = [&](int i) { return positions[static_cast<std::size_t>(g.vertex[static_cast<std::size_t>(j) * g.count_u + i])]; };
    if (!g.closed_u) row.push_back(extend(vertex(0), vertex(1)));
    for (int i = 0; i < g.count_u; ++i) row.push_back(vertex(i));
    if (!g.closed_u) row.push_back(extend(vertex(g.count_u - 1), vertex(g.count_u - 2)));
    return row;
}

// The row beyond a pole: each column's continuation over the pole is the column half way round
// (the mean of the two nearest it when the count is odd).
std::vector<Vec3> across_pole(const std::vector<Vec3> &ring) {
    const std::size_t n = ring.size(), half = n / 2;
    std::vector<Vec3> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = n % 2 == 0 ? ring[(i + half) % n] : midpoint(ring[(i + half) % n], ring[(i + half + 1) % n]);
    return out;
}

std::vector<Vec3> extend_row(const std::vector<Vec3> &last, const std::vector<Vec3> &before) {
    std::vector<Vec3> out(last.size());
    for (std::size_t i = 0; i < last.size(); ++i) out[i] = extend(last[i], before[i]);
    return out;
}

}  // namespace

PatchSurface patch_through_grid(const QuadGrid &g, const std::vector<Vec3> &positions) {
    std::vector<std::vector<Vec3>> rows;
    for (int j = 0; j < g.count_v; ++j) rows.push_back(patch_row(g, positions, j));
    if (!g.closed_v) {
        // The ends of the rows, each with its pole or its straight continuation beyond it.
        auto end_rows = [&](const std::vector<Vec3> &edge, const std::vector<Vec3> &inner, int pole) {
            if (pole < 0) return std::vector<std::vector<Vec3>>{extend_row(edge, inner)};
            return std::vector<std::vector<Vec3>>{across_pole(edge),
                                                  std::vector<Vec3>(edge.size(), positions[static_cast<std::size_t>(pole)])};
        };
        const auto before = end_rows(rows[0], rows[1], g.pole_start);
        const auto after = end_rows(rows[rows.size() - 1], rows[rows.size() - 2], g.pole_end);
        rows.insert(rows.begin(), before.begin(), before.end());
        rows.insert(rows.end(), after.rbegin(), after.rend());
    }
    PatchSurface patch;
    patch.u = {kPatchCardinal, static_cast<int>(rows[0].size()), g.closed_u};
    patch.v = {kPatchCardinal, static_cast<int>(rows.size()), g.closed_v};
    patch.vertices.reserve(rows.size() * rows[0].size());
    for (const auto &row : rows) patch.vertices.insert(patch.vertices.end(), row.begin(), row.end());
    return patch;
}

}  // namespace vellimor::saa
