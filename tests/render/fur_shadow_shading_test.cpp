// Shading of hair points on a surface that casts shadows: both queries darken the points deep in
// the fur and leave the tips lit, for the lights the shading is given.
#include <gtest/gtest.h>

#include "furdata/display_settings.h"
#include "support/hair_scene.h"
#include "hair/shadows.h"
#include "host/scene.h"
#include "render/hair_color.h"

namespace vellimor {
namespace {

class FurShadowShading : public testing::HairScene {
protected:
    // A flat unit square with hairs of length 1 along +z, casting five shells, lit from above.
    void SetUp() override {
        scene_lights_ = R"({"name": "Top", "position": [0.5, 0.5, 20]})";
        open_scene(testing::square_nurbs("Square"), {{"Square", SAA_MODEL_NURBS, 1, 1}});
        SceneState &s = scene_state();
        s.lights.resize(1);
        SAA_sceneGetLights(&s.scene, 1, s.lights.data());
        s.light_cache.clear();
        record().casts_shadow = 1;
        record().texture_keys.front().length.value = 1.0f;
        record().texture_keys.front().length.random = 0.0f;
        quant_patches();
        light.position[2] = 20.0f;
        light.position[0] = light.position[1] = 0.5f;
        for (int c = 0; c < 3; ++c) {
            light.color[c] = 1.0f;
            light.shadow_color[c] = 0.5f;
        }
        settings.hilights = 0;
        settings.shadow_umbra_scale = 0.1f;
        settings.light_exposure = 1.0f;
    }

    void TearDown() override {
        free_shadow_model();
        scene_state().lights.clear();
        scene_state().light_cache.clear();
        HairScene::TearDown();
    }

    // The red of a white point at height z over the middle of the square.
    float shaded_red(float z, bool exact) {
        record().shadow_exact = exact ? 1 : 0;
        HairShading shading;
        shading.begin_surface(record(), settings, std::span<const LightInfo>(&light, 1), 0);
        const float p[3] = {0.4f, 0.6f, z}, up[3] = {0, 0, 1};
        float base[4] = {1, 1, 1, 1};
        const float ambient[3] = {0, 0, 0}, specular[3] = {0, 0, 0};
        float out[4];
        shade_hair_point(shading, 1, p, up, base, ambient, specular, out);
        return out[0];
    }

    LightInfo light;
    DisplaySettings settings;
};

TEST_F(FurShadowShading, BothQueriesDarkenTheDepthsOfTheFur) {
    for (const bool exact : {true, false}) {
        const float deep = shaded_red(0.1f, exact);
        const float middle = shaded_red(0.5f, exact);
        const float tip = shaded_red(1.05f, exact);
        EXPECT_NEAR(tip, 1.0f, 1e-4) << exact;
        EXPECT_LT(middle, tip) << exact;
        EXPECT_LT(deep, middle) << exact;
        // The deepest shadow keeps the umbra's share of the light.
        EXPECT_GE(deep, 0.1f - 1e-4) << exact;
    }
    // Halfway up, the smooth value is the blend of the shells around it, the exact one the next
    // shell's value above it.
    EXPECT_NEAR(shaded_red(0.5f, false), 1.0f - 0.9f * 0.5f, 1e-3);
    EXPECT_NEAR(shaded_red(0.5f, true), 1.0f - 0.9f * 0.4f, 1e-3);
}

}  // namespace
}  // namespace vellimor
