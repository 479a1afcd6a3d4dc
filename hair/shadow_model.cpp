// The shell triangles of the shadow model and the exact query that casts a ray through them.
#include <cmath>

#include "hair/shadows.h"

namespace vellimor {

namespace {

// A crossing this close to the light is the light itself, not something in front of it.
constexpr float kBeforeLight = 0.99999f;

void subtract(const float a[3], const float b[3], float out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = a[k] - b[k];
}

float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The two coordinates the projection keeps, in the order the edge functions use them.
struct KeptAxes {
    int p, q;
};
KeptAxes kept_axes(short axis) {
    switch (axis) {
    case kDropZ: return {0, 1};
    case kDropY: return {2, 0};
    default: return {2, 1};
    }
}

short projection_axis(const float n[3]) {
    const float x = std::fabs(n[0]), y = std::fabs(n[1]), z = std::fabs(n[2]);
    if (z > std::fmax(x, y)) return kDropZ;
    return x >= y ? kDropX : kDropY;
}

ShadowTriangle make_triangle(const float a[3], const float b[3], const float c[3], float s,
                             int level) {
    ShadowTriangle t{};
    for (int k = 0; k < 3; ++k) {
        t.a[k] = a[k];
        t.b[k] = b[k];
        t.c[k] = c[k];
    }
    float ca[3], ba[3];
    subtract(c, a, ca);
    subtract(b, a, ba);
    t.normal[0] = ca[1] * ba[2] - ca[2] * ba[1];
    t.normal[1] = ca[2] * ba[0] - ca[0] * ba[2];
    t.normal[2] = ca[0] * ba[1] - ca[1] * ba[0];
    const float length = std::sqrt(dot(t.normal, t.normal));
    if (length > 0.0f)
        for (float &n : t.normal) n /= length;
    t.d = -dot(t.normal, a);
    t.s = s;
    t.level = static_cast<short>(level);
    t.axis = projection_axis(t.normal);
    const KeptAxes kept = kept_axes(t.axis);
    const float *from[3] = {a, b, c};
    const float *to[3] = {b, c, a};
    for (int e = 0; e < 3; ++e) {
        t.edge[e][0] = to[e][kept.q] - from[e][kept.q];
        t.edge[e][1] = to[e][kept.p] - from[e][kept.p];
    }
    return t;
}

// Inside test in the triangle's projection: h on the same side of all three edges (or on one).
bool projection_contains(const ShadowTriangle &t, const float h[3]) {
    const KeptAxes kept = kept_axes(t.axis);
    const float *start[3] = {t.a, t.b, t.c};
    float e[3];
    for (int k = 0; k < 3; ++k)
        e[k] = (h[kept.p] - start[k][kept.p]) * t.edge[k][0] -
               (h[kept.q] - start[k][kept.q]) * t.edge[k][1];
    return (e[0] >= 0.0f && e[1] >= 0.0f && e[2] >= 0.0f) ||
           (e[0] <= 0.0f && e[1] <= 0.0f && e[2] <= 0.0f);
}

}  // namespace

ShadowModel &shadow_model() {
    static ShadowModel model;
    return model;
}

void free_shadow_model() {
    ShadowModel &model = shadow_model();
    model.triangles = {};
    model.grids = {};
}

std::span<const ShadowTriangle> shadow_triangles() { return shadow_model().triangles; }

void add_shadow_quad(std::vector<ShadowTriangle> &triangles, const float c0[3], const float c1[3],
                     const float c2[3], const float c3[3], float s, int level, bool flip) {
    if (flip) {
        triangles.push_back(make_triangle(c0, c2, c1, s, level));
        triangles.push_back(make_triangle(c0, c3, c2, s, level));
    } else {
        triangles.push_back(make_triangle(c0, c1, c2, s, level));
        triangles.push_back(make_triangle(c0, c2, c3, s, level));
    }
}

float shadow_ray(const float light[3], const float point[3], float s) {
    float direction[3];
    subtract(light, point, direction);
    for (const ShadowTriangle &t : shadow_model().triangles) {
        if (!(t.s > s)) continue;
        const float facing = dot(t.normal, direction);
        if (facing == 0.0f) continue;  // parallel to the plane: never crosses it
        const float along = -(dot(t.normal, point) + t.d) / facing;
        if (!(along > 0.0f && along < kBeforeLight)) continue;
        float h[3];
        for (int k = 0; k < 3; ++k) h[k] = point[k] + along * direction[k];
        if (projection_contains(t, h)) return t.s;
    }
    return s;
}

}  // namespace vellimor
