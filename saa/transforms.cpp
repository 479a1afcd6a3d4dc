// Model transforms and their animation: keys over frames interpolated continuously in time, so
// that evaluations a fraction of a frame apart differ as the motion says.
#include <cmath>

#include "saa/host_state.h"
#include "saa/transforms.h"

namespace vellimor::saa {

namespace {

constexpr double kDegrees = 3.14159265358979323846 / 180.0;

Vec3 lerp(const Vec3 &a, const Vec3 &b, double t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

Transform lerp(const Transform &a, const Transform &b, double t) {
    return {lerp(a.translation, b.translation, t), lerp(a.rotation, b.rotation, t),
            lerp(a.scaling, b.scaling, t)};
}

// Slope of one channel at key i: central difference over the neighbouring keys, one-sided at the
// ends (so two keys give a straight line).
Vec3 key_slope(const std::vector<TransformKey> &keys, std::size_t i, Vec3 Transform::*channel) {
    std::size_t a = i > 0 ? i - 1 : i;
    std::size_t b = i + 1 < keys.size() ? i + 1 : i;
    double span = keys[b].frame - keys[a].frame;
    Vec3 slope{0, 0, 0};
    if (span <= 0) return slope;
    for (int k = 0; k < 3; ++k) slope[k] = ((keys[b].value.*channel)[k] - (keys[a].value.*channel)[k]) / span;
    return slope;
}

// Cubic Hermite between keys i and i+1 with Catmull-Rom style slopes.
Vec3 hermite(const std::vector<TransformKey> &keys, std::size_t i, double frame, Vec3 Transform::*channel) {
    const TransformKey &k0 = keys[i], &k1 = keys[i + 1];
    double h = k1.frame - k0.frame;
    double t = (frame - k0.frame) / h;
    double t2 = t * t, t3 = t2 * t;
    double h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = -2 * t3 + 3 * t2, h11 = t3 - t2;
    Vec3 m0 = key_slope(keys, i, channel), m1 = key_slope(keys, i + 1, channel);
    Vec3 out{};
    for (int k = 0; k < 3; ++k)
        out[k] = h00 * (k0.value.*channel)[k] + h10 * h * m0[k] + h01 * (k1.value.*channel)[k] +
                 h11 * h * m1[k];
    return out;
}

}  // namespace

Transform transform_at(const Model &model, double frame) {
    const auto &keys = model.keys;
    if (keys.empty()) return model.rest;
    if (frame <= keys.front().frame) return keys.front().value;
    if (frame >= keys.back().frame) return keys.back().value;
    // Few keys per model: a linear scan beats the bookkeeping of anything cleverer.
    std::size_t i = 0;
    while (i + 2 < keys.size() && keys[i + 1].frame <= frame) ++i;
    double span = keys[i + 1].frame - keys[i].frame;
    if (span <= 0) return keys[i + 1].value;
    if (model.interpolation == KeyInterpolation::linear)
        return lerp(keys[i].value, keys[i + 1].value, (frame - keys[i].frame) / span);
    return {hermite(keys, i, frame, &Transform::translation), hermite(keys, i, frame, &Transform::rotation),
            hermite(keys, i, frame, &Transform::scaling)};
}

Matrix4 identity_matrix() {
    Matrix4 m{};
    for (int i = 0; i < 4; ++i) m[i][i] = 1;
    return m;
}

Matrix4 multiply(const Matrix4 &a, const Matrix4 &b) {
    Matrix4 m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) m[r][c] += a[r][k] * b[k][c];
    return m;
}

Matrix4 transform_matrix(const Transform &t) {
    Matrix4 scale = identity_matrix();
    for (int i = 0; i < 3; ++i) scale[i][i] = t.scaling[i];
    Matrix4 m = scale;
    // Row-vector rotations: a point p becomes p·R.
    for (int axis = 0; axis < 3; ++axis) {
        double a = t.rotation[axis] * kDegrees, c = std::cos(a), s = std::sin(a);
        int j = (axis + 1) % 3, k = (axis + 2) % 3;
        Matrix4 r = identity_matrix();
        r[j][j] = c;
        r[j][k] = s;
        r[k][j] = -s;
        r[k][k] = c;
        m = multiply(m, r);
    }
    for (int i = 0; i < 3; ++i) m[3][i] = t.translation[i];
    return m;
}

Vec3 transform_point(const Matrix4 &m, const Vec3 &p) {
    Vec3 out{};
    for (int c = 0; c < 3; ++c) out[c] = p[0] * m[0][c] + p[1] * m[1][c] + p[2] * m[2][c] + m[3][c];
    return out;
}

void evaluate_scene(Scene &scene, double seconds) {
    double frame = seconds * scene.play.frame_rate;
    for (Model &m : scene.models) {
        if (!m.alive) continue;
        m.current = transform_at(m, frame);
        m.matrix = transform_matrix(m.current);
    }
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

// The scene has no hierarchy, so global and local values are the same.
extern "C" int SAA_modelGetMatrix(const SAA_Scene *scene, const SAA_Elem *model, int, float matrix[4][4]) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!matrix) return fail(SAA_ERR_ARGUMENT, "null matrix");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) matrix[r][c] = static_cast<float>(m->matrix[r][c]);
    return SAA_OK;
}

static int get_triple(const SAA_Scene *scene, const SAA_Elem *model, Vec3 Transform::*channel, float *x,
                      float *y, float *z) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!x || !y || !z) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    const Vec3 &v = m->current.*channel;
    *x = static_cast<float>(v[0]);
    *y = static_cast<float>(v[1]);
    *z = static_cast<float>(v[2]);
    return SAA_OK;
}

extern "C" int SAA_modelGetTranslation(const SAA_Scene *scene, const SAA_Elem *model, int, float *x,
                                       float *y, float *z) {
    return get_triple(scene, model, &Transform::translation, x, y, z);
}

extern "C" int SAA_modelGetScaling(const SAA_Scene *scene, const SAA_Elem *model, int, float *x, float *y,
                                   float *z) {
    return get_triple(scene, model, &Transform::scaling, x, y, z);
}

extern "C" int SAA_modelGetRotation(const SAA_Scene *scene, const SAA_Elem *model, int, float *x, float *y,
                                    float *z) {
    return get_triple(scene, model, &Transform::rotation, x, y, z);
}

extern "C" int SAA_modelIsAnimated(const SAA_Scene *scene, const SAA_Elem *model, int *animated) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!animated) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *animated = m->keys.size() > 1;
    return SAA_OK;
}
