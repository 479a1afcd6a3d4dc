#include "hair/hair_roots.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "furdata/patch_data.h"
#include "hair/area_sampling.h"
#include "hair/channel_maps.h"
#include "hair/placement.h"
#include "hair/random_generators.h"
#include "hair/surface_evaluation.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"

namespace vellimor {

namespace {

constexpr int kPatchSurface = 1;

void fatal_root_evaluation() {
    end_process_after_host_failure("build_hairs: ERROR!\n",
                                   " I am thread  0 and exiting with error! \n");
}

// Fills the root at fractional (u, v) from the host's evaluation of the surface.
void fill_root(HairRoot &root, float u, float v, const PatchData &record, const SAA_Scene &scene,
               const SAA_Elem &model, const ModelMatrix &matrix) {
    root.u = u;
    root.v = v;
    root.u_param = u * record.nbPointsU;
    root.v_param = v * record.nbPointsV;

    double position[4];
    if (SAA_surfaceEvalPosition(&scene, &model, 2, 0, root.u_param, root.v_param, position))
        fatal_root_evaluation();
    transform_point(matrix, position, root.position);

    double first[3], second[3];
    if (SAA_surfaceEvalTangents(&scene, &model, 2, 0, root.u_param, root.v_param, first, second))
        fatal_root_evaluation();
    double tu[3], tv[3];
    transform_direction(matrix, first, tu);
    transform_direction(matrix, second, tv);
    normalise(tu);
    normalise(tv);
    for (int i = 0; i < 3; ++i) {
        root.tangent_u[i] = static_cast<float>(tu[i]);
        root.tangent_v[i] = static_cast<float>(tv[i]);
    }
    // Patch surfaces are parameterised the other way round: their normal is v × u.
    if (record.surfacetype == kPatchSurface)
        cross(root.tangent_v, root.tangent_u, root.normal);
    else
        cross(root.tangent_u, root.tangent_v, root.normal);
    normalise(root.normal);
}

// The step, in cells, at which the area per unit of (u, v) is measured by differences.
constexpr double kAreaProbe = 1e-3;

// Area per unit of (u, v) at host parameters (u, v) of a surface whose parameter square is
// width x height: the cross product of two short steps, taken inwards at the square's far
// edges. 1 (even) where the host cannot evaluate.
double area_per_unit(const SAA_Scene &scene, const SAA_Elem &model, double u, double v,
                     double du, double dv, double width, double height) {
    const double step_u = u + du <= width ? du : -du;
    const double step_v = v + dv <= height ? dv : -dv;
    float p[3], pu[3], pv[3];
    if (evaluate_surface_point(scene, model, 0, u, v, p) ||
        evaluate_surface_point(scene, model, 0, u + step_u, v, pu) ||
        evaluate_surface_point(scene, model, 0, u, v + step_v, pv))
        return 1.0;
    const double area = 2.0 * double(triangle_area(p, pu, pv)) / (du * dv);
    return std::isfinite(area) ? area : 1.0;
}

// The area per unit of (u, v) at every cell corner, (nu + 1) x (nv + 1), row by row.
std::vector<double> corner_areas(const PatchData &record, const SAA_Scene &scene,
                                 const SAA_Elem &model) {
    const int nu = record.sub_res_u, nv = record.sub_res_v;
    const double width = record.nbPointsU, height = record.nbPointsV;
    const double du = width / nu * kAreaProbe, dv = height / nv * kAreaProbe;
    std::vector<double> areas(size_t(nu + 1) * size_t(nv + 1), 1.0);
    if (!(du > 0.0) || !(dv > 0.0)) return areas;
    for (int r = 0; r <= nv; ++r)
        for (int c = 0; c <= nu; ++c)
            areas[size_t(c) + size_t(r) * size_t(nu + 1)] =
                area_per_unit(scene, model, width * c / nu, height * r / nv, du, dv, width, height);
    return areas;
}

CellAreaCorners cell_corners(const std::vector<double> &areas, int nu, int r, int c) {
    auto at = [&](int rr, int cc) { return areas[size_t(cc) + size_t(rr) * size_t(nu + 1)]; };
    return {at(r, c), at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)};
}

}  // namespace

bool build_hairs(int p, const ModelMatrix &matrix) {
    SceneState &scene = scene_state();
    if (p < 0 || p >= static_cast<int>(scene.patches.size()) || !scene.patches[p] ||
        p >= static_cast<int>(scene.models.size()))
        return true;
    PatchData &record = *scene.patches[p];
    const SAA_Elem &model = scene.models[p];
    const int nu = record.sub_res_u, nv = record.sub_res_v;
    if (nu < 1 || nv < 1 || record.cells.size() < size_t(nu) * size_t(nv)) {
        record.hair_count = 0;
        record.hairs.clear();
        return true;
    }

    Random48 random(static_cast<uint16_t>(p & 0xFFFF), 0, 0);
    const size_t capacity = std::min(record.hairs.size(), size_t(std::max(record.hair_count, 0)));
    const float step_u = 1.0f / nu, step_v = 1.0f / nv;
    const std::span<const float> density(record.density_map);
    const std::vector<double> areas = corner_areas(record, scene.scene, model);
    size_t n = 0;
    float fv = 0.0f;
    for (int r = 0; r < nv; ++r) {
        float fu = 0.0f;
        for (int c = 0; c < nu; ++c) {
            if (platform::key_is_down(platform::Key::Escape)) return false;
            SubPatchCell &cell = record.cells[size_t(c) + size_t(r) * size_t(nu)];
            int survivors = 0;
            const CellAreaCorners corners = cell_corners(areas, nu, r, c);
            // Counts that no reserved root backs are not walked (the placement clears them when
            // it fails; a mismatch must still not turn into minutes of draws).
            for (int i = 0; i < cell.hair_count && n < capacity; ++i) {
                double s = random.next(), t = random.next();
                area_even_point(corners, s, t);
                const float u = static_cast<float>(fu + s * step_u);
                const float v = static_cast<float>(fv + t * step_v);
                const double keep = random.next();
                const float d = sample_channel_map(density, u, v, record.density_map_res,
                                                   record.surfacetype, record.density_map_interp);
                if (!(keep <= d)) continue;
                fill_root(record.hairs[n], u, v, record, scene.scene, model, matrix);
                ++n;
                ++survivors;
                progress_step(static_cast<int>(n));
            }
            cell.hair_count = survivors;
            fu += step_u;
        }
        fv += step_v;
    }
    if (n < size_t(record.hair_count)) {
        record.hair_count = static_cast<int>(n);
        record.hairs.resize(n);
        record.hairs.shrink_to_fit();
    }
    return true;
}

}  // namespace vellimor
