#include "support/test_prelude.h"

#include "hair/dynamics.h"
#include "hair/noise.h"
#include "hair/placement.h"
#include "hair/wind_tables.h"
#include "support/hair_scene.h"

namespace vellimor {
namespace {

using testing::HairScene;
using testing::square_patch;

// A square at rest, one moving along x at 1 unit per second, and one that speeds up from 1 to 3
// units per second at frame 4 (24 frames per second, linear keys).
const std::string kMotion = R"(, "animation": {"interpolation": "linear", "keys": [
    {"frame": 0, "translation": [0, 0, 0]}, {"frame": 240, "translation": [10, 0, 0]}]})";
const std::string kSpeedUp = R"(, "animation": {"interpolation": "linear", "keys": [
    {"frame": 0, "translation": [0, 0, 0]}, {"frame": 4, "translation": [0.16666667, 0, 0]},
    {"frame": 28, "translation": [3.16666667, 0, 0]}]})";

class Dynamics : public HairScene {
protected:
    void SetUp() override {
        open_scene(square_patch("Still") + "," + square_patch("Moving", kMotion) + "," +
                       square_patch("Faster", kSpeedUp),
                   {{"Still", SAA_MODEL_PATCH, 1, 1},
                    {"Moving", SAA_MODEL_PATCH, 1, 1},
                    {"Faster", SAA_MODEL_PATCH, 1, 1}},
                   1, 30, 6);
        for (int p = 0; p < 3; ++p) {
            record(p).velocity_scale.active = 1;
            record(p).acceleration_scale.active = 1;
            record(p).number_of_hairs_pr_square_unit = 30;
        }
    }
    void expect_all(int p, float vx, float ax, float tolerance_v, float tolerance_a) {
        ASSERT_EQ(record(p).dynamics_valid, 1);
        ASSERT_EQ(record(p).dynamics_state.size(), size_t(record(p).hair_count));
        ASSERT_GT(record(p).hair_count, 0);
        for (const HairDynamics &d : record(p).dynamics_state) {
            EXPECT_NEAR(d.velocity[0], vx, tolerance_v);
            EXPECT_NEAR(d.velocity[1], 0.0f, tolerance_v);
            EXPECT_NEAR(d.velocity[2], 0.0f, tolerance_v);
            EXPECT_NEAR(d.acceleration[0], ax, tolerance_a);
            EXPECT_NEAR(d.acceleration[1], 0.0f, tolerance_a);
        }
    }
};

// Velocity without acceleration at constant speed; smoothing averages the frames before.
TEST_F(Dynamics, VelocityFollowsTheMotionAndSmoothingAveragesEarlierFrames) {
    grow_fur(1, -1, 0);
    expect_all(1, 1.0f, 0.0f, 1e-3f, 0.05f);
    record(2).acceleration_scale.active = 0;
    grow_fur(2, -1, 0);
    expect_all(2, 3.0f, 0.0f, 2e-3f, 0.0f);  // the 0.01 s before frame 6 lie after the change

    record(2).calc_velocity_smooth = 1;
    record(2).velocity_smooth = 3;  // frames 6, 5 and 4: (3 + 3 + 1) / 3
    calc_dynamics(2);
    expect_all(2, 7.0f / 3.0f, 0.0f, 2e-3f, 0.0f);

    record(2).velocity_smooth = 0;  // one step, no division
    calc_dynamics(2);
    expect_all(2, 3.0f, 0.0f, 2e-3f, 0.0f);
}

class Wind : public HairScene {
protected:
    // Frames 1..5; the wind null, when given, is the only model.
    void open_with(const std::string &wind_null) {
        open_scene(wind_null, {}, 1, 5, 1);
        SceneState &s = scene_state();
        s.has_wind_model = !wind_null.empty();
        if (s.has_wind_model) {
            ASSERT_EQ(SAA_sceneGetModels(&s.scene, 1, &s.wind_model), SAA_OK);
        }
        build_wind_tables();
        record_.wind_speed_scale.value = 1.0f;
        root_at(0.5f, 0.25f, -2.0f);
    }
    void root_at(float x, float y, float z) {
        hair_.position[0] = x;
        hair_.position[1] = y;
        hair_.position[2] = z;
    }
    std::array<float, 3> sample(int frame, const float *translation = nullptr) {
        std::array<float, 3> out;
        wind_sample_point(record_, hair_, frame, translation, out.data());
        return out;
    }
    PatchData record_;
    HairRoot hair_;
};

TEST_F(Wind, WithoutANullTheWindDriftsAlongX) {
    open_with("");
    const SceneState &s = scene_state();
    ASSERT_EQ(s.wind_offset.size(), 5u);
    EXPECT_FLOAT_EQ(s.wind_offset[0][0], 0.1f);
    EXPECT_FLOAT_EQ(s.wind_frequency[3], 1.0f);
    for (int f = 1; f < 5; ++f) {
        const auto a = sample(f), b = sample(f + 1);
        EXPECT_NEAR(b[0] - a[0], -0.1f, 1e-6f);
        EXPECT_EQ(b[1], a[1]);
        EXPECT_EQ(b[2], a[2]);
    }
    EXPECT_NEAR(sample(1)[0], 0.5f - 0.1f, 1e-6f);
    // Outside the play range the nearest end is used.
    EXPECT_EQ(sample(99), sample(5));
    EXPECT_EQ(sample(-3), sample(1));
}

TEST_F(Wind, WindNullStepIsItsWorldUpPointScaledByY) {
    open_with(R"({"name": "Windy", "type": 4,
                  "transform": {"translation": [1, 2, 3], "scaling": [2, 1, 1]}})");
    const SceneState &s = scene_state();
    EXPECT_FLOAT_EQ(s.wind_frequency[0], 2.0f);
    EXPECT_NEAR(s.wind_step[0][0], 1.0f, 1e-6f);
    EXPECT_NEAR(s.wind_step[0][1], 3.0f, 1e-6f);
    EXPECT_NEAR(s.wind_step[0][2], 3.0f, 1e-6f);
    EXPECT_NEAR(s.wind_offset[4][1], 15.0f, 1e-5f);
    const auto a = sample(2);
    EXPECT_NEAR(a[0], 0.5f * 2 - 2.0f, 1e-5f);
}

TEST_F(Wind, ZeroYScalingStopsTheDriftAndZeroXFreezesThePoint) {
    open_with(R"({"name": "Wind", "type": 4, "transform": {"translation": [4, 5, 6],
                  "scaling": [0, 0, 1]}})");
    for (const auto &step : scene_state().wind_step)
        EXPECT_EQ(step, (std::array<float, 3>{0, 0, 0}));
    const auto a = sample(3);
    root_at(7.0f, -1.0f, 2.0f);
    EXPECT_EQ(sample(3), a);  // every hair samples the same point
}


}  // namespace
}  // namespace vellimor
