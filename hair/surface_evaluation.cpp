#include "hair/surface_evaluation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vellimor {

void end_process_after_host_failure(const char *message, const char *stdout_message) {
    std::fputs(message, stderr);
    if (stdout_message) std::fputs(stdout_message, stdout);
    std::fflush(nullptr);
    std::exit(kHostEvaluationFailureStatus);
}

void transform_point(const ModelMatrix &matrix, const double p[4], float out[3]) {
    const auto &m = matrix.m;
    double q[4];
    for (int j = 0; j < 4; ++j)
        q[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + p[3] * m[3][j];
    const double w = q[3] != 0.0 ? q[3] : 1.0;
    for (int j = 0; j < 3; ++j) out[j] = static_cast<float>(q[j] / w);
}

void transform_direction(const ModelMatrix &matrix, const double d[3], double out[3]) {
    const auto &m = matrix.m;
    for (int j = 0; j < 3; ++j) out[j] = d[0] * m[0][j] + d[1] * m[1][j] + d[2] * m[2][j];
}

template <typename T>
void normalise_vector(T v[3]) {
    const T length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0)) return;
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

void normalise(float v[3]) { normalise_vector(v); }
void normalise(double v[3]) { normalise_vector(v); }

void cross(const float a[3], const float b[3], float out[3]) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

int evaluate_surface_point(const SAA_Scene &scene, const SAA_Elem &model, int selector, double u,
                           double v, float out[3]) {
    double p[4];
    const int status = SAA_surfaceEvalPosition(&scene, &model, selector, 0, u, v, p);
    if (status != SAA_OK) return status;
    const double w = p[3] != 0.0 ? p[3] : 1.0;
    for (int i = 0; i < 3; ++i) out[i] = static_cast<float>(p[i] / w);
    return SAA_OK;
}

}  // namespace vellimor
