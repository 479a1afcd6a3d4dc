#include "support/test_prelude.h"

#include <bit>
#include <numbers>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "host/scene.h"
#include "render/hair_color.h"

namespace vellimor {
namespace {

TextureKey &first_key(PatchData &record) { return record.texture_keys.front(); }

TEST(ColorAlongHair, OneKeyIsConstantAndTwoKeysHitRootAndTipExactly) {
    auto record = patch_new();
    HairKeyValues values{};  // per-hair values, byte scale
    const auto set = [&](int type, int k, std::array<float, 4> v) { std::copy_n(v.begin(), 4, values.value[type][k]); };
    set(kColorAmbient, 0, {51, 102, 153, 0});  // the only ambient key
    set(kColorDiffuse, 0, {255, 178, 102, 255});  // root
    set(kColorDiffuse, 1, {10, 20, 30, 40});  // tip
    set(kColorThickness, 0, {0.05f, 0, 0, 0});
    set(kColorThickness, 1, {0.0001f, 0, 0, 0});
    HairPointColors c;
    for (float t : {0.0f, 0.25f, 0.5f, 0.999f, 1.0f}) {
        colors_along_hair(*record, values, t, c);
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(c.ambient[k], 0.2f * float(k + 1)) << t;
    }
    colors_along_hair(*record, values, 0.0f, c);
    EXPECT_EQ(std::tie(c.diffuse[0], c.diffuse[1], c.thickness), std::make_tuple(1.0f, 178.0f * (1.0f / 255.0f), 0.05f));
    colors_along_hair(*record, values, 1.0f, c);
    EXPECT_EQ(std::tie(c.diffuse[0], c.diffuse[3], c.thickness),
              std::make_tuple(10.0f * (1.0f / 255.0f), 40.0f * (1.0f / 255.0f), 0.0001f));
    colors_along_hair(*record, values, 0.5f, c);
    EXPECT_NEAR(c.diffuse[0], (255.0f + 10.0f) / 2 / 255.0f, 1e-6);
    EXPECT_NEAR(c.thickness, (0.05f + 0.0001f) / 2, 1e-7);
}

TEST(ColorKeys, AddingMidRampLeavesTheRampUnchanged) {
    auto record = patch_new();
    TextureKey &key = first_key(*record);
    key.color_keys[kColorDiffuse][0] = {0, 1.0f, 0.5f, 0.0f, 1.0f};
    key.color_keys[kColorDiffuse][1] = {0, 0.0f, 0.5f, 1.0f, 0.2f};
    TextureKey inactive = texture_key_new();
    inactive.color_active[kColorDiffuse] = 0;
    record->texture_keys.push_back(inactive);

    auto ramp = [&](float t) { return color_at_position(*record, t, key.color_keys[kColorDiffuse],
                                                        kColorDiffuse); };
    std::vector<ColorKey> before;
    for (int i = 0; i <= 20; ++i) before.push_back(ramp(i / 20.0f));

    EXPECT_EQ(add_main_color_key(*record, 0.4f, kColorDiffuse), 1);
    EXPECT_EQ(add_main_color_key(*record, 0.7f, kColorDiffuse), 2);
    ASSERT_EQ(record->nbColorKeys[kColorDiffuse], 4);
    EXPECT_FLOAT_EQ(record->main_color_keys[kColorDiffuse][1].where, 0.4f);
    EXPECT_FLOAT_EQ(record->main_color_keys[kColorDiffuse][2].where, 0.7f);
    EXPECT_EQ(record->main_color_keys[kColorDiffuse][3].where, 1.0f);
    for (int i = 0; i <= 20; ++i) {
        const ColorKey after = ramp(i / 20.0f);
        EXPECT_NEAR(after.R, before[i].R, 1e-5) << i;
        EXPECT_NEAR(after.B, before[i].B, 1e-5) << i;
        EXPECT_NEAR(after.A, before[i].A, 1e-5) << i;
    }
    // A key that does not paint the type keeps its entries where they were.
    EXPECT_EQ(record->texture_keys.back().color_keys[kColorDiffuse][1].R, 0.0f);
}

TEST(ColorKeys, DeleteRules) {
    auto record = patch_new();
    // One key: nothing to delete; the first key never goes.
    EXPECT_FALSE(delete_main_color_key(*record, 0, kColorAmbient));
    EXPECT_FALSE(delete_main_color_key(*record, 0, kColorDiffuse));
    // Three keys: the last stays, the middle one goes and the rest moves down.
    TextureKey &key = first_key(*record);
    key.color_keys[kColorDiffuse][1] = {0, 0.9f, 0.9f, 0.9f, 0.9f};
    ASSERT_EQ(add_main_color_key(*record, 0.5f, kColorDiffuse), 1);
    ASSERT_EQ(record->nbColorKeys[kColorDiffuse], 3);
    EXPECT_FALSE(delete_main_color_key(*record, 2, kColorDiffuse));
    EXPECT_FALSE(delete_main_color_key(*record, 3, kColorDiffuse));
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 3);
    EXPECT_TRUE(delete_main_color_key(*record, 1, kColorDiffuse));
    EXPECT_EQ(std::tie(record->nbColorKeys[kColorDiffuse], record->main_color_keys[kColorDiffuse][1].where,
                       record->main_color_keys[kColorDiffuse][2].where), std::make_tuple(2, 1.0f, 10.0f));
    EXPECT_FLOAT_EQ(key.color_keys[kColorDiffuse][1].R, 0.9f);
    // Two keys: the last may go, leaving one.
    EXPECT_TRUE(delete_main_color_key(*record, 1, kColorDiffuse));
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 1);
    EXPECT_FALSE(delete_main_color_key(*record, 0, kColorDiffuse));
}

struct ShadingFixture : ::testing::Test {
    std::unique_ptr<PatchData> record = patch_new();
    DisplaySettings settings;
    std::vector<LightInfo> lights;
    HairRoot root;
    HairShading shading;

    void SetUp() override {
        root.normal[2] = root.tangent_u[0] = root.tangent_v[1] = 1.0f;
    }
    void add_light(float x, float y, float z, float r, float g, float b) {
        LightInfo &light = lights.emplace_back();
        const float position[3] = {x, y, z}, color[3] = {r, g, b};
        for (int k = 0; k < 3; ++k) {
            light.position[k] = position[k];
            light.color[k] = color[k];
            light.shadow_color[k] = 0.5f * color[k];
        }
    }
    // Shades point i of a hair going straight up the normal.
    void shade(int i, const float p[3], float base[4], float out[4]) {
        if (i == 0) {
            shading.begin_surface(*record, settings, lights, 0);
            shading.root = &root;
        }
        const float up[3] = {0, 0, 1}, ambient[3] = {1, 1, 1}, specular[3] = {1.0f, 0.5f, 0.25f};
        shade_hair_point(shading, i, p, up, base, ambient, specular, out);
    }
};

TEST_F(ShadingFixture, ShadingOffSumsTheLightColoursTimesExposure) {
    settings.shading = 0;
    settings.hilights = 0;
    settings.light_exposure = 0.5f;
    add_light(0, 0, 10, 0.8f, 0.6f, 0.4f);
    add_light(0, 0, -10, 0.2f, 0.2f, 1.0f);  // behind the surface: still counts
    const float p[3] = {0, 0, 0};
    float base[4] = {1, 1, 1, 0.7f}, out[4];
    shade(0, p, base, out);
    const float expected[] = {(0.8f + 0.2f) * 0.5f, (0.6f + 0.2f) * 0.5f, (0.4f + 1.0f) * 0.5f, 0.7f};
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(out[k], expected[k]) << k;
    float half[4] = {0.5f, 0.5f, 0.5f, 1};
    shade(1, p, half, out);
    EXPECT_FLOAT_EQ(out[0], (0.8f + 0.2f) * 0.25f);
}

TEST_F(ShadingFixture, APerpendicularLightGivesTheFullHilightAndHalfOfItToAlpha) {
    settings.shading = 0;
    settings.hilight_intensity = 0.8f;
    add_light(10, 0, 0, 1, 1, 1);  // at right angles to the hair
    const float p[3] = {0, 0, 0};
    float base[4] = {0.1f, 0.1f, 0.1f, 0.5f}, out[4];
    shade(0, p, base, out);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(base[k], 0.1f + 0.8f / float(1 << k), 1e-6) << k;  // times the specular
    EXPECT_NEAR(out[3], 0.5f + 0.4f, 1e-6);
    EXPECT_NEAR(out[0], base[0], 1e-6);  // lit by the one white light at exposure 1

    // A light along the hair is far outside the hilight.
    lights[0].position[0] = 0;
    lights[0].position[2] = 10;
    float plain[4] = {0.1f, 0.1f, 0.1f, 0.5f};
    shade(0, p, plain, out);
    EXPECT_FLOAT_EQ(plain[0], 0.1f);
    EXPECT_FLOAT_EQ(out[3], 0.5f);
}

TEST_F(ShadingFixture, ShadingFollowsTheAngleToTheRootNormalAndKeepsItAlongTheHair) {
    settings.hilights = 0;
    add_light(0, 0, 10, 1, 1, 1);  // along the normal: fully lit
    add_light(10, 0, 0, 1, 1, 1);  // at 90 degrees: half lit, half in its shadow colour
    const float root_point[3] = {0, 0, 0};
    float base[4] = {1, 1, 1, 1}, out[4];
    shade(0, root_point, base, out);
    EXPECT_NEAR(out[0], 1.0f + (0.5f + 0.5f * 0.5f), 1e-5);
    // Further up the hair the factors found at the root still hold.
    const float tip[3] = {20, 0, 0};
    float base2[4] = {1, 1, 1, 1};
    shade(1, tip, base2, out);
    EXPECT_NEAR(out[0], 1.75f, 1e-5);
    // A light behind the surface leaves only its shadow colour.
    lights.clear();
    add_light(0, 0, -10, 1, 1, 1);
    float base3[4] = {1, 1, 1, 1};
    shade(0, root_point, base3, out);
    EXPECT_NEAR(out[0], 0.5f, 1e-5);
    // Ten units away at 60 degrees off the normal: lit 1.5 - 2/3, the rest in its shadow colour.
    lights[0].position[0] = 10 * std::sin(std::numbers::pi_v<float> / 3);
    lights[0].position[2] = 5;
    float base4[4] = {1, 1, 1, 1};
    shade(0, root_point, base4, out);
    EXPECT_NEAR(out[0], 5.0f / 6 + 0.5f / 6, 1e-5);
}

TEST(ColorAlongHair, WindColourMovesDiffuseButNotAlpha) {
    auto record = patch_new();
    record->wind_color.R = 1.0f;
    record->wind_color.G = -0.5f;
    float diffuse[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    apply_wind_color(*record, 0.2f, diffuse);  // not active: no change
    EXPECT_EQ(diffuse[0], 0.5f);
    record->wind_color.active = 1;
    apply_wind_color(*record, 0.2f, diffuse);
    EXPECT_EQ(std::make_tuple(diffuse[0], diffuse[1], diffuse[3]), std::make_tuple(0.7f, 0.4f, 0.5f));  // alpha stays
}

TEST(ColorAlongHair, KeyValuesAreReadFromTheKeyMapsAtTheRoot) {
    auto record = patch_new();
    MainColorKey &tip = record->main_color_keys[kColorDiffuse][1];
    tip.map_res = 2;
    tip.color_map = {0x11223344u, 0x11223344u, 0xFF800040u, 0xFF800040u};  // rows by v
    MainColorKey &thick = record->main_color_keys[kColorThickness][0];
    thick.map_res = 1;
    const float w = 0.25f;
    thick.color_map = {std::bit_cast<uint32_t>(w)};
    HairKeyValues values{};
    sample_hair_key_values(*record, 0.2f, 1.0f, values);
    const float *tip_value = values.value[kColorDiffuse][1];
    EXPECT_EQ(std::tie(tip_value[0], tip_value[1], tip_value[3]), std::make_tuple(255.0f, 128.0f, 64.0f));
    EXPECT_EQ(values.value[kColorDiffuse][0][0], 0.0f);  // no map yet reads as 0
    EXPECT_EQ(values.value[kColorThickness][0][0], 0.25f);
}

TEST(ColorAlongHair, BrightComponentsSaturateAsBytes) {
    for (const auto &[value, byte] : {std::pair{1.7f, 255}, {1.0f, 255}, {0.5f, 127}, {-0.3f, 0}, {std::nanf(""), 0}})
        EXPECT_EQ(color_component_byte(value), byte) << value;
}

}  // namespace
}  // namespace vellimor
