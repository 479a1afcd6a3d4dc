#include "hair/wind_tables.h"

#include <algorithm>
#include <array>

#include "furdata/patch_data.h"
#include "host/scene.h"

namespace vellimor {

namespace {

using Vec3 = std::array<float, 3>;

struct FrameWind {
    float frequency;
    Vec3 step;
};

constexpr FrameWind kStillAir = {1.0f, {kDefaultWindStep, 0.0f, 0.0f}};

// The wind null at one time: its x scaling is the frequency, its local point (0, 1, 0) in world
// space scaled by its y scaling is the step. A failed host query gives the built-in drift.
FrameWind wind_of_null(const SAA_Scene &scene, const SAA_Elem &null, int frame) {
    double seconds = 0.0;
    float m[4][4];
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    if (SAA_frame2Seconds(&scene, frame, &seconds) || SAA_updatelistEvalScene(&scene, seconds) ||
        SAA_modelGetMatrix(&scene, &null, 1, m) ||
        SAA_modelGetScaling(&scene, &null, 1, &sx, &sy, &sz))
        return kStillAir;
    float q[4];
    for (int j = 0; j < 4; ++j) q[j] = m[1][j] + m[3][j];  // (0, 1, 0, 1)·M
    const float w = q[3] != 0.0f ? q[3] : 1.0f;
    return {sx, {q[0] / w * sy, q[1] / w * sy, q[2] / w * sy}};
}

void restore_current_frame(const SAA_Scene &scene, int frame) {
    double seconds = 0.0;
    if (SAA_frame2Seconds(&scene, frame, &seconds) == SAA_OK)
        SAA_updatelistEvalScene(&scene, seconds);
}

}  // namespace

void build_wind_tables() {
    SceneState &s = scene_state();
    const size_t length = size_t(std::max(s.wind_table_length, 0));
    s.wind_frequency.assign(length, 0.0f);
    s.wind_step.assign(length, Vec3{});
    s.wind_offset.assign(length, Vec3{});
    Vec3 offset{};
    for (int f = s.start_frame; f <= s.end_frame && size_t(f - s.start_frame) < length; ++f) {
        const size_t i = size_t(f - s.start_frame);
        const FrameWind wind =
            s.has_wind_model ? wind_of_null(s.scene, s.wind_model, f) : kStillAir;
        for (int k = 0; k < 3; ++k) offset[k] = (i == 0 ? 0.0f : offset[k]) + wind.step[k];
        s.wind_frequency[i] = wind.frequency;
        s.wind_step[i] = wind.step;
        s.wind_offset[i] = offset;
    }
    if (s.has_wind_model) restore_current_frame(s.scene, s.current_frame);
}

void wind_sample_point(const PatchData &record, const HairRoot &root, int frame,
                       const float surface_translation[3], float out[3]) {
    const SceneState &s = scene_state();
    float frequency = 1.0f;
    Vec3 offset{};
    const int length =
        std::min({s.wind_table_length, int(s.wind_frequency.size()), int(s.wind_offset.size())});
    if (length > 0) {
        const int i = std::clamp(frame + s.frame_offset, 0, length - 1);
        frequency = s.wind_frequency[size_t(i)];
        offset = s.wind_offset[size_t(i)];
    }
    const bool relative = record.wind_move_with_geometry && surface_translation;
    for (int k = 0; k < 3; ++k) {
        const float q = root.position[k] - (relative ? surface_translation[k] : 0.0f);
        out[k] = q * record.wind_frequency_scale.value * frequency -
                 offset[k] * record.wind_speed_scale.value;
    }
}

}  // namespace vellimor
