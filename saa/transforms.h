// Transform evaluation and 4x4 matrices in the row-vector convention (translation in the last row).
#pragma once

#include "saa/scene_data.h"

namespace vellimor::saa {

// The model's transform at a (fractional) frame: the rest transform without keys, the first or
// last key outside their range, interpolated between keys.
Transform transform_at(const Model &model, double frame);

Matrix4 identity_matrix();
Matrix4 multiply(const Matrix4 &a, const Matrix4 &b);
Matrix4 transform_matrix(const Transform &t);
Vec3 transform_point(const Matrix4 &m, const Vec3 &p);

}  // namespace vellimor::saa
