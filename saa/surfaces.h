// Exact evaluation of patch and NURBS surfaces: homogeneous position and the partial derivatives
// of the projected position.
#pragma once

#include "saa/scene_data.h"

namespace vellimor::saa {

struct SurfacePoint {
    Vec4 position;  // (w·x, w·y, w·z, w)
    Vec3 du, dv;    // derivatives of (x, y, z) by u and by v
};

constexpr int kMaxNurbsDegree = 15;
constexpr int kMaxSurfaceVertices = 1 << 24;

// Parameter extent of one patch direction: 0..extent.
int patch_extent(const PatchDirection &direction);
// Fewest vertices a direction of this type and closedness needs to have a non-empty extent.
int patch_min_count(int type, bool closed);

// Fills the cached homogeneous control points and checks nothing; the loader validates first.
void prepare_nurbs(NurbsSurface &surface);
// First and last parameter of the evaluable domain of one direction.
double nurbs_domain_start(const NurbsDirection &direction);
double nurbs_domain_end(const NurbsDirection &direction);

// Both return false for parameters that are not finite. Parameters outside the extent are
// clamped (open directions) or wrapped (closed patch directions).
bool evaluate_patch(const PatchSurface &surface, double u, double v, SurfacePoint &out);
bool evaluate_nurbs(const NurbsSurface &surface, double u, double v, SurfacePoint &out);

// A model's surface, whichever kind it is (the model must have one).
bool evaluate_surface(const Model &model, double u, double v, SurfacePoint &out);
// Unit normal; at a pole (parallel tangents) the normal of a point a tiny step inside.
bool surface_normal(const Model &model, double u, double v, Vec3 &normal);
struct SurfaceRange {
    double u0, u1, v0, v1;
};
SurfaceRange surface_range(const Model &model);

}  // namespace vellimor::saa
