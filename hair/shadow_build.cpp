// Building the shadow model: the shells of every surface, level by level, then the values of the
// casting surfaces' grids.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "render/light_table.h"

namespace vellimor {

namespace {

constexpr int kPatchSurface = 1;
// Normals are evaluated this far inside the parameter range, away from seams and poles.
constexpr double kNormalMargin = 0.001;
// Builds quicker than this are not worth a timing line.
constexpr double kReportAfterSeconds = 0.01;
// A model beyond this many triangles (about 1.4 GB) is damaged settings, not a request.
constexpr int64_t kMaxShadowTriangles = int64_t(1) << 24;
constexpr int kHostEvaluate = 2;

[[noreturn]] void fatal_shadow_evaluation() {
    end_process_after_host_failure("quant_patches(): ERROR\n");
}

double stopwatch_seconds() { return platform::milliseconds_since_start() / 1000.0; }

float clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;
    return x > 1.0f ? 1.0f : x;
}

// What one surface contributes: its shell resolution and how many levels it stacks.
struct SurfacePlan {
    bool present = false;
    bool caster = false;
    int nu = 0, nv = 0;
    int levels = 1;  // L of a caster; the bare shell of any other surface counts as one level
};

int shell_steps(short resolution, float extent) {
    const double steps = double(resolution) * double(extent);
    return steps > 0.0 && steps < double(INT32_MAX) ? static_cast<int>(steps) : 0;
}

std::vector<SurfacePlan> plan_surfaces(SceneState &scene) {
    std::vector<SurfacePlan> plans(scene.patches.size());
    for (size_t p = 0; p < plans.size() && p < scene.models.size(); ++p) {
        PatchData *record = scene.patches[p].get();
        if (!record) continue;
        if (record->shadow_subdivision < 1) record->shadow_subdivision = 1;
        SurfacePlan &plan = plans[p];
        plan.present = true;
        plan.nu = shell_steps(record->shadow_subdivision, record->nbPointsU);
        plan.nv = shell_steps(record->shadow_subdivision, record->nbPointsV);
        plan.caster = record->casts_shadow && record->number_shadow_levels >= 2;
        // Every level rebuilds the length map and a shell: a damaged count is cut to the range.
        if (plan.caster) plan.levels = std::min<int>(record->number_shadow_levels, kMaxShadowLevels);
    }
    return plans;
}

int64_t triangle_count(const std::vector<SurfacePlan> &plans) {
    int64_t total = 0;
    for (const SurfacePlan &plan : plans)
        if (plan.present) total += int64_t(2) * plan.nu * plan.nv * plan.levels;
    return total;
}

// Light positions as shading sees them: the light table brought up to the current frame (the
// scene's lights, or the default light at the camera).
std::vector<std::array<float, 3>> light_positions(SceneState &scene) {
    update_light_table();
    std::vector<std::array<float, 3>> positions;
    for (const LightInfo &light : scene.light_cache)
        positions.push_back({light.position[0], light.position[1], light.position[2]});
    return positions;
}

bool allocate_grids(ShadowModel &model, const std::vector<SurfacePlan> &plans, int light_count) {
    try {
        model.grids.resize(plans.size());
        for (size_t p = 0; p < plans.size(); ++p) {
            const SurfacePlan &plan = plans[p];
            if (!plan.caster) continue;
            ShadowGrid &grid = model.grids[p];
            grid.nu1 = plan.nu + 1;
            grid.nv1 = plan.nv + 1;
            grid.levels = plan.levels;
            grid.light_count = light_count;
            const size_t count = size_t(grid.nu1) * size_t(grid.nv1) * size_t(plan.levels + 1);
            grid.points.reserve(count);
            grid.values.reserve(count * size_t(light_count));
            grid.sorted.reserve(count);
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Moves a normal's parameter off the ends of its range (low end first, then high end).
double normal_parameter(double c, double limit) {
    if (c < kNormalMargin) c = kNormalMargin;
    if (c > limit - kNormalMargin) c = limit - kNormalMargin;
    return c;
}

// One surface's shell at one level.
struct Shell {
    const PatchData &record;
    const SAA_Scene &scene;
    const SAA_Elem &model;
    ModelMatrix matrix;
    int level;
    int levels;

    // The shell vertex over host parameters (cu, cv): the surface point pushed out along the
    // normal by level / levels of the hair length there.
    void vertex(double cu, double cv, float out[3]) const {
        float length = sample_channel_map(
            record.length_map, clamp01(1.0f - float(cu) / record.nbPointsU),
            clamp01(float(cv) / record.nbPointsV), record.length_map_res, record.surfacetype,
            record.length_map_interp);
        if (levels > 1) length /= float(levels);
        // A length beyond any scene's scale would put the shells, and every shadow query
        // near them, at infinity.
        if (!(std::fabs(length) <= kMaxRealMagnitude)) length = 0.0f;

        double homogeneous[4];
        if (SAA_surfaceEvalPosition(&scene, &model, kHostEvaluate, 0, cu, cv, homogeneous))
            fatal_shadow_evaluation();
        float position[3];
        transform_point(matrix, homogeneous, position);

        double host_normal[3], normal[3];
        if (SAA_surfaceEvalNormal(&scene, &model, kHostEvaluate, 0,
                                  normal_parameter(cu, record.nbPointsU),
                                  normal_parameter(cv, record.nbPointsV), host_normal))
            fatal_shadow_evaluation();
        transform_direction(matrix, host_normal, normal);
        normalise(normal);
        // Hairs on patch surfaces grow along v x u, the other side of the host's u x v normal:
        // the shells stack on the side the hairs grow.
        const float side = record.surfacetype == kPatchSurface ? -1.0f : 1.0f;
        const float push = float(level) * length * side;
        for (int k = 0; k < 3; ++k) out[k] = position[k] + push * static_cast<float>(normal[k]);
    }
};

// The length map from the keys without their randomness; the next channel map update restores
// the randomised one. A resolution out of range leaves it empty: the shells lie on the surface.
void build_plain_length_map(PatchData &record) {
    const int res = record.length_map_res;
    if (map_resolution_in_range(res)) {
        record.length_map.resize(size_t(res) * size_t(res));
        build_value_map(record, record.length_map.data(), nullptr, res, kChannelLengthPlain);
    } else {
        record.length_map.clear();
    }
    record.length_map_dirty = 1;
}

// Builds one surface's shell at one level: its grid points (for a caster) and its triangles
// (below the tips). Returns false when Escape aborted it.
bool build_shell(ShadowModel &model, int p, const SurfacePlan &plan, int level, int &made) {
    SceneState &scene = scene_state();
    PatchData &record = *scene.patches[size_t(p)];
    const int L = plan.levels;
    const float s = float(L - level) / float(L);

    // The keys' plain lengths are the same at every level: built with the surface's first shell.
    if (level == 0) build_plain_length_map(record);

    Shell shell{record, scene.scene, scene.models[size_t(p)], {}, level, L};
    if (SAA_modelGetMatrix(&scene.scene, &scene.models[size_t(p)], 1, shell.matrix.m))
        fatal_shadow_evaluation();

    ShadowGrid *grid = plan.caster ? &model.grids[size_t(p)] : nullptr;
    const double step = 1.0 / record.shadow_subdivision;
    const bool flip = record.surfacetype != kPatchSurface;
    for (int i = 0; i <= plan.nu; ++i) {
        for (int j = 0; j <= plan.nv; ++j) {
            if (platform::key_is_down(platform::Key::Escape)) return false;
            const double u = i * step, v = j * step;
            const bool quad = i < plan.nu && j < plan.nv && level < L;
            float c[4][3];
            shell.vertex(u, v, c[0]);
            if (quad) {
                shell.vertex(u + step, v, c[1]);
                shell.vertex(u + step, v + step, c[2]);
                shell.vertex(u, v + step, c[3]);
            }
            if (grid) {
                grid->points.push_back({{c[0][0], c[0][1], c[0][2]}});
                grid->values.insert(grid->values.end(), size_t(grid->light_count), s);
            }
            if (quad) {
                add_shadow_quad(model.triangles, c[0], c[1], c[2], c[3], s, level, flip);
                made += 2;
                progress_step(made);
            }
        }
    }
    return true;
}

int total_points(const ShadowModel &model) {
    int64_t total = 0;
    for (const ShadowGrid &grid : model.grids) total += grid.point_count();
    return static_cast<int>(total);
}

}  // namespace

void quant_patches() {
    const double start = stopwatch_seconds();
    SceneState &scene = scene_state();
    ShadowModel &model = shadow_model();
    free_shadow_model();

    const std::vector<SurfacePlan> plans = plan_surfaces(scene);
    int max_levels = 0;
    for (const SurfacePlan &plan : plans)
        if (plan.caster && plan.levels > max_levels) max_levels = plan.levels;
    if (max_levels == 0) return;

    const int64_t triangles = triangle_count(plans);
    const std::vector<std::array<float, 3>> lights = light_positions(scene);
    if (triangles > kMaxShadowTriangles ||
        !allocate_grids(model, plans, static_cast<int>(lights.size()))) {
        free_shadow_model();
        status_message(kStatusError, "Can't allocate memory for %lld shadow triangles",
                       static_cast<long long>(triangles));
        return;
    }
    model.triangles.reserve(size_t(triangles));

    progress_weights(0.5f, 1.0f, 0.0f);
    progress_stage(1, static_cast<int>(triangles));
    status_message(kStatusIndent, "Building shadow volumes");
    int made = 0;
    for (int level = 0; level <= max_levels; ++level) {
        for (int p = 0; p < static_cast<int>(plans.size()); ++p) {
            const SurfacePlan &plan = plans[size_t(p)];
            if (!plan.present) continue;
            if (!(level == 0 || (plan.caster && level <= plan.levels))) continue;
            if (!build_shell(model, p, plan, level, made)) {
                free_shadow_model();
                return;
            }
        }
    }

    progress_stage(2, total_points(model));
    if (!build_shadow_points(lights)) {
        free_shadow_model();
        return;
    }
    const double seconds = stopwatch_seconds() - start;
    if (seconds > kReportAfterSeconds)
        status_message(kStatusIndent, "Building Shadow volumes DONE Time: %10.2f", seconds);
}

}  // namespace vellimor
