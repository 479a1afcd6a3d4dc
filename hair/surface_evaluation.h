// Host surface evaluation as hair generation uses it: points in homogeneous coordinates moved
// by the model matrix (row vectors), tangent frames, and the fatal end of the process when the
// host cannot evaluate a surface it described.
#pragma once

#include "saa/saa.h"

namespace vellimor {

// Exit status of a process ended by a failed host evaluation. The host relies on the plug-in
// not continuing with broken geometry, but a failure must not read as success.
constexpr int kHostEvaluationFailureStatus = 3;

// Writes `message` on the standard error stream (and `stdout_message` on the standard output
// when given) and ends the process with kHostEvaluationFailureStatus.
[[noreturn]] void end_process_after_host_failure(const char *message,
                                                 const char *stdout_message = nullptr);

struct ModelMatrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// (x, y, z, w)·M divided by its fourth component; a zero fourth component counts as 1.
void transform_point(const ModelMatrix &matrix, const double homogeneous[4], float out[3]);
// Direction moved by the upper 3x3 part of M (no translation), not normalised.
void transform_direction(const ModelMatrix &matrix, const double direction[3], double out[3]);
// Scales to unit length; a zero vector stays zero instead of becoming NaN.
void normalise(float v[3]);
void normalise(double v[3]);
void cross(const float a[3], const float b[3], float out[3]);

// The surface point at host parameters (u, v) divided by its w. Returns the host's status.
int evaluate_surface_point(const SAA_Scene &scene, const SAA_Elem &model, int selector,
                           double u, double v, float out[3]);

}  // namespace vellimor
