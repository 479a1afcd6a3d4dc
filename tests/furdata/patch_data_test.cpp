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

}  // namespace
}  // namespace vellimor
