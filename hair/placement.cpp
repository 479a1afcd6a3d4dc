#include "hair/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>

#include "furdata/display_settings.h"
#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/dynamics.h"
#include "hair/hair_roots.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/clock.h"

namespace vellimor {

namespace {

constexpr float kDefaultPreviewFraction = 0.05f;
// A subdivision beyond this many cells is damage, not a setting.
constexpr int64_t kMaxCells = int64_t(kMaxSubdivision) * kMaxSubdivision;
constexpr int64_t kMaxHairs = kMaxHairsPerSurface;

float preview_fraction() {
    const DisplaySettings *settings = display_settings();
    return settings ? settings->preview_fraction : kDefaultPreviewFraction;
}

// Finer than milliseconds: a small surface builds in a few of them.
double stopwatch_seconds() { return platform::seconds_since_start(); }

PatchData *patch_at(int p) {
    SceneState &scene = scene_state();
    if (p < 0 || p >= static_cast<int>(scene.patches.size()) ||
        p >= static_cast<int>(scene.models.size()))
        return nullptr;
    return scene.patches[p].get();
}

// No roots, and no cell keeps a count that has no roots (the root placement walks the counts).
void clear_hairs(PatchData &record) {
    for (SubPatchCell &cell : record.cells) cell.hair_count = 0;
    record.hair_count = 0;
    record.hairs.clear();
    record.hairs.shrink_to_fit();
}

}  // namespace

float triangle_area(const float a[3], const float b[3], const float c[3]) {
    const float ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float ac[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    float n[3];
    cross(ab, ac, n);
    return 0.5f * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

void Subdivide_patch(int p) {
    PatchData *record = patch_at(p);
    if (!record) return;
    SceneState &scene = scene_state();
    const SAA_Elem &model = scene.models[p];

    record->subdivision_dirty = 0;
    record->hair_count = 0;
    record->cells.clear();
    const int nu = record->sub_res_u, nv = record->sub_res_v;
    if (nu < 1 || nv < 1 || int64_t(nu) * nv > kMaxCells) {
        status_message(kStatusError, "Subdivision %dx%d of %s is out of range", nu, nv,
                       record->name.c_str());
        clear_hairs(*record);
        return;
    }
    record->cells.resize(size_t(nu) * size_t(nv));

    const float du = record->nbPointsU / nu, dv = record->nbPointsV / nv;
    const float step_u = 1.0f / nu, step_v = 1.0f / nv;
    const float density = static_cast<float>(std::max(0, record->number_of_hairs_pr_square_unit));
    const bool preview = record->built_as_preview != 0;
    const float fraction = preview_fraction();
    float carry = 0.0f;
    int64_t total = 0;
    float fv = 0.0f;
    for (int r = 0; r < nv; ++r) {
        float fu = 0.0f;
        for (int c = 0; c < nu; ++c) {
            const float u_lo = fu * record->nbPointsU, v_lo = fv * record->nbPointsV;
            float p00[3], p10[3], p11[3], p01[3];
            if (evaluate_surface_point(scene.scene, model, 0, u_lo, v_lo, p00) ||
                evaluate_surface_point(scene.scene, model, 0, u_lo + du, v_lo, p10) ||
                evaluate_surface_point(scene.scene, model, 0, u_lo + du, v_lo + dv, p11) ||
                evaluate_surface_point(scene.scene, model, 0, u_lo, v_lo + dv, p01)) {
                // The build goes on without hairs; no cell keeps a count that has no roots.
                std::fputs("Subdivide_patch: ERROR!\n", stderr);
                clear_hairs(*record);
                return;
            }
            SubPatchCell &cell = record->cells[size_t(c) + size_t(r) * size_t(nu)];
            cell.area = triangle_area(p00, p10, p11) + triangle_area(p11, p01, p00);
            float x = density * cell.area;
            if (preview) x *= fraction;
            x += carry;
            // Counts beyond what can be reserved are cut here; the total check below reports them.
            // An area that is no number (a surface with overflowing points) grows nothing and
            // carries nothing into the next cell.
            if (std::isnan(x)) x = 0.0f;
            const float count = x < float(kMaxHairs) ? std::trunc(x) : float(kMaxHairs);
            cell.hair_count = count > 0.0f ? static_cast<int>(count) : 0;
            carry = std::isfinite(x) ? x - count : 0.0f;
            total += cell.hair_count;
            fu += step_u;
        }
        fv += step_v;
    }
    if (total > kMaxHairs) {
        status_message(kStatusError, "Can't allocate more memory, grow hairs");
        status_message(kStatusIndent, "%s would grow %lld hairs, at most %lld fit", record->name.c_str(),
                       static_cast<long long>(total), static_cast<long long>(kMaxHairs));
        clear_hairs(*record);
        return;
    }
    try {
        record->hairs.assign(size_t(total), HairRoot{});
        record->hair_count = static_cast<int>(total);
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, grow hairs");
        clear_hairs(*record);
    }
}

void grow_fur(int p, int hairs_per_unit, int preview) {
    PatchData *record = patch_at(p);
    if (!record) return;
    SceneState &scene = scene_state();
    const double start = stopwatch_seconds();

    update_channel_maps(p);
    ModelMatrix matrix;
    const int status = SAA_modelGetMatrix(&scene.scene, &scene.models[p], 1, matrix.m);
    if (status != SAA_OK) {
        status_message(kStatusError, "GROW_FUR_ERROR:%d\n", status);
        return;
    }
    if (hairs_per_unit >= 0) record->number_of_hairs_pr_square_unit = hairs_per_unit;
    record->built_as_preview = preview ? 1 : 0;
    record->last_built_frame = scene.current_frame;
    if (preview)
        status_message(kStatusPlain, "Building hairs on: %s, preview", record->name.c_str());
    else
        status_message(kStatusPlain, "Building hairs on: %s", record->name.c_str());

    Subdivide_patch(p);
    progress_weights(1, 0, 0);
    progress_stage(1, record->hair_count);
    if (!build_hairs(p, matrix)) {
        status_message(kStatusPlain, "Building hairs aborted");
        clear_hairs(*record);
    }
    progress_done();
    const double build_time = stopwatch_seconds() - start;
    calc_dynamics(p);
    // The dynamics' own time after their label, not the whole build's again.
    const double dynamics_time = stopwatch_seconds() - start - build_time;
    status_message(kStatusPlain,
                   "Done building %d hairs on %d. Time used: %10.2f, dynamics: %10.2f",
                   record->hair_count, p, build_time, dynamics_time);
}

void build_all_patches(int only_selected, int preview) {
    SceneState &scene = scene_state();
    for (int p = 0; p < static_cast<int>(scene.patches.size()); ++p) {
        const PatchData *record = scene.patches[p].get();
        if (!record || record->deleted) continue;
        if (only_selected && !record->is_selected) continue;
        grow_fur(p, -1, preview);
    }
    quant_patches();
}

}  // namespace vellimor
