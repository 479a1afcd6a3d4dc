#include "hair/hair_roots.h"

#include <algorithm>
#include <span>

#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
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
    size_t n = 0;
    float fv = 0.0f;
    for (int r = 0; r < nv; ++r) {
        float fu = 0.0f;
        for (int c = 0; c < nu; ++c) {
            if (platform::key_is_down(platform::Key::Escape)) return false;
            SubPatchCell &cell = record.cells[size_t(c) + size_t(r) * size_t(nu)];
            int survivors = 0;
            // Counts that no reserved root backs are not walked (the placement clears them when
            // it fails; a mismatch must still not turn into minutes of draws).
            for (int i = 0; i < cell.hair_count && n < capacity; ++i) {
                const float u = static_cast<float>(fu + random.next() * step_u);
                const float v = static_cast<float>(fv + random.next() * step_v);
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
