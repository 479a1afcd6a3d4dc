// The fur side of a surface from a grid of points sampled over its parameter range: the seams
// and collapsed ends tell whether it is closed, and the signed volume of the sampled triangles
// (oriented like the fur) tells outward from inward.
#include "saa/fur_side.h"

#include <algorithm>
#include <cmath>

#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

// Samples per direction: enough for the volume's sign of any shape a model file holds.
constexpr int kSamples = 48;
// Points closer than this fraction of the surface's size are the same point.
constexpr double kSamePoint = 1e-6;

struct Samples {
    std::vector<Vec3> points;  // (kSamples + 1)², u varying fastest
    Bounds bounds;
    double size = 0;  // diagonal of the bounds

    const Vec3 &at(int i, int j) const { return points[static_cast<std::size_t>(j) * (kSamples + 1) + i]; }
};

Samples sample(const Model &m) {
    const SurfaceRange r = surface_range(m);
    Samples s;
    s.points.reserve((kSamples + 1) * (kSamples + 1));
    for (int j = 0; j <= kSamples; ++j)
        for (int i = 0; i <= kSamples; ++i) {
            SurfacePoint p{};
            evaluate_surface(m, r.u0 + (r.u1 - r.u0) * i / kSamples, r.v0 + (r.v1 - r.v0) * j / kSamples, p);
            const double w = p.position[3];
            s.points.push_back({p.position[0] / w, p.position[1] / w, p.position[2] / w});
        }
    Vec3 &low = s.bounds.low, &high = s.bounds.high;
    low = high = s.points[0];
    for (const Vec3 &p : s.points)
        for (std::size_t k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], p[k]);
            high[k] = std::max(high[k], p[k]);
        }
    s.size = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
    return s;
}

bool same(const Vec3 &a, const Vec3 &b, double tolerance) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]) <= tolerance;
}

// Whether the borders at the two ends of u (`fixed_u`) or of v close: they meet, or each
// shrinks to a point.
bool border_closes(const Samples &s, bool fixed_u) {
    const double tolerance = kSamePoint * s.size;
    bool meet = true, first_point = true, last_point = true;
    for (int k = 0; k <= kSamples; ++k) {
        const Vec3 &a = fixed_u ? s.at(0, k) : s.at(k, 0);
        const Vec3 &b = fixed_u ? s.at(kSamples, k) : s.at(k, kSamples);
        meet = meet && same(a, b, tolerance);
        first_point = first_point && same(a, s.at(0, 0), tolerance);
        last_point = last_point && same(b, fixed_u ? s.at(kSamples, 0) : s.at(0, kSamples), tolerance);
    }
    return meet || (first_point && last_point);
}

double det(const Vec3 &a, const Vec3 &b, const Vec3 &c) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
}

}  // namespace

FurSide fur_side(const Model &m) {
    const Samples s = sample(m);
    FurSide side;
    side.closed = s.size > 0 && border_closes(s, true) && border_closes(s, false);
    if (!side.closed) return side;
    // Six times the volume enclosed, oriented by du × dv.
    double volume = 0;
    for (int j = 0; j < kSamples; ++j)
        for (int i = 0; i < kSamples; ++i)
            volume += det(s.at(i, j), s.at(i + 1, j), s.at(i + 1, j + 1)) + det(s.at(i, j), s.at(i + 1, j + 1), s.at(i, j + 1));
    // Patch surfaces grow fur along dv × du.
    side.outward = m.patch ? volume < 0 : volume > 0;
    return side;
}

void turn_over(Model &m) {
    if (m.patch) {
        PatchSurface &p = *m.patch;
        for (int j = 0; j < p.v.count; ++j) {
            auto row = p.vertices.begin() + static_cast<long>(j) * p.u.count;
            std::reverse(row, row + p.u.count);
        }
        return;
    }
    NurbsSurface &n = *m.nurbs;
    for (int j = 0; j < n.v.count; ++j) {
        auto row = n.points.begin() + static_cast<long>(j) * n.u.count;
        std::reverse(row, row + n.u.count);
    }
    std::vector<double> &knots = n.u.knots;
    const double sum = knots.front() + knots.back();
    std::reverse(knots.begin(), knots.end());
    for (double &k : knots) k = sum - k;
    prepare_nurbs(n);
}

Bounds surface_bounds(const Model &m) { return sample(m).bounds; }

}  // namespace vellimor::saa
