// The default colour keys a record gets back when its colour keys are reset.
#include "furdata/patch_data.h"

#include <gtest/gtest.h>

namespace vellimor {
namespace {

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
