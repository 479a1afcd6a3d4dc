// The shadow model: shells and their values, the exact and smooth queries, and how a build ends;
// the smooth query on a curved surface too, the demo's unit sphere with its coarse default grid
// (45 degrees between columns), where a point's height in the fur must be measured from the
// sphere, not from the flat cells between the grid's columns.
#include "support/test_prelude.h"

#include <nlohmann/json.hpp>

#include "furdata/display_settings.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "render/hair_color.h"
#include "support/hair_scene.h"
#include "support/paths.h"

namespace vellimor {
namespace {

using testing::HairScene;
using testing::square_nurbs;
using testing::square_patch;

constexpr float kHairLength = 1.0f;

// A scene whose lights are in the light table, as reading the scene puts them, and one fur
// surface casting `levels` shells of hairs `length` long.
class ShadowScene : public HairScene {
protected:
    void open_caster(const std::string &model, const std::vector<testing::SurfaceSpec> &surfaces, int levels,
                     float length) {
        open_scene(model, surfaces);
        SceneState &s = scene_state();
        int count = 0;
        SAA_sceneGetNbLights(&s.scene, &count);
        s.lights.resize(size_t(count));
        if (count) SAA_sceneGetLights(&s.scene, count, s.lights.data());
        s.light_cache.clear();  // read again for this scene
        record().casts_shadow = 1;
        record().number_shadow_levels = static_cast<short>(levels);
        record().texture_keys.front().length.value = length;
        record().texture_keys.front().length.random = 0.0f;
    }
    void TearDown() override {
        free_shadow_model();
        scene_state().lights.clear();
        scene_state().light_cache.clear();
        HairScene::TearDown();
    }
};

class Shadows : public ShadowScene {
protected:
    // One flat unit square (z = 0) with hairs of length 1 along +z, lit by the given lights, its
    // shadow model built.
    void open_caster(int levels = 5, const std::string &lights = kOverhead) {
        scene_lights_ = lights;
        ShadowScene::open_caster(square_nurbs("Square"), {{"Square", SAA_MODEL_NURBS, 1, 1}}, levels, kHairLength);
        quant_patches();
    }

    static float height_of_level(int level, int levels) { return kHairLength * level / levels; }

    static constexpr const char *kOverhead = R"({"name": "Top", "position": [0.5, 0.5, 20]})";
    static constexpr const char *kLowSide = R"({"name": "Side", "position": [2, 0.4, 0.05]})";
};

TEST_F(Shadows, ShellsCarryTheirLevelsValuesAndTheTipsOnlyPoints) {
    open_caster(5);
    const ShadowModel &model = shadow_model();
    // Resolution 2 over a 1 x 1 range: 2 x 2 quads, two triangles each, on levels 0..4.
    ASSERT_EQ(model.triangles.size(), size_t(2 * 2 * 2 * 5));
    int per_level[6] = {};
    for (const ShadowTriangle &t : model.triangles) {
        ASSERT_GE(t.level, 0);
        ASSERT_LE(t.level, 4);
        ++per_level[t.level];
        EXPECT_FLOAT_EQ(t.s, float(5 - t.level) / 5.0f);
        EXPECT_NEAR(t.a[2], height_of_level(t.level, 5), 1e-5);
    }
    EXPECT_FLOAT_EQ(model.triangles.front().s, 1.0f);
    EXPECT_FLOAT_EQ(model.triangles.back().s, 0.2f);
    EXPECT_EQ(per_level[5], 0);
    for (int l = 0; l < 5; ++l) EXPECT_EQ(per_level[l], 8) << l;

    const ShadowGrid &grid = model.grids.at(0);
    EXPECT_EQ(std::make_tuple(grid.nu1, grid.nv1), std::make_tuple(3, 3));
    ASSERT_EQ(grid.point_count(), 3 * 3 * 6);
    // Point k = j + i·nv1 + level·nu1·nv1 sits over (i, j) / R at its level's height.
    const ShadowPoint &tip = grid.points[size_t(2 + 1 * 3 + 5 * 9)];
    EXPECT_NEAR(tip.position[0], 0.5f, 1e-5);
    EXPECT_NEAR(tip.position[1], 1.0f, 1e-5);
    EXPECT_NEAR(tip.position[2], kHairLength, 1e-5);
    // Lit from straight above nothing darkens a point beyond its own shell's value.
    for (int k = 0; k < grid.point_count(); ++k)
        EXPECT_FLOAT_EQ(grid.value(k, 0), float(5 - k / 9) / 5.0f) << k;
}

TEST_F(Shadows, ExactRaysPickTheDeepestShellCrossed) {
    open_caster(5);
    const float light[3] = {0.5f, 0.5f, 20.0f};
    const float below[3] = {0.5f, 0.5f, -0.5f};
    EXPECT_FLOAT_EQ(shadow_ray(light, below, 0.0f), 1.0f);  // through the surface itself

    // From between levels 3 and 4 down across level 3 only.
    const float from[3] = {0.5f, 0.5f, 0.7f};
    const float low_light[3] = {0.6f, 0.5f, 0.5f};
    EXPECT_FLOAT_EQ(shadow_ray(low_light, from, 0.0f), 0.4f);
    // Shells no darker than the value already there are passed by.
    EXPECT_FLOAT_EQ(shadow_ray(low_light, from, 0.4f), 0.4f);
    EXPECT_FLOAT_EQ(shadow_ray(low_light, from, 0.5f), 0.5f);

    // Above the tips with the light above: nothing in between.
    const float above[3] = {0.5f, 0.5f, 1.5f};
    EXPECT_FLOAT_EQ(shadow_ray(light, above, 0.0f), 0.0f);
    // Beside the square the shells are missed.
    const float beside[3] = {3.0f, 0.5f, 0.1f};
    const float beside_light[3] = {3.0f, 0.5f, 20.0f};
    EXPECT_FLOAT_EQ(shadow_ray(beside_light, beside, 0.0f), 0.0f);
}

TEST_F(Shadows, SmoothIsFullBelowTheSurfaceAndEmptyAboveTheTips) {
    open_caster(5);
    int hint = 0;
    const float below[3] = {0.4f, 0.6f, -0.05f};
    const float above[3] = {0.4f, 0.6f, 1.2f};
    const float inside[3] = {0.4f, 0.6f, 0.5f};
    EXPECT_FLOAT_EQ(shadow_smooth(below, 0, 0, hint), 1.0f);
    EXPECT_FLOAT_EQ(shadow_smooth(above, 0, 0, hint), 0.0f);
    // Lit from above, the value falls linearly from the surface to the tips.
    EXPECT_NEAR(shadow_smooth(inside, 0, 0, hint), 0.5f, 1e-4);
    // A light or surface the grids do not know answers "lit".
    EXPECT_FLOAT_EQ(shadow_smooth(inside, 1, 0, hint), 0.0f);
    EXPECT_FLOAT_EQ(shadow_smooth(inside, 0, 7, hint), 0.0f);
    // A stale hint from a larger grid is brought back in range.
    hint = 100000;
    EXPECT_NEAR(shadow_smooth(inside, 0, 0, hint), 0.5f, 1e-4);
    EXPECT_GE(hint, 0);
    EXPECT_LT(hint, shadow_model().grids[0].point_count());
}

TEST_F(Shadows, SmoothAgreesWithTheRaysItWasBuiltFromAndVariesContinuously) {
    open_caster(5, kLowSide);
    const ShadowGrid &grid = shadow_model().grids.at(0);
    const float light[3] = {2.0f, 0.4f, 0.05f};
    const int layer = grid.nu1 * grid.nv1;
    bool some_darkened = false;
    int hint = 0;
    for (int k = 0; k < grid.point_count(); ++k) {
        const int level = k / layer;
        const float own = float(5 - level) / 5.0f;
        const float *p = grid.points[size_t(k)].position;
        EXPECT_FLOAT_EQ(grid.value(k, 0), shadow_ray(light, p, own)) << k;
        some_darkened |= grid.value(k, 0) > own;
        if (level == 5) continue;  // the tips themselves count as above the fur
        EXPECT_NEAR(shadow_smooth(p, 0, 0, hint), grid.value(k, 0), 1e-4) << k;
    }
    EXPECT_TRUE(some_darkened);

    // Along a path through the fur the exact value jumps by whole shells; the smooth one moves
    // by small steps only (a change of the blended columns may add a little).
    for (const float y : {0.3f, 0.55f}) {
        float previous = -1.0f, previous_exact = -1.0f, largest = 0.0f, largest_exact = 0.0f;
        for (int n = 0; n <= 400; ++n) {
            const float q[3] = {0.15f + 0.7f * n / 400.0f, y, 0.05f + 0.9f * n / 400.0f};
            const float value = shadow_smooth(q, 0, 0, hint);
            const float exact = shadow_ray(light, q, 0.0f);
            ASSERT_GE(value, 0.0f);
            ASSERT_LE(value, 1.0f + 1e-5f);
            if (previous >= 0.0f) {
                largest = std::max(largest, std::fabs(value - previous));
                largest_exact = std::max(largest_exact, std::fabs(exact - previous_exact));
            }
            previous = value;
            previous_exact = exact;
        }
        EXPECT_GE(largest_exact, 0.2f - 1e-6f) << y;
        EXPECT_LT(largest, 0.1f) << y;
    }
}

TEST_F(Shadows, AllLightsAtOnceAnswerAsEachLightAlone) {
    // Two lights on different sides, so the values differ per light.
    open_caster(5, std::string(kLowSide) + R"(, {"name": "Other", "position": [-2, 0.6, 0.3]})");
    ASSERT_EQ(shadow_model().grids.at(0).light_count, 2);
    // Points inside, on a cell edge, below the surface, above the tips and off the square
    // (where no cell takes them), each queried from a fresh hint and from the last one.
    const float points[][3] = {{0.3f, 0.4f, 0.2f}, {0.5f, 0.5f, 0.5f}, {0.7f, 0.2f, -0.3f},
                               {0.2f, 0.8f, 1.4f}, {3.0f, -2.0f, 0.5f}, {0.9f, 0.9f, 0.9f}};
    int shared_hint = 0;
    for (const auto &q : points) {
        for (int start : {0, shared_hint}) {
            float both[2] = {-1.0f, -1.0f};
            int hint = start;
            shadow_smooth_lights(q, 0, hint, both);
            int own_hint = start;
            for (int l = 0; l < 2; ++l)
                EXPECT_EQ(both[l], shadow_smooth(q, l, 0, own_hint)) << q[0] << " light " << l;
            EXPECT_EQ(hint, own_hint);
            shared_hint = hint;
        }
    }
    // Values only for the lights the grid has; a surface without a grid answers 0.
    float three[3] = {-1.0f, -1.0f, -1.0f};
    int hint = 0;
    shadow_smooth_lights(points[0], 0, hint, three);
    EXPECT_EQ(three[2], 0.0f);
    shadow_smooth_lights(points[0], 7, hint, three);
    EXPECT_EQ(three[0], 0.0f);
    EXPECT_EQ(three[1], 0.0f);
}

// Shading on the caster: both queries darken the points deep in the fur and leave the tips lit.
TEST_F(Shadows, ShadingWithBothQueriesDarkensTheDepthsOfTheFur) {
    open_caster(5);
    LightInfo light;
    light.position[2] = 20.0f;
    light.position[0] = light.position[1] = 0.5f;
    for (int c = 0; c < 3; ++c) light.color[c] = 1.0f, light.shadow_color[c] = 0.5f;
    DisplaySettings settings;
    settings.hilights = 0;
    settings.shadow_umbra_scale = 0.1f;
    settings.light_exposure = 1.0f;
    // The red of a white point at height z over the middle of the square.
    const auto shaded_red = [&](float z, bool exact) {
        record().shadow_exact = exact ? 1 : 0;
        HairShading shading;
        shading.begin_surface(record(), settings, std::span<const LightInfo>(&light, 1), 0);
        const float p[3] = {0.4f, 0.6f, z}, up[3] = {0, 0, 1}, none[3] = {0, 0, 0};
        float base[4] = {1, 1, 1, 1}, out[4];
        shade_hair_point(shading, 1, p, up, base, none, none, out);
        return out[0];
    };
    for (const bool exact : {true, false}) {
        const float deep = shaded_red(0.1f, exact), middle = shaded_red(0.5f, exact), tip = shaded_red(1.05f, exact);
        EXPECT_NEAR(tip, 1.0f, 1e-4) << exact;
        EXPECT_LT(middle, tip) << exact;
        EXPECT_LT(deep, middle) << exact;
        EXPECT_GE(deep, 0.1f - 1e-4) << exact;  // the deepest shadow keeps the umbra's share
    }
    // Halfway up, the smooth value is the blend of the shells around it, the exact one the next
    // shell's value above it.
    EXPECT_NEAR(shaded_red(0.5f, false), 1.0f - 0.9f * 0.5f, 1e-3);
    EXPECT_NEAR(shaded_red(0.5f, true), 1.0f - 0.9f * 0.4f, 1e-3);
}

TEST_F(Shadows, WithoutACasterTheModelIsEmptyButTheSurfaceStillCounts) {
    open_caster(5);
    record().casts_shadow = 0;
    quant_patches();
    EXPECT_TRUE(shadow_model().triangles.empty());
    EXPECT_TRUE(shadow_triangles().empty());
    int hint = 0;
    const float p[3] = {0.5f, 0.5f, 0.5f}, light[3] = {0.5f, 0.5f, -5.0f};
    EXPECT_FLOAT_EQ(shadow_smooth(p, 0, 0, hint), 0.0f);
    EXPECT_FLOAT_EQ(shadow_ray(light, p, 0.25f), 0.25f);

    // One level is no stack of shells either.
    record().casts_shadow = 1;
    record().number_shadow_levels = 1;
    quant_patches();
    EXPECT_TRUE(shadow_model().triangles.empty());
}

TEST_F(Shadows, OtherSurfacesBlockLightWithTheirBareShell) {
    scene_lights_ = kOverhead;
    ShadowScene::open_caster(square_nurbs("Square") + "," +
                                 square_patch("Roof", R"(, "transform": {"translation": [0, 0, 3]})"),
                             {{"Square", SAA_MODEL_NURBS, 1, 1}, {"Roof", SAA_MODEL_PATCH, 1, 1}}, 3, kHairLength);
    record(1).number_shadow_levels = 0;  // never read for a surface that casts nothing
    quant_patches();
    const ShadowModel &model = shadow_model();
    ASSERT_EQ(model.triangles.size(), size_t(8 * 3 + 8));
    // Level 0 of every surface first, in table order.
    for (int n = 0; n < 16; ++n) EXPECT_EQ(model.triangles[size_t(n)].level, 0) << n;
    EXPECT_NEAR(model.triangles[8].a[2], 3.0f, 1e-5);
    EXPECT_FLOAT_EQ(model.triangles[8].s, 1.0f);
    EXPECT_TRUE(model.grids.at(1).points.empty());
    // The roof shades the whole fur below it from the overhead light.
    const ShadowGrid &grid = model.grids.at(0);
    for (int k = 0; k < grid.point_count(); ++k) EXPECT_FLOAT_EQ(grid.value(k, 0), 1.0f) << k;
}

TEST_F(Shadows, ASceneWithoutLightsShadesForTheDefaultLight) {
    open_caster(3, "");
    const ShadowGrid &grid = shadow_model().grids.at(0);
    EXPECT_EQ(grid.light_count, 1);
    int hint = 0;
    const float p[3] = {0.5f, 0.5f, 0.5f};
    const float value = shadow_smooth(p, 0, 0, hint);
    EXPECT_GE(value, 0.0f);
    EXPECT_LE(value, 1.0f);
}

constexpr float kFurOnTheSphere = 0.3f;

class SphereShadows : public ShadowScene {
protected:
    void SetUp() override {
        std::ifstream in(test::demo_database() + "/SCENES/furball.dsc");
        const auto scene = nlohmann::json::parse(in);
        nlohmann::json sphere;
        for (const auto &model : scene["models"])
            if (model["name"] == "Sphere") sphere = model;
        ASSERT_FALSE(sphere.is_null());
        scene_lights_ = R"({"name": "Key", "position": [5, 6, 5]})";
        open_caster(sphere.dump(), {{"Sphere", SAA_MODEL_NURBS, 4, 2}}, 5, kFurOnTheSphere);
        record().shadow_subdivision = 2;
        quant_patches();
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
        const float expected = 1.0f - height / kFurOnTheSphere;
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
    EXPECT_FLOAT_EQ(smooth_at(3.25, 1.0, kFurOnTheSphere * 1.2f), 0.0f);
    EXPECT_FLOAT_EQ(smooth_at(1.5, 1.0, kFurOnTheSphere * 1.2f), 1.0f);
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
                above(u + 0.02 * i, v - 0.015 * i, kFurOnTheSphere * 1.2f * float(i) / 8.0f, q);
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
