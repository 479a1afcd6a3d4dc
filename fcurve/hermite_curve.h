// One component curve of a function curve: a two-dimensional cubic Hermite curve through keys,
// frame on x and value on y, each segment traced by t in 0..1.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vellimor {

namespace herm {

// Point types: how dragging one handle moves the other, and the shape of the leaving segment.
enum PointType : int32_t {
    Contin = 0,   // the other handle mirrors the dragged one
    Tangent = 1,  // the other handle stays on the same line, keeping its on-screen length
    Break = 2,    // handles are independent
    Linear = 3    // straight segment to the next point; handles unused
};

// What HermMoveHandle moves and what a pick hit.
enum Part : int {
    kPoint = 0,
    kInHandle = 1,
    kOutHandle = 2,
    kOnCurve = 3
};

// Limit flags.
enum Limit : uint32_t {
    kXMin = 1,
    kYMin = 2,
    kXMax = 4,
    kYMax = 8
};

// Index of a pick record that hit nothing.
inline constexpr int kNoHit = -2;

// Room for points a new curve starts with.
inline constexpr int kInitialCapacity = 10;

}  // namespace herm

struct HermPoint {
    float x = 0, y = 0;
    // The incoming handle sits at (x - in_dx, y - in_dy), the outgoing at (x + out_dx, y + out_dy).
    // Each offset is one sixth of the segment's derivative at that end.
    float in_dx = 0, in_dy = 0;
    float out_dx = 0, out_dy = 0;
    int32_t type = herm::Contin;
    // Cubic coefficients (a, b, c, d) of the segment starting here: x(t) = ((a t + b) t + c) t + d.
    float coef_x[4] = {0, 0, 0, 0};
    float coef_y[4] = {0, 0, 0, 0};
};

// The operation HermPoint (a point on the curve) hides the type's name once declared; code
// after it names a key HermKey.
using HermKey = HermPoint;

struct Herm {
    std::vector<HermKey> points;
    uint32_t limit_flags = 0;
    float x_min = 0, x_max = 0, y_min = 0, y_max = 0;
    float color[3] = {1, 1, 1};
    int32_t nb_samples = 0;
    int32_t dirty = 0;

    int nb_points() const { return static_cast<int>(points.size()); }
    int capacity() const { return static_cast<int>(points.capacity()); }
};

struct HermXY {
    float x = 0, y = 0;
};

struct HermParameter {
    int segment = 0;
    float t = 0;
};

struct HermPick {
    Herm *curve = nullptr;
    int what = herm::kOnCurve;
    int index = herm::kNoHit;
    float x = 0, y = 0;
    int type = herm::Contin;
};

std::unique_ptr<Herm> HermCreate(float x, float y);
void HermFree(std::unique_ptr<Herm> &curve);

// which: one of herm::Limit; anything else is refused with a message on stderr.
void HermSetLimit(Herm &curve, int which, float value);

void HermRecompute(Herm &curve);
// Point and tangent (derivative / 6) at the global parameter u in 0..1, all segments sharing it.
HermXY HermPoint(Herm &curve, float u);
HermXY HermTangent(Herm &curve, float u);
// Value at frame x, found by sampling the curve every 0.001 of u; 0 without a curve.
float HermEvaluate(Herm *curve, float x);

// Each returns the index of the new point, or -1 when the index is out of range.
int HermInsertPoint(Herm &curve, int k, float x, float y);
void HermDeletePoint(Herm &curve, int k);
int HermSplit(Herm &curve, int k, float t);

void HermMoveHandle(Herm &curve, int what, int k, float hx, float hy, int type);
// 0, or -1 when k is out of range.
int HermSetPointType(Herm &curve, int k, int type);

HermParameter HermNearestParameter(Herm &curve, float x);
HermPick HermPickCurve(Herm &curve, float x, float y);

// World units per screen pixel of the curve editor's view, used for pick tolerances and for
// keeping a tangent handle's on-screen length; 1 until the editor sets them.
void HermSetUnitsPerPixel(float ux, float uy);
HermXY HermUnitsPerPixel();

}  // namespace vellimor
