#include "furdata/patch_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "furdata/display_settings.h"
#include "host/scene.h"

namespace vellimor {
namespace {

TEST(PatchData, NewRecordHasOneUnplacedTextureKey) {
    auto p = patch_new();
    ASSERT_EQ(p->texture_keys.size(), 1u);
    const TextureKey &k = p->texture_keys.front();
    EXPECT_EQ(k.u, -1.0f);
    EXPECT_EQ(k.v, -1.0f);
    EXPECT_EQ(k.selected, 1);
    EXPECT_EQ(k.visible, 0);
    EXPECT_FLOAT_EQ(k.ang, 0.6f);
    EXPECT_EQ(k.length.active, 1);
    EXPECT_FLOAT_EQ(k.length.value, 0.5f);
    EXPECT_FLOAT_EQ(k.segments.value, 5.0f);
    EXPECT_FLOAT_EQ(k.gravity.value, 0.1f);
    EXPECT_FLOAT_EQ(k.gravity.random, 0.1f);
    EXPECT_FLOAT_EQ(k.density.value, 1.0f);
    for (int t = 0; t < kColorTypes; ++t) EXPECT_EQ(k.color_active[t], 1);
    EXPECT_TRUE(p->hairs.empty());
    EXPECT_TRUE(p->cells.empty());
    EXPECT_TRUE(p->dynamics_state.empty());
}

TEST(PatchData, NewRecordDefaults) {
    auto p = patch_new();
    EXPECT_EQ(p->render_mode, 2000);
    EXPECT_EQ(p->last_built_frame, -1);
    EXPECT_EQ(p->sub_res_u, 10);
    EXPECT_EQ(p->sub_res_v, 10);
    EXPECT_EQ(p->subdivision_dirty, 1);
    EXPECT_EQ(p->reserved_344, 1);
    EXPECT_EQ(p->max_number_of_segments, 5);
    EXPECT_EQ(p->density_map_res, 50);
    EXPECT_EQ(p->gravity_map_dirty, 1);
    EXPECT_EQ(p->color_interpolation_method, 2);
    EXPECT_EQ(p->shadow_subdivision, 2);
    EXPECT_EQ(p->number_shadow_levels, 5);
    EXPECT_EQ(p->Patch_display_mode, 2);
    EXPECT_FLOAT_EQ(p->velocity_scale.value, 1.0f);
    EXPECT_FLOAT_EQ(p->wind_frequency_scale.value, 1.0f);
    EXPECT_FLOAT_EQ(p->wind_speed_scale.value, 0.0f);
    EXPECT_FLOAT_EQ(p->grow_picture_scale.valueU, 1.0f);
    EXPECT_FLOAT_EQ(p->bend_picture_scale.valueV, 1.0f);
    EXPECT_FLOAT_EQ(p->length_picture_scale.value, 1.0f);
    EXPECT_EQ(p->length_picture, nullptr);
    EXPECT_EQ(p->velocity_smooth, 1);
}

TEST(PatchData, ColorKeyCountsAndPositions) {
    auto p = patch_new();
    EXPECT_EQ(p->nbColorKeys[kColorDiffuse], 2);
    EXPECT_EQ(p->nbColorKeys[kColorAmbient], 1);
    EXPECT_EQ(p->nbColorKeys[kColorSpecular], 1);
    EXPECT_EQ(p->nbColorKeys[kColorThickness], 2);
    EXPECT_EQ(p->main_color_keys[kColorDiffuse][1].where, 1.0f);
    EXPECT_EQ(p->main_color_keys[kColorThickness][1].where, 1.0f);
    EXPECT_EQ(p->main_color_keys[kColorAmbient][0].where, 0.0f);
    for (int t = 0; t < kColorTypes; ++t) {
        for (const MainColorKey &k : p->main_color_keys[t]) {
            EXPECT_EQ(k.map_res, 50);
            EXPECT_EQ(k.map_dirty, 1);
            EXPECT_TRUE(k.color_map.empty());
        }
    }
    const TextureKey &k = p->texture_keys.front();
    EXPECT_FLOAT_EQ(k.color_keys[kColorDiffuse][0].G, 0.7f);
    EXPECT_FLOAT_EQ(k.color_keys[kColorDiffuse][0].A, 1.0f);
    EXPECT_FLOAT_EQ(k.color_keys[kColorDiffuse][1].R, 0.0f);
    EXPECT_FLOAT_EQ(k.color_keys[kColorAmbient][1].B, 1.0f);
    EXPECT_FLOAT_EQ(k.color_keys[kColorThickness][0].R, 0.05f);
    EXPECT_FLOAT_EQ(k.color_keys[kColorThickness][1].R, 0.0001f);
}

TEST(PatchData, DefaultsRestoreAfterEdits) {
    auto p = patch_new();
    TextureKey &k = p->texture_keys.front();
    k.color_keys[kColorSpecular][0].R = 0.25f;
    k.color_keys[kColorSpecular][3].fcurve_id = 9;
    p->nbColorKeys[kColorSpecular] = 4;
    p->main_color_keys[kColorSpecular][0].where = 0.3f;
    p->main_color_keys[kColorSpecular][2].map_res = 7;
    p->main_color_keys[kColorSpecular][2].color_map.assign(49, 1u);
    p->main_color_keys[kColorSpecular][2].seq_cont.picture_was_found = 1;
    p->main_color_keys[kColorSpecular][2].seq_cont.use_sequence = 1;
    color_keys_default(k, kColorSpecular);
    main_color_keys_default(*p, kColorSpecular);
    EXPECT_FLOAT_EQ(k.color_keys[kColorSpecular][0].R, 1.0f);
    EXPECT_EQ(k.color_keys[kColorSpecular][3].fcurve_id, 0);
    EXPECT_EQ(p->nbColorKeys[kColorSpecular], 1);
    EXPECT_EQ(p->main_color_keys[kColorSpecular][0].where, 0.0f);
    EXPECT_EQ(p->main_color_keys[kColorSpecular][2].map_res, 50);
    EXPECT_TRUE(p->main_color_keys[kColorSpecular][2].color_map.empty());
    EXPECT_EQ(p->main_color_keys[kColorSpecular][2].seq_cont.use_sequence, 0);
    EXPECT_EQ(p->main_color_keys[kColorSpecular][2].seq_cont.picture_was_found, 1);
    // Out-of-range types change nothing and do not crash.
    color_keys_default(k, 4);
    main_color_keys_default(*p, -1);
}

TEST(PatchData, ChannelNames) {
    EXPECT_STREQ(channel_name(0, 0), "diffuse");
    EXPECT_STREQ(channel_name(0, 1), "ambient");
    EXPECT_STREQ(channel_name(0, 2), "specular");
    EXPECT_STREQ(channel_name(0, 3), "thickness");
    EXPECT_STREQ(channel_name(0, 7), "undefined");
    EXPECT_STREQ(channel_name(1, 0), "length");
    EXPECT_STREQ(channel_name(2, 0), "wave");
    EXPECT_STREQ(channel_name(3, 0), "direction");
    EXPECT_STREQ(channel_name(4, 0), "segments");
    EXPECT_STREQ(channel_name(5, 0), "gravity");
    EXPECT_STREQ(channel_name(6, 0), "bend");
    EXPECT_STREQ(channel_name(7, 0), "density");
    EXPECT_STREQ(channel_name(8, 0), "undefined");
    EXPECT_STREQ(channel_name(-1, 0), "undefined");
}

TEST(PatchData, ChannelPictureBlocksByRecordOrder) {
    auto p = patch_new();
    channel_picture(*p, kRecordGravity).active = 1;
    channel_picture(*p, kRecordBend).sequence.sequence_offset = 3;
    channel_picture(*p, kRecordDensity).picture = std::make_unique<Picture>();
    EXPECT_EQ(p->gravity_picture_scale.active, 1);
    EXPECT_EQ(p->bend_sequence.sequence_offset, 3);
    EXPECT_NE(p->density_picture, nullptr);
}

TEST(PatchData, PatchFreeReleasesTableEntry) {
    SceneState &s = scene_state();
    s.patches.clear();
    s.patches.push_back(patch_new());
    s.patches.push_back(patch_new());
    patch_free(1);
    patch_free(5);  // out of range: nothing
    EXPECT_NE(s.patches[0], nullptr);
    EXPECT_EQ(s.patches[1], nullptr);
    s.patches.clear();
}

TEST(DisplaySettings, Defaults) {
    display_settings_free();
    EXPECT_EQ(display_settings(), nullptr);
    DisplaySettings &d = display_settings_create();
    EXPECT_EQ(display_settings(), &d);
    EXPECT_EQ(static_cast<unsigned>(d.background_color), 0xFF000000u);
    EXPECT_EQ(static_cast<unsigned>(d.other_color), 0xFF555555u);
    EXPECT_FLOAT_EQ(d.hilight_size, 40.0f);
    EXPECT_FLOAT_EQ(d.hilight_intensity, 0.8f);
    EXPECT_EQ(d.reserved_532, 2);
    EXPECT_EQ(d.other_display_mode, 1);
    EXPECT_FLOAT_EQ(d.shadow_umbra_scale, 0.1f);
    EXPECT_FLOAT_EQ(d.preview_fraction, 0.05f);
    EXPECT_EQ(d.draw_style, 2001);
    EXPECT_EQ(d.beep_on_error, 1);
    EXPECT_EQ(d.debug_level, 1);
    EXPECT_EQ(d.use_opengl, 1);
    for (int v : d.show_channel) EXPECT_EQ(v, 1);
    EXPECT_EQ(d.move_mouse, 1);
    EXPECT_FLOAT_EQ(d.light_exposure, 1.0f);
    EXPECT_EQ(d.redraw_auto, 1);
    EXPECT_EQ(d.dir_bend_random_mode, 1);
    display_settings_free();
}

}  // namespace
}  // namespace vellimor
