#include <gtest/gtest.h>

#include "hair/dynamics.h"
#include "hair/placement.h"
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

TEST_F(Dynamics, ConstantSpeedGivesVelocityWithoutAcceleration) {
    grow_fur(1, -1, 0);
    expect_all(1, 1.0f, 0.0f, 1e-3f, 0.05f);
}

TEST_F(Dynamics, SmoothingAveragesEarlierFrames) {
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

}  // namespace
}  // namespace vellimor
