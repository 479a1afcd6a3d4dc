#include <gtest/gtest.h>

#include <cmath>

#include "hair/noise.h"
#include "hair/wind_tables.h"
#include "support/hair_scene.h"

namespace vellimor {
namespace {

using testing::HairScene;

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
