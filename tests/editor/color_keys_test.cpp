// The colour key editor's rules: the RGB and HLS conversions, the colour area's mouse rules and
// the keys the sliders write.
#include "support/test_prelude.h"

#include "editor/color_conversion.h"
#include "editor/color_keys_edit.h"
#include "render/hair_color.h"

namespace vellimor {
namespace {

TEST(ColorConversion, KnownColoursConvertExactly) {
    Hls red = rgb_to_hls({1.0f, 0.0f, 0.0f});
    EXPECT_FLOAT_EQ(red.h, 0.0f);
    EXPECT_FLOAT_EQ(red.l, 0.5f);
    EXPECT_FLOAT_EQ(red.s, 1.0f);
    Hls blue = rgb_to_hls({0.0f, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(blue.h, 240.0f / 360.0f);
    Hls magenta = rgb_to_hls({1.0f, 0.0f, 0.5f});  // red is the max, b - g negative: wraps
    EXPECT_NEAR(magenta.h, 330.0f / 360.0f, 1e-6f);
    Hls grey = rgb_to_hls({0.4f, 0.4f, 0.4f});
    EXPECT_EQ(grey.s, 0.0f);
    EXPECT_EQ(grey.h, 0.0f);
    const Hls start = rgb_to_hls({1.0f, 0.9f, 0.85f});  // the panel's start colour
    EXPECT_NEAR(start.l, 0.925f, 1e-6f);
    EXPECT_NEAR(start.s, 0.15f / 0.15f, 1e-5f);  // (max - min) / (2 - max - min) above 0.5
    const Rgb light = hls_to_rgb({0.0f, 0.75f, 0.5f});
    EXPECT_FLOAT_EQ(light.r, 0.875f);
    EXPECT_FLOAT_EQ(light.g, 0.625f);
    EXPECT_FLOAT_EQ(light.b, 0.625f);
}

std::unique_ptr<PatchData> ramp_of_three() {
    auto record = patch_new();  // diffuse keys at 0 and 1
    record->texture_keys.front().u = record->texture_keys.front().v = 0.5f;
    EXPECT_EQ(add_main_color_key(*record, 0.5f, kColorDiffuse), 1);
    return record;
}

TEST(ColorArea, APressNearAKeySelectsItInsteadOfAdding) {
    auto record = ramp_of_three();
    int selected = 0;
    bool latch = false;
    color_area_push(*record, kColorDiffuse, {0.54f, true, false}, selected, latch);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 3);
    color_area_push(*record, kColorDiffuse, {0.98f, true, false}, selected, latch);
    EXPECT_EQ(selected, 2);
    // Equally near: the first wins; strictly nearer wins over earlier.
    EXPECT_EQ(nearest_color_key(*record, kColorDiffuse, 0.025f), 0);
    EXPECT_EQ(nearest_color_key(*record, kColorDiffuse, 0.46f), 1);
    EXPECT_EQ(nearest_color_key(*record, kColorDiffuse, 0.3f), -1);
    // Away from every key the left button adds one, which becomes the selected key.
    color_area_push(*record, kColorDiffuse, {0.3f, true, false}, selected, latch);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 4);
    EXPECT_EQ(selected, 1);
    EXPECT_FLOAT_EQ(record->main_color_keys[kColorDiffuse][1].where, 0.3f);
    // Without the left button nothing is added.
    color_area_push(*record, kColorDiffuse, {0.8f, false, false}, selected, latch);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 4);
}

TEST(ColorArea, OnePressDeletesAtMostOneKeyAndNeverTheFirst) {
    auto record = ramp_of_three();
    add_main_color_key(*record, 0.25f, kColorDiffuse);  // keys at 0, 0.25, 0.5, 1
    int selected = 0;
    bool latch = false;
    const ColorAreaMouse middle_at_first{0.0f, false, true};
    color_area_push(*record, kColorDiffuse, middle_at_first, selected, latch);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 4);
    EXPECT_FALSE(latch);
    color_area_push(*record, kColorDiffuse, {0.26f, false, true}, selected, latch);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 3);
    EXPECT_TRUE(latch);
    EXPECT_EQ(selected, 0);
    color_area_push(*record, kColorDiffuse, {0.5f, false, true}, selected, latch);  // still held
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 3);
    EXPECT_EQ(selected, 1);
    latch = false;  // released
    color_area_push(*record, kColorDiffuse, {0.5f, false, true}, selected, latch);
    EXPECT_EQ(record->nbColorKeys[kColorDiffuse], 2);
}

TEST(ColorSliders, TheyWriteTheSelectedKeysNearTheSelectedMainKey) {
    auto record = ramp_of_three();
    record->texture_keys.push_back(texture_key_new());
    TextureKey &second = record->texture_keys.back();
    second.selected = 0;
    for (MainColorKey &k : record->main_color_keys[kColorDiffuse]) k.map_dirty = 0;
    ColorSliderValues values{0.1f, 0.2f, 0.3f, 0.4f, 0.02f};
    std::vector<PatchData *> surfaces{record.get()};
    EXPECT_TRUE(apply_color_sliders(surfaces, *record, kColorDiffuse, 1, values, 1, 0));
    const ColorKey &written = record->texture_keys.front().color_keys[kColorDiffuse][1];
    EXPECT_EQ(written.B, 0.3f);
    EXPECT_EQ(written.A, 0.4f);
    EXPECT_NE(second.color_keys[kColorDiffuse][1].B, 0.3f);
    EXPECT_EQ(record->main_color_keys[kColorDiffuse][1].map_dirty, 1);
    EXPECT_EQ(record->main_color_keys[kColorDiffuse][0].map_dirty, 0);
    EXPECT_TRUE(apply_color_sliders(surfaces, *record, kColorThickness, 0, values, 1, 0));
    EXPECT_EQ(record->texture_keys.front().color_keys[kColorThickness][0].R, 0.02f);
    record->texture_keys.front().selected = 0;
    EXPECT_FALSE(apply_color_sliders(surfaces, *record, kColorDiffuse, 1, values, 1, 0));
}

}  // namespace
}  // namespace vellimor
