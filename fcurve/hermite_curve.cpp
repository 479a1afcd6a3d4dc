#include "fcurve/hermite_curve.h"

#include <cmath>
#include <cstdio>

namespace vellimor {

namespace {

// Evaluation walks the whole curve in steps of this much of the global parameter.
constexpr float kEvaluateStep = 0.001f;
// Picking on the curve itself samples it this many times over the global parameter.
constexpr int kPickSamples = 50;
// Pick tolerance in screen pixels.
constexpr float kPickPixels = 7.0f;
// Offsets of both handles of a point inserted between others.
constexpr float kInsertedHandle = 10.0f;
// A tangent handle's zero component is replaced by this so that it keeps a direction.
constexpr float kTinyHandle = 0.001f;
// Handle offsets are one sixth of the segment derivative.
constexpr float kDerivativeScale = 6.0f;

HermXY units_per_pixel{1.0f, 1.0f};

float cubic(const float c[4], float t) { return ((c[0] * t + c[1]) * t + c[2]) * t + c[3]; }

float cubic_slope(const float c[4], float t) { return (3.0f * c[0] * t + 2.0f * c[1]) * t + c[2]; }

void constant_segment(float c[4], float p) {
    c[0] = c[1] = c[2] = 0.0f;
    c[3] = p;
}

void linear_segment(float c[4], float p0, float p1) {
    c[0] = c[1] = 0.0f;
    c[2] = p1 - p0;
    c[3] = p0;
}

void hermite_segment(float c[4], float p0, float p1, float out0, float in1) {
    const float t0 = kDerivativeScale * out0;
    const float t1 = kDerivativeScale * in1;
    c[0] = 2.0f * (p0 - p1) + t0 + t1;
    c[1] = 3.0f * (p1 - p0) - 2.0f * t0 - t1;
    c[2] = t0;
    c[3] = p0;
}

void recompute_if_dirty(Herm &curve) {
    if (curve.dirty) HermRecompute(curve);
}

bool valid_index(const Herm &curve, int k) { return k >= 0 && k < curve.nb_points(); }

// Segment and local t of the global parameter u; each of the n-1 segments takes an equal share.
HermParameter segment_of(int n, float u) {
    const int segments = n - 1;
    if (segments < 1) return {0, 0.0f};
    if (u >= 1.0f) return {segments - 1, 1.0f};
    const float span = static_cast<float>(segments);
    int s = u > 0.0f ? static_cast<int>(u * span) : 0;
    if (s > segments - 1) s = segments - 1;  // u just below 1 may round up to the end
    return {s, (u - static_cast<float>(s) / span) * span};
}

HermXY segment_point(const HermKey &p, float t) { return {cubic(p.coef_x, t), cubic(p.coef_y, t)}; }

HermXY segment_tangent(const HermKey &p, float t) {
    return {cubic_slope(p.coef_x, t) / kDerivativeScale, cubic_slope(p.coef_y, t) / kDerivativeScale};
}

// Turns `other` onto the direction of `dragged`, keeping its length as seen on screen.
void reaim_along(float dragged_x, float dragged_y, float &other_x, float &other_y) {
    const float ux = units_per_pixel.x, uy = units_per_pixel.y;
    const float dx = dragged_x / ux, dy = dragged_y / uy;
    const float ox = other_x / ux, oy = other_y / uy;
    const float dragged_length = std::sqrt(dx * dx + dy * dy);
    const float other_length = std::sqrt(ox * ox + oy * oy);
    other_x = dx / dragged_length * other_length * ux;
    other_y = dy / dragged_length * other_length * uy;
}

void set_handle(float &dx, float &dy, float &other_x, float &other_y, float nx, float ny, int type) {
    dx = nx;
    dy = ny;
    switch (type) {
        case herm::Tangent:
            if (dx == 0.0f) dx = kTinyHandle;
            if (dy == 0.0f) dy = kTinyHandle;
            reaim_along(dx, dy, other_x, other_y);
            break;
        case herm::Break:
            break;
        default:
            other_x = dx;
            other_y = dy;
            break;
    }
}

void grow_to(Herm &curve, size_t count) {
    if (curve.points.capacity() < count) curve.points.reserve(count);
}

}  // namespace

void HermSetUnitsPerPixel(float ux, float uy) {
    if (ux > 0.0f && std::isfinite(ux)) units_per_pixel.x = ux;
    if (uy > 0.0f && std::isfinite(uy)) units_per_pixel.y = uy;
}

HermXY HermUnitsPerPixel() { return units_per_pixel; }

std::unique_ptr<Herm> HermCreate(float x, float y) {
    auto curve = std::make_unique<Herm>();
    curve->points.reserve(herm::kInitialCapacity);
    HermKey p;
    p.x = x;
    p.y = y;
    curve->points.push_back(p);
    HermRecompute(*curve);
    return curve;
}

void HermFree(std::unique_ptr<Herm> &curve) { curve.reset(); }

void HermSetLimit(Herm &curve, int which, float value) {
    switch (which) {
        case herm::kXMin: curve.x_min = value; break;
        case herm::kYMin: curve.y_min = value; break;
        case herm::kXMax: curve.x_max = value; break;
        case herm::kYMax: curve.y_max = value; break;
        default:
            std::fprintf(stderr, "HermSetLimit: invalid limit %d\n", which);
            return;
    }
    curve.limit_flags |= static_cast<uint32_t>(which);
}

void HermRecompute(Herm &curve) {
    curve.dirty = 0;
    auto &pts = curve.points;
    if (pts.empty()) return;
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        HermKey &p0 = pts[i];
        const HermKey &p1 = pts[i + 1];
        if (p0.type == herm::Linear) {
            linear_segment(p0.coef_x, p0.x, p1.x);
            linear_segment(p0.coef_y, p0.y, p1.y);
        } else {
            hermite_segment(p0.coef_x, p0.x, p1.x, p0.out_dx, p1.in_dx);
            hermite_segment(p0.coef_y, p0.y, p1.y, p0.out_dy, p1.in_dy);
        }
    }
    // The last point starts no segment; its coefficients hold it in place, which is what a
    // one-point curve needs.
    HermKey &last = pts.back();
    constant_segment(last.coef_x, last.x);
    constant_segment(last.coef_y, last.y);
}

HermXY HermPoint(Herm &curve, float u) {
    recompute_if_dirty(curve);
    const int n = curve.nb_points();
    if (n == 0) return {};
    if (n == 1) return {curve.points[0].x, curve.points[0].y};
    const HermParameter at = segment_of(n, u);
    return segment_point(curve.points[at.segment], at.t);
}

HermXY HermTangent(Herm &curve, float u) {
    recompute_if_dirty(curve);
    const int n = curve.nb_points();
    if (n < 2) return {};
    const HermParameter at = segment_of(n, u);
    return segment_tangent(curve.points[at.segment], at.t);
}

float HermEvaluate(Herm *curve, float x) {
    if (!curve) return 0.0f;
    float u = 0.0f;
    HermXY p;
    for (;;) {
        p = HermPoint(*curve, u);
        u += kEvaluateStep;
        if (p.x >= x || u > 1.0f) break;
    }
    float y = p.y;
    if ((curve->limit_flags & herm::kYMin) && y < curve->y_min)
        y = curve->y_min;
    else if ((curve->limit_flags & herm::kYMax) && y > curve->y_max)
        y = curve->y_max;
    return y;
}

int HermInsertPoint(Herm &curve, int k, float x, float y) {
    auto &pts = curve.points;
    const int n = curve.nb_points();
    HermKey p;
    p.x = x;
    p.y = y;
    int index;
    if (n == 1) {
        // A second key: both get flat handles a third of the way towards each other.
        const float d = std::fabs(pts[0].x - x) / 3.0f;
        p.type = pts[0].type;
        index = x >= pts[0].x ? 1 : 0;
        grow_to(curve, 2);
        pts.insert(pts.begin() + index, p);
        for (HermKey &q : pts) {
            q.in_dx = q.out_dx = d;
            q.in_dy = q.out_dy = 0.0f;
        }
    } else {
        if (k < 0 || k > n) return -1;
        p.type = k == 0 ? static_cast<int32_t>(herm::Contin) : pts[k - 1].type;
        p.in_dx = p.out_dx = kInsertedHandle;
        grow_to(curve, static_cast<size_t>(n) + 1);
        pts.insert(pts.begin() + k, p);
        index = k;
    }
    curve.dirty = 1;
    HermRecompute(curve);
    return index;
}

void HermDeletePoint(Herm &curve, int k) {
    if (!valid_index(curve, k) || curve.nb_points() < 2) return;
    curve.points.erase(curve.points.begin() + k);
    HermRecompute(curve);
}

int HermSplit(Herm &curve, int k, float t) {
    if (k < 0 || k >= curve.nb_points() - 1) return -1;
    recompute_if_dirty(curve);
    const HermXY at = segment_point(curve.points[k], t);
    const HermXY slope = segment_tangent(curve.points[k], t);
    const int mid = HermInsertPoint(curve, k + 1, at.x, at.y);
    auto &pts = curve.points;
    if (pts[k].type == herm::Linear) return mid;
    // Each half of the segment is the same cubic over a shorter parameter range, so its end
    // derivatives are those of the whole segment scaled by its share: the new point's handles are
    // t and (1 - t) of the tangent there, and the outer handles shrink the same way.
    HermKey &m = pts[mid];
    m.type = herm::Contin;
    m.in_dx = t * slope.x;
    m.in_dy = t * slope.y;
    m.out_dx = (1.0f - t) * slope.x;
    m.out_dy = (1.0f - t) * slope.y;
    HermKey &before = pts[k];
    before.type = herm::Tangent;
    before.out_dx *= t;
    before.out_dy *= t;
    HermKey &after = pts[mid + 1];
    after.type = herm::Tangent;
    after.in_dx *= 1.0f - t;
    after.in_dy *= 1.0f - t;
    HermRecompute(curve);
    return mid;
}

void HermMoveHandle(Herm &curve, int what, int k, float hx, float hy, int type) {
    if (!valid_index(curve, k)) return;
    HermKey &p = curve.points[k];
    p.type = type;
    switch (what) {
        case herm::kPoint:
            p.x = hx;
            p.y = hy;
            break;
        case herm::kInHandle:
            set_handle(p.in_dx, p.in_dy, p.out_dx, p.out_dy, p.x - hx, p.y - hy, type);
            break;
        case herm::kOutHandle:
            set_handle(p.out_dx, p.out_dy, p.in_dx, p.in_dy, hx - p.x, hy - p.y, type);
            break;
        default:
            break;
    }
    HermRecompute(curve);
}

int HermSetPointType(Herm &curve, int k, int type) {
    if (!valid_index(curve, k)) return -1;
    const HermKey &p = curve.points[k];
    if (type == herm::Linear)
        HermMoveHandle(curve, herm::kPoint, k, p.x, p.y, type);
    else if (k == curve.nb_points() - 1)
        HermMoveHandle(curve, herm::kInHandle, k, p.x - p.in_dx, p.y - p.in_dy, type);
    else
        HermMoveHandle(curve, herm::kOutHandle, k, p.x + p.out_dx, p.y + p.out_dy, type);
    return 0;
}

HermParameter HermNearestParameter(Herm &curve, float x) {
    const int n = curve.nb_points();
    float best_u = 0.0f;
    float best_distance = 99999.0f;
    for (float u = 0.0f; u <= 1.0f; u += kEvaluateStep) {
        const float distance = std::fabs(HermPoint(curve, u).x - x);
        if (distance < best_distance) {
            best_distance = distance;
            best_u = u;
        }
    }
    if (n < 2) return {0, 0.0f};
    const float span = static_cast<float>(n - 1);
    int segment = static_cast<int>(best_u * span);
    // The parameter's last sample may land on the curve's very end: that is the end of the
    // last segment, not the start of a segment after it.
    if (segment > n - 2) segment = n - 2;
    return {segment, (best_u - static_cast<float>(segment) / span) * span};
}

HermPick HermPickCurve(Herm &curve, float x, float y) {
    HermPick pick;
    const int n = curve.nb_points();
    if (n == 0) return pick;
    const float tx = kPickPixels * units_per_pixel.x;
    const float ty = kPickPixels * units_per_pixel.y;
    const float step = 1.0f / static_cast<float>(kPickSamples);
    for (float u = 0.0f; u <= 1.0f; u += step) {
        const HermXY s = HermPoint(curve, u);
        if (std::fabs(s.x - x) < tx && std::fabs(s.y - y) < ty) {
            const int segment = n == 1 ? 0 : segment_of(n, u).segment;
            pick.curve = &curve;
            pick.what = herm::kOnCurve;
            pick.index = segment;
            pick.x = s.x;
            pick.y = s.y;
            pick.type = curve.points[segment].type;
            return pick;
        }
    }
    const HermKey &first = curve.points.front();
    const HermKey &last = curve.points.back();
    if (x < first.x && std::fabs(y - first.y) < ty) {
        pick.index = -1;
        pick.y = first.y;
    } else if (x > last.x && std::fabs(y - last.y) < ty) {
        pick.index = n;
        pick.y = last.y;
    } else {
        return pick;
    }
    pick.curve = &curve;
    pick.what = herm::kOnCurve;
    pick.x = x;
    pick.type = herm::Contin;
    return pick;
}

}  // namespace vellimor
