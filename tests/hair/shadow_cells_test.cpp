// The smooth shadow query on a curved surface: the demo's unit sphere with its coarse default
// grid (45 degrees between columns), where a point's height in the fur must be measured from the
// sphere, not from the flat cells between the grid's columns.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/hair_scene.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "support/paths.h"

namespace vellimor {
namespace {

using testing::HairScene;

constexpr float kHairLength = 0.3f;
constexpr int kLevels = 5;

class SphereShadows : public HairScene {
protected:
    void SetUp() override {
        std::ifstream in(test::demo_database() + "/SCENES/furball.dsc");
        const auto scene = nlohmann::json::parse(in);
        nlohmann::json sphere;
        for (const auto &model : scene["models"])
            if (model["name"] == "Sphere") sphere = model;
        ASSERT_FALSE(sphere.is_null());
        scene_lights_ = R"({"name": "Key", "position": [5, 6, 5]})";
        open_scene(sphere.dump(), {{"Sphere", SAA_MODEL_NURBS, 4, 2}});
        SceneState &s = scene_state();
        int count = 0;
        SAA_sceneGetNbLights(&s.scene, &count);
        s.lights.resize(size_t(count));
        SAA_sceneGetLights(&s.scene, count, s.lights.data());
        s.light_cache.clear();
        record().casts_shadow = 1;
        record().number_shadow_levels = kLevels;
        record().shadow_subdivision = 2;
        record().texture_keys.front().length.value = kHairLength;
        record().texture_keys.front().length.random = 0.0f;
        quant_patches();
    }

    void TearDown() override {
        free_shadow_model();
        scene_state().lights.clear();
        scene_state().light_cache.clear();
        HairScene::TearDown();
    }

    // The point `height` above the sphere at host parameters (u, v), along its normal.
    void above(double u, double v, float height, float out[3]) {
        SceneState &s = scene_state();
        float position[3];
        ASSERT_EQ(evaluate_surface_point(s.scene, s.models[0], 2, u, v, position), 0);
        double normal[3];
        ASSERT_EQ(SAA_surfaceEvalNormal(&s.scene, &s.models[0], 2, 0, u, v, normal), 0);
        normalise(normal);
        for (int c = 0; c < 3; ++c) out[c] = position[c] + height * float(normal[c]);
    }

    float smooth_at(double u, double v, float height, int hint = 0) {
        float q[3];
        above(u, v, height, q);
        return shadow_smooth(q, 0, 0, hint);
    }
};

TEST_F(SphereShadows, ThePointsOfARingInTheFurAreShadedAlikeAtColumnsAndBetweenThem) {
    // The ring at the equator, on the side facing the light (u 2.5..4 faces +x, +z): lit from
    // outside, a point's value is its depth in the fur, the same at every u.
    for (const float height : {0.05f, 0.1f, 0.15f, 0.2f}) {
        const float expected = 1.0f - height / kHairLength;
        for (double u = 2.75; u <= 3.75; u += 0.0625) {
            EXPECT_NEAR(smooth_at(u, 1.0, height), expected, 0.03f) << "u " << u << " h " << height;
            // Between the rings of columns as well.
            EXPECT_NEAR(smooth_at(u, 1.25, height), smooth_at(u, 1.0, height), 0.03f)
                << "u " << u << " h " << height;
        }
    }
}

TEST_F(SphereShadows, TheRingVariesSmoothlyAllRound) {
    for (const double v : {0.6, 1.0, 1.3}) {
        for (const float height : {0.05f, 0.15f, 0.25f}) {
            float previous = smooth_at(0.01, v, height);
            for (int k = 1; k < 128; ++k) {
                const float value = smooth_at(0.01 + 3.98 * k / 127.0, v, height);
                // 45 degrees of a cell pass in 16 steps: the old bands changed by 0.3 over 4.
                EXPECT_LT(std::fabs(value - previous), 0.05f) << "v " << v << " h " << height << " k " << k;
                previous = value;
            }
        }
    }
}

TEST_F(SphereShadows, AboveTheTipsTheTipsValuesGoOn) {
    // Facing the light nothing stands between the tips and it; on the far side the sphere does.
    EXPECT_FLOAT_EQ(smooth_at(3.25, 1.0, kHairLength * 1.2f), 0.0f);
    EXPECT_FLOAT_EQ(smooth_at(1.5, 1.0, kHairLength * 1.2f), 1.0f);
    // Under the surface everything is dark.
    EXPECT_FLOAT_EQ(smooth_at(3.25, 1.0, -0.05f), 1.0f);
}

TEST_F(SphereShadows, TheAnswerDoesNotDependOnWhereTheSearchStarts) {
    const int cells = 8 * 4;
    for (double u = 0.1; u < 4.0; u += 0.37) {
        for (double v = 0.1; v < 2.0; v += 0.29) {
            const float from_root = smooth_at(u, v, 0.12f, shadow_smooth_hint(0, float(u / 4), float(v / 2)));
            for (int hint : {0, cells / 2, cells - 1, 100000, -5})
                EXPECT_NEAR(smooth_at(u, v, 0.12f, hint), from_root, 1e-5f) << u << " " << v << " " << hint;
        }
    }
}

// Hairs from roots all over the sphere, leaning and crossing cells: each point placed from where
// the hair's last points were gives what a fresh query from the root's cell gives.
TEST_F(SphereShadows, AHairsPointsPlacedFromTheLastOnesAnswerAsFreshQueries) {
    for (double u = 0.05; u < 4.0; u += 0.23) {
        for (double v = 0.05; v < 2.0; v += 0.31) {
            HairShadowHint hint{shadow_smooth_hint(0, float(u / 4), float(v / 2))};
            for (int i = 0; i <= 8; ++i) {
                float q[3];
                above(u + 0.02 * i, v - 0.015 * i, kHairLength * 1.2f * float(i) / 8.0f, q);
                float carried = -1.0f;
                shadow_smooth_lights(q, 0, hint, std::span<float>(&carried, 1));
                int fresh = shadow_smooth_hint(0, float(u / 4), float(v / 2));
                EXPECT_NEAR(carried, shadow_smooth(q, 0, 0, fresh), 1e-5f) << u << " " << v << " point " << i;
            }
        }
    }
}

}  // namespace
}  // namespace vellimor
