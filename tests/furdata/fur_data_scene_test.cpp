// The fur records stored in a scene: written and read back through the host stand-in.
#include "support/test_prelude.h"

#include <bit>

#include "fcurve/fcurve_list.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "furdata/record_codec.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "support/scene_text.h"
#include "host/status.h"
#include "support/test_env.h"
#include "render/pic_file.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class StoredFur : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        fcurve_delete_all();
        run_state().run_mode = kRunModeStandAlone;
        env.set("TEMP", temp.path());
        env.unset("FUR_USE_IRIS_GL");
        ASSERT_EQ(SAA_InitInternal("", 0, "SDKv1.71.6"), 0);
        using namespace test;
        db.write_scene("s", scene_text(nurbs_model("Ball", 3, 2) + "," + patch_model("Skin", 0, false, 3) +
                                       "," + patch_model("Flat", 0, false, 2)));
        load();
    }
    void TearDown() override {
        free_all();
        fcurve_delete_all();
        close_message_file();
        display_settings_free();
        reset_globals();
    }
    // Reads the saved scene afresh: scene tables, then the fur records.
    void load() {
        free_all();
        CaptureStderr();
        ASSERT_EQ(MY_read_scene("s", db.path().c_str()), 0);
        GetCapturedStderr();
    }
    void read_fur() {
        CaptureStderr();
        read_fur_data(1);
        stderr_text = GetCapturedStderr();
    }
    PatchData &patch(int i) { return *scene_state().patches[static_cast<size_t>(i)]; }
    const SAA_Elem &model(int i) { return scene_state().models[static_cast<size_t>(i)]; }
    void set_block(int i, const std::string &name, const Bytes &bytes, bool big_endian = false) {
        const SAA_Scene &scene = scene_state().scene;
        ASSERT_EQ(SAA_modelSetUserData(&scene, &model(i), name.c_str(), static_cast<int>(bytes.size()), 0,
                                       bytes.data()), 0);
        if (!big_endian) return;
        ASSERT_EQ(SAA_modelSetUserDataOrder(&scene, &model(i), name.c_str(), 1), 0);
    }
    int block_size(int i, const std::string &name) {
        int size = 0;
        short swap = 0;
        void *data = nullptr;
        SAA_modelAllocUserData(&scene_state().scene, &model(i), name.c_str(), &size, &swap, &data);
        return size;
    }
    void save() { ASSERT_EQ(write_fur_data(1), 0); }

    test::TempDatabase db;
    test::TempDir temp;
    test::ScopedEnv env;
    std::string stderr_text;
};

// Surfaces without blocks get the defaults; what is written reads back, channel pictures only
// while their channel is active.
TEST_F(StoredFur, WrittenRecordsReadBack) {
    read_fur();
    ASSERT_EQ(scene_state().patches.size(), 3u);
    EXPECT_EQ(std::tie(patch(0).name, patch(0).surfacetype), std::make_tuple(std::string("Ball"), 10));
    ASSERT_EQ(patch(1).texture_keys.size(), 1u);
    EXPECT_EQ(std::tie(patch(1).texture_keys.front().u, patch(1).nbColorKeys[0]), std::make_tuple(-1.0f, 2));
    ASSERT_NE(display_settings(), nullptr);
    EXPECT_EQ(display_settings()->draw_style, 2001);

    PatchData &r = patch(1);
    r.number_of_hairs_pr_square_unit = 4000;
    r.sub_res_u = 14;
    r.wind_velocity = {1, 0.75f, 0.25f, 0};
    r.nbColorKeys[kColorDiffuse] = 3;
    r.main_color_keys[kColorDiffuse][2].where = 0.5f;
    r.texture_keys.front().u = 0.25f;
    for (int k = 1; k <= 3; ++k) {
        TextureKey key = texture_key_new();
        key.u = 0.125f * static_cast<float>(k);
        key.length.value = static_cast<float>(k);
        key.color_keys[kColorDiffuse][2].G = 0.5f + 0.125f * static_cast<float>(k);
        r.texture_keys.push_back(key);
    }
    display_settings()->antialias_level = 3;
    save();
    EXPECT_EQ(std::make_tuple(block_size(1, "PatchData"), block_size(1, "T3"), block_size(0, "DisplaySettings")),
              std::make_tuple(47556, 2104, 644));

    load();
    read_fur();
    const PatchData &back = patch(1);
    EXPECT_EQ(std::tie(back.number_of_hairs_pr_square_unit, back.sub_res_u, back.wind_velocity.random,
                       back.nbColorKeys[kColorDiffuse], back.main_color_keys[kColorDiffuse][2].where),
              std::make_tuple(4000, 14, 0.25f, 3, 0.5f));
    ASSERT_EQ(back.texture_keys.size(), 4u);
    auto key = back.texture_keys.begin();
    EXPECT_EQ(key->u, 0.25f);
    for (int k = 1; k <= 3; ++k) {
        ++key;
        EXPECT_EQ(std::tie(key->u, key->length.value, key->color_keys[kColorDiffuse][2].G),
                  std::make_tuple(0.125f * float(k), float(k), 0.5f + 0.125f * float(k)));
    }
    EXPECT_EQ(display_settings()->antialias_level, 3);
    EXPECT_EQ(patch(0).number_of_hairs_pr_square_unit, 0);

    patch(0).length_picture = std::make_unique<Picture>();
    patch(0).length_picture->texture_filename = "len.pic";
    patch(0).length_picture_scale.active = 1;
    patch(0).curl_picture = std::make_unique<Picture>();
    patch(0).curl_picture_scale.active = 0;
    save();
    EXPECT_EQ(std::make_tuple(block_size(0, "LengthPic"), block_size(0, "CurlPic")), std::make_tuple(532, 0));
    patch(0).length_picture_scale.active = 0;
    save();
    EXPECT_EQ(block_size(0, "LengthPic"), 0);
}

// Blocks of an older version's size are read and kept as stored until the next save; blocks of
// unknown sizes are deleted.
TEST_F(StoredFur, OlderSizesAreReadAndUnknownSizesDeleted) {
    Bytes old(47124, 0), old_key(1412, 0);
    const int hairs = 1234;
    const float u = 0.5f;
    std::memcpy(&old[132], &hairs, 4);
    std::memcpy(&old_key[4], &u, 4);
    set_block(2, "PatchData", old);
    set_block(2, "T0", old_key);
    auto stored = patch_new();
    stored->nbColorKeys[kColorAmbient] = 3;
    stored->main_color_keys[kColorAmbient][2].where = 0.5f;
    TextureKey key = texture_key_new();
    key.u = 0.5f;
    key.color_keys[kColorDiffuse][0].R = 0.25f;
    set_block(0, "PatchData", Bytes(1000, 7));
    set_block(1, "PatchData", encode_patch_data(*stored));
    set_block(1, "T0", encode_texture_key(key));
    set_block(1, "T1", Bytes(2000, 1));
    set_block(1, "T2", encode_texture_key(key));
    read_fur();
    EXPECT_EQ(std::make_tuple(block_size(0, "PatchData"), patch(0).sub_res_u), std::make_tuple(0, 10));
    // The key after the damaged one is never read and left alone.
    EXPECT_EQ(std::make_tuple(block_size(1, "T1"), block_size(1, "T2")), std::make_tuple(0, 2104));
    ASSERT_EQ(patch(1).texture_keys.size(), 1u);
    const TextureKey &read = patch(1).texture_keys.front();
    // The colour keys start over.
    EXPECT_EQ(std::tie(read.u, read.color_keys[kColorDiffuse][0].R, patch(1).nbColorKeys[kColorAmbient]),
              std::make_tuple(0.5f, 1.0f, 1));
    EXPECT_EQ(std::tie(patch(2).number_of_hairs_pr_square_unit, patch(2).texture_keys.front().u), std::make_tuple(1234, 0.5f));
    EXPECT_EQ(block_size(2, "PatchData"), 47124);
}

// The current layouts as a machine of the other byte order wrote them.
void swap_field(Bytes &b, int offset, int size) { std::reverse(b.begin() + offset, b.begin() + offset + size); }

Bytes swapped_texture_key(const TextureKey &key) {
    Bytes b = encode_texture_key(key);
    for (int at = 0; at < kTextureKeyBlockSize; at += 4) swap_field(b, at, 4);  // all 32-bit fields
    return b;
}

Bytes swapped_display_settings(const DisplaySettings &s) {
    Bytes b = encode_display_settings(s);
    for (int at = 512, size; at < kDisplaySettingsBlockSize; at += size)
        swap_field(b, at, size = at == 532 || at == 534 ? 2 : 4);  // two shorts among the 32-bit fields
    return b;
}

Bytes swapped_patch_data(PatchData &r) {
    Bytes b = encode_patch_data(r);
    for (const LayoutField &f : patch_data_fields(r)) {
        if (std::holds_alternative<short *>(f.field)) swap_field(b, f.offset, 2);
        if (std::holds_alternative<int *>(f.field) || std::holds_alternative<float *>(f.field))
            swap_field(b, f.offset, 4);
    }
    for (int t = 0; t < kColorTypes; ++t) {
        swap_field(b, 364 + 4 * t, 4);
        for (int i = 0; i < r.nbColorKeys[t]; ++i) {
            const int at = 380 + 11680 * t + 584 * i;
            for (int field : {0, 12, 20, 28, 32 + 516, 32 + 520, 32 + 524, 32 + 528, 564, 568, 572, 576})
                swap_field(b, at + field, 4);
        }
    }
    return b;
}

TEST_F(StoredFur, OtherByteOrderReadsTheSameValues) {
    auto stored = patch_new();
    stored->number_of_hairs_pr_square_unit = 0x01020304;
    stored->wind_color.G = 0.375f;
    stored->max_number_of_segments = 0x0102;
    stored->nbColorKeys[kColorThickness] = 3;
    stored->main_color_keys[kColorThickness][2].where = 0.625f;
    stored->main_color_keys[kColorThickness][2].map_res = 33;
    stored->main_color_keys[kColorThickness][2].picture.texture_filename = "thick.pic";
    stored->main_color_keys[kColorThickness][2].picture.tilev = 0x0A0B;
    TextureKey key = texture_key_new();
    key.v = 0.875f;
    key.key_mode = 3;
    key.bend.valueV = -2.5f;
    key.color_keys[kColorSpecular][7].B = 0.125f;
    DisplaySettings settings;
    settings.other_display_mode = 0x0304;
    settings.light_exposure = 1.5f;
    settings.background_image_name = "sky.pic";
    set_block(1, "PatchData", swapped_patch_data(*stored), true);
    set_block(1, "T0", swapped_texture_key(key), true);
    set_block(0, "DisplaySettings", swapped_display_settings(settings), true);
    read_fur();
    const PatchData &r = patch(1);
    const MainColorKey &m = r.main_color_keys[kColorThickness][2];
    EXPECT_EQ(std::tie(r.number_of_hairs_pr_square_unit, r.wind_color.G, r.max_number_of_segments,
                       r.nbColorKeys[kColorThickness]),
              std::make_tuple(0x01020304, 0.375f, short(0x0102), 3));
    EXPECT_EQ(std::tie(m.where, m.map_res, m.picture.texture_filename, m.picture.tilev),
              std::make_tuple(0.625f, 33, std::string("thick.pic"), 0x0A0B));
    const TextureKey &k = r.texture_keys.front();
    EXPECT_EQ(std::tie(k.v, k.key_mode, k.bend.valueV, k.color_keys[kColorSpecular][7].B),
              std::make_tuple(0.875f, 3, -2.5f, 0.125f));
    const DisplaySettings &d = *display_settings();
    EXPECT_EQ(std::tie(d.other_display_mode, d.light_exposure, d.background_image_name),
              std::make_tuple(short(0x0304), 1.5f, std::string("sky.pic")));
}

TEST_F(StoredFur, CurvesAreReattachedById) {
    read_fur();
    const float one[] = {2.0f}, two[] = {0.5f, 0.25f}, four[] = {1, 0, 0, 1};
    const int velocity = fcurve_create(1, 1.0f, one);
    const int length = fcurve_create(2, 1.0f, two);
    const int color = fcurve_create(4, 1.0f, four);
    patch(1).velocity_scale.fcurve_id = velocity;
    patch(1).texture_keys.front().length.fcurve_id = length;
    patch(1).texture_keys.front().color_keys[kColorDiffuse][1].fcurve_id = color;
    // Beyond the colour keys in use: not stored with the key.
    patch(1).texture_keys.front().color_keys[kColorDiffuse][5].fcurve_id = color;
    save();
    EXPECT_GT(block_size(1, "FCurve_" + std::to_string(length)), 0);

    fcurve_delete_all();
    // Ids now in use by other curves: the loaded curves are renumbered and the groups follow.
    for (int k = 0; k < 3; ++k) fcurve_create(1, 1.0f, one);
    load();
    read_fur();
    const PatchData &r = patch(1);
    const TextureKey &key = r.texture_keys.front();
    ASSERT_NE(fcurve_find(r.velocity_scale.fcurve_id), nullptr);
    ASSERT_NE(fcurve_find(key.length.fcurve_id), nullptr);
    ASSERT_NE(fcurve_find(key.color_keys[kColorDiffuse][1].fcurve_id), nullptr);
    EXPECT_EQ(fcurve_count(), 6);
    float values[2] = {};
    fcurve_query(key.length.fcurve_id, 1, values);
    EXPECT_EQ(std::to_array(values), (std::array<float, 2>{0.5f, 0.25f}));
    EXPECT_EQ(key.color_keys[kColorDiffuse][5].fcurve_id, 0);
    EXPECT_EQ(r.acceleration_scale.fcurve_id, 0);
}

TEST_F(StoredFur, PicturesRestoredWithTheRecords) {
    auto image = pic_create(3, 3, true);
    const std::string file = temp.path() + "/fur.pic";
    ASSERT_TRUE(pic_write_file(file, *image));
    Picture stored;
    stored.texture_filename = file;
    stored.tilev = 5;
    set_block(0, "GrowPic", encode_picture(stored));
    Picture missing;
    missing.texture_filename = temp.path() + "/gone.pic";
    set_block(0, "BendPic", encode_picture(missing));
    auto record = patch_new();
    record->main_color_keys[kColorDiffuse][1].this_key_uses_picture = 1;
    record->main_color_keys[kColorDiffuse][1].picture = stored;
    record->main_color_keys[kColorDiffuse][0].this_key_uses_picture = 1;
    record->main_color_keys[kColorDiffuse][0].picture = missing;
    set_block(0, "PatchData", encode_patch_data(*record));
    read_fur();
    const PatchData &r = patch(0);
    ASSERT_NE(r.grow_picture, nullptr);
    ASSERT_NE(r.grow_picture->image, nullptr);
    EXPECT_EQ(std::tie(r.grow_picture->tilev, r.grow_sequence.picture_was_found), std::make_tuple(5, 1));
    EXPECT_EQ(r.bend_picture, nullptr);
    EXPECT_EQ(r.bend_sequence.picture_was_found, 0);
    const MainColorKey &found = r.main_color_keys[kColorDiffuse][1], &lost = r.main_color_keys[kColorDiffuse][0];
    EXPECT_EQ(found.seq_cont.picture_was_found, 1);
    EXPECT_NE(found.picture.image, nullptr);
    // A key whose picture is missing keeps the reference without an image.
    EXPECT_EQ(std::tie(lost.seq_cont.picture_was_found, lost.this_key_uses_picture, lost.picture.texture_filename),
              std::make_tuple(0, 1, missing.texture_filename));
}

TEST_F(StoredFur, RestartFromTheHoldFileBuildsTheHairs) {
    read_fur();
    patch(1).number_of_hairs_pr_square_unit = 50;
    patch(1).texture_keys.front().u = 0.5f;
    patch(2).sub_res_v = 3;
    scene_state().hold_file_path = temp.path() + "/fur_hold_0101_0101";
    ASSERT_EQ(write_hold_file(), 1);

    read_fur();  // every record back to what the scene stores
    EXPECT_EQ(patch(1).number_of_hairs_pr_square_unit, 0);
    CaptureStderr();
    fetch_all(scene_state().hold_file_path.c_str());
    GetCapturedStderr();
    EXPECT_EQ(std::tie(patch(1).number_of_hairs_pr_square_unit, patch(1).texture_keys.front().u, patch(2).sub_res_v),
              std::make_tuple(50, 0.5f, 3));
    EXPECT_GT(patch(1).hair_count, 0);
    EXPECT_EQ(patch(0).surfacetype, 10);  // the host's geometry, not the file's
    EXPECT_FALSE(fetch_fur_data(0, "", 0));
    EXPECT_FALSE(fetch_fur_data(7, scene_state().hold_file_path.c_str(), 0));
}

TEST_F(StoredFur, RandomBlocksOfEveryKnownSize) {
    unsigned state = 99;
    auto random_block = [&](int size) {
        Bytes b(static_cast<size_t>(size));
        for (auto &byte : b) byte = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
        return b;
    };
    const int record_sizes[] = {47556, 47124, 47264, 47376, 47380, 47408, 45812, 12};
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 3; ++i) {
            set_block(i, "PatchData", random_block(record_sizes[(round + i) % 8]), round % 2 == 1);
            set_block(i, "T0", random_block(2104), i == 1);
            set_block(i, "T1", random_block(round % 2 ? 2080 : 1412));
            set_block(i, "DisplaySettings", random_block(i == 0 ? 644 : 584), round % 3 == 0);
            set_block(i, "LengthPic", random_block(532), round % 2 == 0);
        }
        read_fur();
        for (int i = 0; i < 3; ++i) {
            for (int t = 0; t < kColorTypes; ++t) {
                EXPECT_GE(patch(i).nbColorKeys[t], 0);
                EXPECT_LT(patch(i).nbColorKeys[t], kMaxColorKeys);
            }
        }
    }
}

}  // namespace
}  // namespace vellimor
