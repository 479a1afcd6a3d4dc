#include "hair/dynamics.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/surface_evaluation.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

using Positions = std::vector<std::array<float, 3>>;

constexpr float kInterval = static_cast<float>(kDynamicsInterval);

void fatal_dynamics_evaluation() { end_process_after_host_failure("calc dynamics: ERROR!\n"); }

double frame_seconds(const SAA_Scene &scene, int frame) {
    double seconds = 0.0;
    SAA_frame2Seconds(&scene, frame, &seconds);
    return seconds;
}

void evaluate_scene_at(const SAA_Scene &scene, double seconds) {
    SAA_updatelistGet(&scene);
    SAA_updatelistEvalScene(&scene, seconds);
}

// Every root's surface point at the given time, in world space.
void sample_root_positions(const PatchData &record, const SAA_Scene &scene, const SAA_Elem &model,
                           double seconds, Positions &out) {
    evaluate_scene_at(scene, seconds);
    ModelMatrix matrix;
    if (SAA_modelGetMatrix(&scene, &model, 1, matrix.m)) fatal_dynamics_evaluation();
    for (size_t i = 0; i < out.size(); ++i) {
        const HairRoot &root = record.hairs[i];
        double position[4];
        if (SAA_surfaceEvalPosition(&scene, &model, 2, 0, root.u_param, root.v_param, position))
            fatal_dynamics_evaluation();
        transform_point(matrix, position, out[i].data());
    }
}

}  // namespace

void calc_dynamics(int p) {
    SceneState &scene = scene_state();
    if (p < 0 || p >= static_cast<int>(scene.patches.size()) || !scene.patches[p] ||
        p >= static_cast<int>(scene.models.size()))
        return;
    PatchData &record = *scene.patches[p];
    record.dynamics_valid = 0;
    const bool velocity_on = record.velocity_scale.active != 0;
    const bool acceleration_on = record.acceleration_scale.active != 0;
    if (!velocity_on && !acceleration_on) return;
    status_message(kStatusIndent, "Calc dynamics");
    const size_t count = std::min(size_t(std::max(record.hair_count, 0)), record.hairs.size());
    if (count == 0) return;

    const int instants = acceleration_on ? 3 : 2;
    Positions samples[3];
    try {
        record.dynamics_state.assign(count, HairDynamics{});
        for (int k = 0; k < instants; ++k) samples[k].resize(count);
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, calc dynamics");
        return;
    }
    // A smoothing window below one frame still measures the current frame: an empty window
    // would drop the motion silently.
    // Every averaged frame evaluates every root: damaged counts are cut to the range.
    const int nv = record.calc_velocity_smooth
                       ? std::clamp(record.velocity_smooth, 1, kMaxSmoothFrames) : 1;
    const int na = record.calc_acceleration_smooth
                       ? std::clamp(record.acceleration_smooth, 1, kMaxSmoothFrames) : 1;
    const int steps = std::max(nv, na);
    const SAA_Elem &model = scene.models[p];

    for (int s = 0; s < steps; ++s) {
        const double t = frame_seconds(scene.scene, scene.current_frame - s);
        for (int k = 0; k < instants; ++k) {
            if (s == 0 && k == 0) {
                for (size_t i = 0; i < count; ++i)
                    for (int j = 0; j < 3; ++j) samples[0][i][j] = record.hairs[i].position[j];
                continue;
            }
            sample_root_positions(record, scene.scene, model, t - k * kDynamicsInterval,
                                  samples[k]);
        }
        for (size_t i = 0; i < count; ++i) {
            HairDynamics &d = record.dynamics_state[i];
            for (int j = 0; j < 3; ++j) {
                const float v = (samples[0][i][j] - samples[1][i][j]) / kInterval;
                if (s < nv) d.velocity[j] += v;
                if (acceleration_on && s < na) {
                    const float earlier = (samples[1][i][j] - samples[2][i][j]) / kInterval;
                    d.acceleration[j] += (v - earlier) / kInterval;
                }
            }
        }
    }
    for (HairDynamics &d : record.dynamics_state) {
        for (int j = 0; j < 3; ++j) {
            if (record.calc_velocity_smooth && nv > 1) d.velocity[j] *= 1.0f / nv;
            if (record.calc_acceleration_smooth && na > 1) d.acceleration[j] *= 1.0f / na;
        }
    }
    evaluate_scene_at(scene.scene, frame_seconds(scene.scene, scene.current_frame));
    record.dynamics_valid = 1;
    status_message(kStatusIndent, "Calc dynamics Done");
}

}  // namespace vellimor
