// Lights and cameras: their values, and the camera moves of the interactive view (orbit, pan,
// dolly, zoom, fit), which change the scene's camera for the next drawing.
#include <algorithm>
#include <cmath>

#include "saa/cameras.h"
#include "saa/host_state.h"
#include "saa/transforms.h"

namespace vellimor::saa {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxElevation = 89.0 * kPi / 180.0;
constexpr double kMinFov = 1.0, kMaxFov = 170.0;
// Room left around a fitted object, as a factor on its bounding radius.
constexpr double kFitMargin = 1.1;

Vec3 sub(const Vec3 &a, const Vec3 &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 add(const Vec3 &a, const Vec3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec3 scale(const Vec3 &a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double dot(const Vec3 &a, const Vec3 &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3 &a, const Vec3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double norm(const Vec3 &a) { return std::sqrt(dot(a, a)); }

// Axis-aligned bounds of world-space points.
struct Bounds {
    Vec3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void add(const Vec3 &p) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    bool empty() const { return lo[0] > hi[0]; }
};

void add_model(Bounds &b, const Model &m) {
    auto add_local = [&](const Vec3 &p) { b.add(transform_point(m.matrix, p)); };
    if (m.patch)
        for (const Vec3 &p : m.patch->vertices) add_local(p);
    else if (m.nurbs)
        for (const Vec4 &p : m.nurbs->points) add_local({p[0], p[1], p[2]});
    else if (m.mesh && !m.mesh->positions.empty())
        for (const Vec3 &p : m.mesh->positions) add_local(p);
    else  // nulls: their axis cross
        for (int k = 0; k < 3; ++k) {
            Vec3 axis{0, 0, 0};
            axis[k] = 1;
            add_local(axis);
            add_local(scale(axis, -1));
        }
}

// Keeps the viewing direction and moves the camera back until the bounds fit the vertical and
// horizontal fields of view.
void fit(Camera &c, const Bounds &b) {
    if (b.empty()) return;
    Vec3 center = scale(add(b.lo, b.hi), 0.5);
    double radius = 0.5 * norm(sub(b.hi, b.lo));
    if (!(radius > 0)) radius = 1;
    double half = c.fov * kPi / 360.0;
    double half_h = std::atan(std::tan(half) * c.aspect);
    double distance = kFitMargin * radius / std::sin(std::min(half, half_h));
    Vec3 dir = sub(c.position, c.interest);
    double len = norm(dir);
    dir = len > 0 ? scale(dir, 1 / len) : Vec3{0, 0, 1};
    c.interest = center;
    c.position = add(center, scale(dir, distance));
    c.far_plane = std::max(c.far_plane, 2 * (distance + radius));
}

template <class T>
int light_value(const SAA_Scene *scene, const SAA_Elem *light, T *out, T (*read)(const Light &)) {
    int status = SAA_OK;
    Light *l = light_of(scene, light, status);
    if (!l) return status;
    if (!out) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *out = read(*l);
    return SAA_OK;
}

int light_vector(const SAA_Scene *scene, const SAA_Elem *light, float out[3], Vec3 Light::*field) {
    int status = SAA_OK;
    Light *l = light_of(scene, light, status);
    if (!l) return status;
    if (!out) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    for (int k = 0; k < 3; ++k) out[k] = static_cast<float>((l->*field)[k]);
    return SAA_OK;
}

int camera_value(const SAA_Scene *scene, const SAA_Elem *camera, float *out, double Camera::*field) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!out) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *out = static_cast<float>(c->*field);
    return SAA_OK;
}

int camera_vector(const SAA_Scene *scene, const SAA_Elem *camera, float out[3], Vec3 Camera::*field) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!out) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    for (int k = 0; k < 3; ++k) out[k] = static_cast<float>((c->*field)[k]);
    return SAA_OK;
}

bool all_finite(std::initializer_list<float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

}  // namespace

// The camera's right and up directions (world Y is up).
void camera_frame(const Camera &c, Vec3 &right, Vec3 &up) {
    Vec3 forward = sub(c.interest, c.position);
    double len = norm(forward);
    forward = len > 0 ? scale(forward, 1 / len) : Vec3{0, 0, -1};
    right = cross(forward, Vec3{0, 1, 0});
    if (norm(right) < 1e-9) right = {1, 0, 0};  // looking straight up or down
    right = scale(right, 1 / norm(right));
    up = cross(right, forward);
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

// ---- lights ----

extern "C" int SAA_lightGetPosition(const SAA_Scene *scene, const SAA_Elem *light, float position[3]) {
    return light_vector(scene, light, position, &Light::position);
}
extern "C" int SAA_lightGetColor(const SAA_Scene *scene, const SAA_Elem *light, float color[3]) {
    return light_vector(scene, light, color, &Light::color);
}
extern "C" int SAA_lightGetShadow(const SAA_Scene *scene, const SAA_Elem *light, float *intensity) {
    return light_value<float>(scene, light, intensity, [](const Light &l) { return float(l.shadow); });
}
extern "C" int SAA_lightGetShadowType(const SAA_Scene *scene, const SAA_Elem *light, int *type) {
    return light_value<int>(scene, light, type, [](const Light &l) { return l.shadow_type; });
}
extern "C" int SAA_lightGetStart(const SAA_Scene *scene, const SAA_Elem *light, float *distance) {
    return light_value<float>(scene, light, distance, [](const Light &l) { return float(l.start); });
}
extern "C" int SAA_lightGetEnd(const SAA_Scene *scene, const SAA_Elem *light, float *distance) {
    return light_value<float>(scene, light, distance, [](const Light &l) { return float(l.end); });
}

// ---- cameras ----

extern "C" int SAA_cameraGetPosition(const SAA_Scene *scene, const SAA_Elem *camera, float position[3]) {
    return camera_vector(scene, camera, position, &Camera::position);
}
extern "C" int SAA_cameraGetInterest(const SAA_Scene *scene, const SAA_Elem *camera, float interest[3]) {
    return camera_vector(scene, camera, interest, &Camera::interest);
}
extern "C" int SAA_cameraGetFieldOfView(const SAA_Scene *scene, const SAA_Elem *camera, float *degrees) {
    return camera_value(scene, camera, degrees, &Camera::fov);
}
extern "C" int SAA_cameraGetNear(const SAA_Scene *scene, const SAA_Elem *camera, float *distance) {
    return camera_value(scene, camera, distance, &Camera::near_plane);
}
extern "C" int SAA_cameraGetFar(const SAA_Scene *scene, const SAA_Elem *camera, float *distance) {
    return camera_value(scene, camera, distance, &Camera::far_plane);
}
extern "C" int SAA_cameraGetAspectRatio(const SAA_Scene *scene, const SAA_Elem *camera, float *aspect) {
    return camera_value(scene, camera, aspect, &Camera::aspect);
}

extern "C" int SAA_cameraSetAspectRatio(const SAA_Scene *scene, const SAA_Elem *camera, float aspect) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!(aspect > 0) || !std::isfinite(aspect)) return fail(SAA_ERR_ARGUMENT, "aspect ratio must be positive");
    c->aspect = aspect;
    return SAA_OK;
}

// Turns the camera about its interest: dx radians about the world's up axis, dy radians of
// elevation (kept short of the poles).
extern "C" int SAA_cameraOrbit(const SAA_Scene *scene, const SAA_Elem *camera, float dx, float dy) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!all_finite({dx, dy})) return fail(SAA_ERR_ARGUMENT, "orbit angles must be finite");
    Vec3 offset = sub(c->position, c->interest);
    double distance = norm(offset);
    double azimuth = std::atan2(offset[0], offset[2]) + dx;
    double elevation = std::asin(std::clamp(offset[1] / distance, -1.0, 1.0)) + dy;
    elevation = std::clamp(elevation, -kMaxElevation, kMaxElevation);
    Vec3 moved{distance * std::cos(elevation) * std::sin(azimuth), distance * std::sin(elevation),
               distance * std::cos(elevation) * std::cos(azimuth)};
    c->position = add(c->interest, moved);
    return SAA_OK;
}

// Slides camera and interest sideways by dx and up by dy, in units of the viewing distance. The
// second pair is accepted and ignored (callers pass the same motion twice).
extern "C" int SAA_cameraPan(const SAA_Scene *scene, const SAA_Elem *camera, float dx, float dy, float, float) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!all_finite({dx, dy})) return fail(SAA_ERR_ARGUMENT, "pan distances must be finite");
    Vec3 right, up;
    camera_frame(*c, right, up);
    double distance = norm(sub(c->position, c->interest));
    Vec3 move = scale(add(scale(right, dx), scale(up, dy)), distance);
    c->position = add(c->position, move);
    c->interest = add(c->interest, move);
    return SAA_OK;
}

// Moves the camera towards its interest by the given fraction of the distance (negative: away).
extern "C" int SAA_cameraDolly(const SAA_Scene *scene, const SAA_Elem *camera, float distance) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!all_finite({distance})) return fail(SAA_ERR_ARGUMENT, "dolly distance must be finite");
    Vec3 offset = sub(c->position, c->interest);
    double factor = std::clamp(1.0 - distance, 1e-3, 1e3);
    c->position = add(c->interest, scale(offset, factor));
    return SAA_OK;
}

// Narrows the field of view by the given number of degrees (negative widens it).
extern "C" int SAA_cameraZoom(const SAA_Scene *scene, const SAA_Elem *camera, float factor) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    if (!all_finite({factor})) return fail(SAA_ERR_ARGUMENT, "zoom must be finite");
    c->fov = std::clamp(c->fov - factor, kMinFov, kMaxFov);
    return SAA_OK;
}

extern "C" int SAA_cameraFitScene(const SAA_Scene *scene, const SAA_Elem *camera, int) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    Bounds b;
    for (const Model &m : host().scene.models)
        if (m.alive) add_model(b, m);
    fit(*c, b);
    return SAA_OK;
}

extern "C" int SAA_cameraFitElement(const SAA_Scene *scene, const SAA_Elem *camera, const SAA_Elem *element) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    Bounds b;
    if (element && element->kind == kElemLight) {
        Light *l = light_of(scene, element, status);
        if (!l) return status;
        b.add(l->position);
    } else {
        Model *m = model_of(scene, element, status);
        if (!m) return status;
        add_model(b, *m);
    }
    fit(*c, b);
    return SAA_OK;
}
