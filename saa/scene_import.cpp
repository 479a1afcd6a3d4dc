// Imported surfaces into a scene: replacing the geometry of a model of the same name (an artist
// remodels after grooming, and the grooming stays), and a first camera and light for a scene
// that the import creates.
#include <algorithm>
#include <cmath>

#include "saa/fur_side.h"
#include "saa/model_import.h"

namespace vellimor::saa {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The camera looks from the front, a little from the right and above.
constexpr Vec3 kViewDirection{0.4, 0.5, 1.0};
// Room around the surfaces in the picture.
constexpr double kFrameMargin = 1.0;

}  // namespace

Merge merge_surface(Scene &scene, Model surface) {
    for (Model &m : scene.models) {
        if (!m.alive || m.name != surface.name) continue;
        if (m.type != 1 && m.type != 10) return Merge::refused;
        m.type = surface.type;
        m.patch = std::move(surface.patch);
        m.nurbs = std::move(surface.nurbs);
        return Merge::replaced;
    }
    surface.serial = 0;
    scene.models.push_back(std::move(surface));
    return Merge::added;
}

void frame_scene(Scene &scene) {
    bool any = false;
    Bounds all{};
    for (const Model &m : scene.models) {
        if (!m.alive || (!m.patch && !m.nurbs)) continue;
        const Bounds b = surface_bounds(m);
        if (!any) all = b;
        for (std::size_t k = 0; k < 3; ++k) {
            all.low[k] = std::min(all.low[k], b.low[k]);
            all.high[k] = std::max(all.high[k], b.high[k]);
        }
        any = true;
    }
    if (!any) return;
    Vec3 centre{}, direction = kViewDirection;
    const double length = std::hypot(direction[0], direction[1], direction[2]);
    double radius = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        centre[k] = (all.low[k] + all.high[k]) / 2;
        radius += (all.high[k] - all.low[k]) * (all.high[k] - all.low[k]) / 4;
        direction[k] /= length;
    }
    radius = std::max(std::sqrt(radius), 1e-3);
    Camera &camera = scene.cameras.at(0);
    // The sphere round everything fits the narrower (vertical) field of view.
    const double half_fov = std::min(1.0, scene.x_resolution / static_cast<double>(scene.y_resolution)) * camera.fov / 2;
    const double distance = kFrameMargin * radius / std::sin(half_fov * kPi / 180.0);
    for (std::size_t k = 0; k < 3; ++k) {
        camera.position[k] = centre[k] + direction[k] * distance;
        camera.interest[k] = centre[k];
    }
    camera.near_plane = std::max(distance - 2 * radius, distance * 1e-3);
    camera.far_plane = distance + 4 * radius;
    Light key;
    key.name = "KeyLight";
    key.position = {centre[0] + 3 * radius, centre[1] + 4 * radius, centre[2] + 3 * radius};
    key.color = {1.0, 0.95, 0.9};
    key.shadow = 0.6;
    scene.lights.push_back(key);
}

}  // namespace vellimor::saa
