#include "furdata/record_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>

#include "host/configuration.h"
#include "host/globals.h"

namespace vellimor {
namespace {

std::uint32_t le32(const Bytes &b, int off) {
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16 |
           std::uint32_t(b[off + 3]) << 24;
}
int i32_at(const Bytes &b, int off) { return static_cast<int>(le32(b, off)); }
float f32_at(const Bytes &b, int off) { return std::bit_cast<float>(le32(b, off)); }
short i16_at(const Bytes &b, int off) { return static_cast<short>(b[off] | b[off + 1] << 8); }
void put_be32(Bytes &b, int off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

TEST(RecordCodec, PatchDataFieldOffsets) {
    auto p = patch_new();
    p->presistant_rebuild = 1;
    p->last_built_frame = 17;
    p->deleted = 1;
    p->name = "Fur_patch";
    p->velocity_scale.value = 2.5f;
    p->acceleration_scale.fcurve_id = 4;
    p->acceleration_smooth = 3;
    p->wind_color.B = 0.25f;
    p->wind_color.fcurve_id = 6;
    p->wind_grow.valueV = 0.75f;
    p->wind_velocity.random = 0.125f;
    p->wind_frequency_scale.value = 3.0f;
    p->wind_multiply_hair_speed.fcurve_id = 8;
    p->wind_move_with_geometry = 1;
    p->sub_res_v = 12;
    p->number_of_hairs_pr_square_unit = 250;
    p->hair_count = 999;
    p->nbColorKeys[kColorSpecular] = 3;
    p->main_color_keys[kColorThickness][19].where = 0.5f;
    p->main_color_keys[kColorAmbient][1].picture.texture_filename = "fur.pic";
    p->main_color_keys[kColorAmbient][1].seq_cont.loaded_frame_nr = 42;
    p->group = -3;
    p->max_number_of_segments = 7;
    p->density_map_res = 64;
    p->length_map_interp = 1;
    p->surfacetype = 10;
    p->nbPointsV = 4.0f;
    p->TileV = 1;
    p->density_map_dirty = 0;
    p->object_matte_color = 0x00336699;
    p->length_picture_scale.value = 0.5f;
    p->grow_picture_scale.valueV = 0.3f;
    p->bend_sequence.error_handling = 2;
    p->gravity_picture_scale.fcurve_id = 11;
    p->density_sequence.use_sequence = 1;
    p->density_picture_scale.active = 1;
    p->color_interpolation_method = 1;
    p->render_mode = 2001;
    p->is_selected = 1;
    p->casts_shadow = 1;
    p->number_shadow_levels = 9;
    p->Patch_display_mode = 4;
    const Bytes b = encode_patch_data(*p);

    EXPECT_EQ(i32_at(b, 0), 1);
    EXPECT_EQ(i32_at(b, 4), 17);
    EXPECT_EQ(i32_at(b, 12), 1);
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[16]), "Fur_patch");
    EXPECT_EQ(i32_at(b, 112), 0);  // pointer slot
    EXPECT_FLOAT_EQ(f32_at(b, 120), 2.5f);
    EXPECT_EQ(i32_at(b, 136), 4);
    EXPECT_EQ(i32_at(b, 152), 3);
    EXPECT_FLOAT_EQ(f32_at(b, 168), 0.25f);
    EXPECT_EQ(i32_at(b, 176), 6);
    EXPECT_FLOAT_EQ(f32_at(b, 212), 0.75f);
    EXPECT_FLOAT_EQ(f32_at(b, 280), 0.125f);
    EXPECT_FLOAT_EQ(f32_at(b, 292), 3.0f);
    EXPECT_EQ(i32_at(b, 320), 8);
    EXPECT_EQ(i32_at(b, 324), 1);
    EXPECT_EQ(i32_at(b, 328), 1);  // subdivision_dirty
    EXPECT_EQ(i32_at(b, 336), 12);
    EXPECT_EQ(i32_at(b, 344), 1);  // reserved, set on creation
    EXPECT_EQ(i32_at(b, 348), 250);
    EXPECT_EQ(i32_at(b, 352), 999);
    EXPECT_EQ(i32_at(b, 364), 2);
    EXPECT_EQ(i32_at(b, 372), 3);
    EXPECT_EQ(i32_at(b, 376), 2);
    // main colour key (t, i) at 380 + 11680 t + 584 i
    EXPECT_FLOAT_EQ(f32_at(b, 380 + 11680 * 0 + 584 * 1), 1.0f);  // diffuse key 1 at the tip
    EXPECT_EQ(i32_at(b, 380 + 4), 1);                                // map_dirty
    EXPECT_EQ(i32_at(b, 380 + 12), 50);                              // map_res
    EXPECT_FLOAT_EQ(f32_at(b, 380 + 11680 * 3 + 584 * 19), 0.5f);
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[380 + 11680 + 584 + 32]), "fur.pic");
    EXPECT_EQ(i32_at(b, 380 + 11680 + 584 + 564 + 12), 42);
    EXPECT_EQ(i16_at(b, 47100), -3);
    EXPECT_EQ(i16_at(b, 47102), 7);
    EXPECT_EQ(i32_at(b, 47104), 50);
    EXPECT_EQ(i32_at(b, 47128), 64);
    EXPECT_EQ(i32_at(b, 47132), 1);
    EXPECT_EQ(i32_at(b, 47160), 10);
    EXPECT_FLOAT_EQ(f32_at(b, 47168), 4.0f);
    EXPECT_EQ(i16_at(b, 47174), 1);
    EXPECT_EQ(i32_at(b, 47176), 1);
    EXPECT_EQ(i32_at(b, 47200), 0);
    EXPECT_EQ(i32_at(b, 47212), 0x00336699);
    EXPECT_FLOAT_EQ(f32_at(b, 47240), 0.5f);   // length_picture_scale.value
    EXPECT_FLOAT_EQ(f32_at(b, 47316), 0.3f);   // grow_picture_scale.valueV
    EXPECT_FLOAT_EQ(f32_at(b, 47356), 1.0f);   // bend_picture_scale.valueU
    EXPECT_EQ(i32_at(b, 47340), 2);            // bend sequence error_handling
    EXPECT_EQ(i32_at(b, 47444), 11);           // gravity_picture_scale.fcurve_id
    EXPECT_EQ(i32_at(b, 47452), 1);            // density sequence use_sequence
    EXPECT_EQ(i32_at(b, 47472), 1);            // density_picture_scale.active
    EXPECT_EQ(i32_at(b, 47488), 1);
    EXPECT_EQ(i32_at(b, 47528), 2001);
    EXPECT_EQ(i32_at(b, 47536), 1);
    EXPECT_EQ(i16_at(b, 47540), 2);
    EXPECT_EQ(i16_at(b, 47542), 1);
    EXPECT_EQ(i16_at(b, 47546), 9);
    EXPECT_EQ(i32_at(b, 47548), 4);
}

TEST(RecordCodec, PatchDataRoundTripKeepsRunTimeFields) {
    auto stored = patch_new();
    stored->presistant_rebuild = 1;
    stored->hair_count = 12;
    stored->wind_frequency_scale.active = 1;
    stored->wind_frequency_scale.value = 2.0f;
    stored->subdivision_dirty = 0;
    stored->name = "stored name";
    stored->surfacetype = 1;
    stored->nbPointsU = 9.0f;
    stored->shadow_exact = 1;
    stored->shadow_subdivision = 6;
    stored->casts_shadow = 1;
    stored->nbColorKeys[kColorAmbient] = 2;
    stored->main_color_keys[kColorAmbient][1].where = 0.6f;
    stored->main_color_keys[kColorAmbient][1].map_res = 20;
    stored->main_color_keys[kColorAmbient][1].map_interp = 1;
    stored->main_color_keys[kColorAmbient][5].where = 0.9f;  // beyond the count: not read
    stored->length_sequence.picture_was_found = 1;
    stored->length_sequence.sequence_offset = -4;
    const Bytes b = encode_patch_data(*stored);

    auto read = patch_new();
    read->name = "live name";
    read->surfacetype = 10;
    read->nbPointsU = 3.0f;
    ASSERT_TRUE(decode_patch_data(b, false, *read));
    EXPECT_EQ(read->presistant_rebuild, 1);
    EXPECT_EQ(read->hair_count, 12);
    EXPECT_TRUE(read->hairs.empty());
    EXPECT_EQ(read->wind_frequency_scale.active, 0);
    EXPECT_FLOAT_EQ(read->wind_frequency_scale.value, 2.0f);
    EXPECT_EQ(read->subdivision_dirty, 1);
    EXPECT_EQ(read->name, "live name");
    EXPECT_EQ(read->surfacetype, 10);
    EXPECT_FLOAT_EQ(read->nbPointsU, 3.0f);
    EXPECT_EQ(read->shadow_exact, 0);
    EXPECT_EQ(read->shadow_subdivision, 2);
    EXPECT_EQ(read->casts_shadow, 1);
    EXPECT_EQ(read->nbColorKeys[kColorAmbient], 2);
    EXPECT_FLOAT_EQ(read->main_color_keys[kColorAmbient][1].where, 0.6f);
    EXPECT_EQ(read->main_color_keys[kColorAmbient][1].map_res, 20);
    EXPECT_EQ(read->main_color_keys[kColorAmbient][1].map_interp, 0);
    EXPECT_FLOAT_EQ(read->main_color_keys[kColorAmbient][5].where, 0.0f);
    EXPECT_EQ(read->length_sequence.sequence_offset, -4);
    EXPECT_EQ(read->length_sequence.picture_was_found, 0);
    ASSERT_EQ(read->texture_keys.size(), 1u);
}

TEST(RecordCodec, OtherByteOrderReadsTheSameValues) {
    Bytes b = encode_patch_data(*patch_new());
    put_be32(b, 0, 1);                                   // presistant_rebuild
    put_be32(b, 348, 250);                               // number_of_hairs_pr_square_unit
    put_be32(b, 120, std::bit_cast<std::uint32_t>(1.5f));  // velocity_scale.value
    for (int t = 0; t < kColorTypes; ++t) put_be32(b, 364 + 4 * t, 1);
    put_be32(b, 380 + 12, 64);                           // diffuse key 0 map_res
    b[47100] = 0x01;                                     // group = 0x0102 big-endian
    b[47101] = 0x02;
    // fields left as little-endian zeros and ones read differently; check the ones set
    auto p = patch_new();
    ASSERT_TRUE(decode_patch_data(b, true, *p));
    EXPECT_EQ(p->presistant_rebuild, 1);
    EXPECT_EQ(p->number_of_hairs_pr_square_unit, 250);
    EXPECT_FLOAT_EQ(p->velocity_scale.value, 1.5f);
    EXPECT_EQ(p->nbColorKeys[kColorThickness], 1);
    EXPECT_EQ(p->main_color_keys[kColorDiffuse][0].map_res, 64);
    EXPECT_EQ(p->group, 0x0102);
}

TEST(RecordCodec, WrongSizesAreRefusedUntouched) {
    auto p = patch_new();
    p->hair_count = 5;
    Bytes b = encode_patch_data(*patch_new());
    b.pop_back();
    EXPECT_FALSE(decode_patch_data(b, false, *p));
    EXPECT_EQ(p->hair_count, 5);
    TextureKey k;
    EXPECT_FALSE(decode_texture_key(Bytes(2080), false, k));
    Picture pic;
    EXPECT_FALSE(decode_picture(Bytes(533), false, pic));
    DisplaySettings d;
    EXPECT_FALSE(decode_display_settings(Bytes(632), false, d));
    EXPECT_FALSE(decode_display_settings(Bytes(), false, d));
    ColorKey c;
    EXPECT_FALSE(decode_color_key(Bytes(23), false, c));
    MainColorKey m;
    EXPECT_FALSE(decode_main_color_key(Bytes(564), false, m));
}

TEST(RecordCodec, TextureKeyLayoutAndRoundTrip) {
    TextureKey k = texture_key_new();
    k.u = 0.25f;
    k.v = 0.75f;
    k.visible = 1;
    k.key_mode = 3;
    k.x2 = 7.0f;
    k.color_active[2] = 0;
    k.color_keys[kColorSpecular][19].A = 0.5f;
    k.color_keys[kColorSpecular][19].fcurve_id = 12;
    k.color_keys[kColorDiffuse][3].active = 1;
    k.bend.valueV = 0.4f;
    k.density.fcurve_id = 5;
    const Bytes b = encode_texture_key(k);
    EXPECT_EQ(i32_at(b, 0), 1);
    EXPECT_FLOAT_EQ(f32_at(b, 4), 0.25f);
    EXPECT_EQ(i32_at(b, 12), 1);
    EXPECT_EQ(i32_at(b, 16), 3);
    EXPECT_FLOAT_EQ(f32_at(b, 28), 0.6f);
    EXPECT_FLOAT_EQ(f32_at(b, 36), 7.0f);
    EXPECT_EQ(i32_at(b, 48), 0);
    EXPECT_FLOAT_EQ(f32_at(b, 56 + 4), 1.0f);    // diffuse key 0 R
    EXPECT_FLOAT_EQ(f32_at(b, 56 + 8), 0.7f);    // diffuse key 0 G
    const int spec19 = 56 + 24 * (20 * 2 + 19);
    EXPECT_FLOAT_EQ(f32_at(b, spec19 + 16), 0.5f);
    EXPECT_EQ(i32_at(b, spec19 + 20), 12);
    EXPECT_FLOAT_EQ(f32_at(b, 1976 + 4), 0.5f);  // length.value
    EXPECT_FLOAT_EQ(f32_at(b, 2028 + 8), 0.4f);  // bend.valueV
    EXPECT_FLOAT_EQ(f32_at(b, 2048 + 4), 5.0f);  // segments.value
    EXPECT_FLOAT_EQ(f32_at(b, 2064 + 8), 0.1f);  // gravity.random
    EXPECT_EQ(i32_at(b, 2080 + 12), 5);          // density.fcurve_id
    EXPECT_EQ(i32_at(b, 2096), 0);
    EXPECT_EQ(i32_at(b, 2100), 0);

    TextureKey r;
    ASSERT_TRUE(decode_texture_key(b, false, r));
    EXPECT_FLOAT_EQ(r.v, 0.75f);
    EXPECT_EQ(r.visible, 0);  // not taken from the block
    EXPECT_EQ(r.color_keys[kColorDiffuse][3].active, 0);
    EXPECT_EQ(r.key_mode, 3);
    EXPECT_EQ(r.color_active[2], 0);
    EXPECT_EQ(r.color_keys[kColorSpecular][19].fcurve_id, 12);
    EXPECT_FLOAT_EQ(r.bend.valueV, 0.4f);
    EXPECT_EQ(r.density.fcurve_id, 5);
    EXPECT_EQ(encode_texture_key(r), encode_texture_key([&] {
                  TextureKey e = k;
                  e.visible = 0;
                  e.color_keys[kColorDiffuse][3].active = 0;
                  return e;
              }()));
}

TEST(RecordCodec, PictureTextsAreTruncatedAndUnterminatedTextsBounded) {
    Picture p;
    p.texture_filename = std::string(600, 'p');
    p.tileu = 2;
    p.offv = 0.5f;
    const Bytes b = encode_picture(p);
    EXPECT_EQ(b[511], 0);
    EXPECT_EQ(i32_at(b, 512), 0);
    EXPECT_EQ(i32_at(b, 516), 2);
    EXPECT_FLOAT_EQ(f32_at(b, 528), 0.5f);
    Picture r;
    ASSERT_TRUE(decode_picture(b, false, r));
    EXPECT_EQ(r.texture_filename, std::string(511, 'p'));
    Bytes raw(532, 'x');  // no terminator anywhere
    ASSERT_TRUE(decode_picture(raw, false, r));
    EXPECT_EQ(r.texture_filename.size(), 511u);

    auto patch = patch_new();
    patch->name = std::string(200, 'n');
    const Bytes pb = encode_patch_data(*patch);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&pb[16])), std::string(89, 'n'));
}

TEST(RecordCodec, MainColorKeyLayout) {
    MainColorKey k;
    k.where = 0.5f;
    k.map_res = 30;
    k.map_interp = 1;
    k.this_key_uses_picture = 1;
    k.picture_channels = 3;
    k.picture_scale = 2.0f;
    k.picture.texture_filename = "a.pic";
    k.seq_cont.picture_was_found = 1;
    k.seq_cont.sequence_offset = 2;
    const Bytes b = encode_main_color_key(k);
    EXPECT_FLOAT_EQ(f32_at(b, 0), 0.5f);
    EXPECT_EQ(i32_at(b, 12), 30);
    EXPECT_EQ(i16_at(b, 16), 1);
    EXPECT_EQ(i32_at(b, 20), 1);
    EXPECT_EQ(i32_at(b, 24), 3);
    EXPECT_FLOAT_EQ(f32_at(b, 28), 2.0f);
    EXPECT_EQ(b[32], 'a');
    EXPECT_EQ(i32_at(b, 568), 2);
    EXPECT_EQ(i32_at(b, 580), 1);
    MainColorKey r;
    ASSERT_TRUE(decode_main_color_key(b, false, r));
    EXPECT_EQ(r.map_interp, 0);
    EXPECT_EQ(r.picture_channels, 0);
    EXPECT_EQ(r.seq_cont.picture_was_found, 0);
    EXPECT_EQ(r.seq_cont.sequence_offset, 2);
    EXPECT_EQ(r.picture.texture_filename, "a.pic");
}

TEST(RecordCodec, DisplaySettingsLayoutAndSwappedRead) {
    DisplaySettings d;
    d.background_image_name = "bg.pic";
    d.other_display_mode = 3;
    d.draw_style = 2002;
    d.show_channel[7] = 0;
    d.dir_bend_random_mode = 0;
    const Bytes b = encode_display_settings(d);
    EXPECT_EQ(b[0], 'b');
    EXPECT_EQ(le32(b, 512), 0xFF000000u);
    EXPECT_EQ(le32(b, 520), 0xFF555555u);
    EXPECT_FLOAT_EQ(f32_at(b, 524), 40.0f);
    EXPECT_EQ(i16_at(b, 532), 2);
    EXPECT_EQ(i16_at(b, 534), 3);
    EXPECT_FLOAT_EQ(f32_at(b, 552), 0.05f);
    EXPECT_EQ(i32_at(b, 556), 2002);
    EXPECT_EQ(i32_at(b, 584), 1);
    EXPECT_EQ(i32_at(b, 616), 0);
    EXPECT_FLOAT_EQ(f32_at(b, 628), 1.0f);
    EXPECT_EQ(i32_at(b, 640), 0);
    DisplaySettings r;
    ASSERT_TRUE(decode_display_settings(b, false, r));
    EXPECT_EQ(encode_display_settings(r), b);

    Bytes swapped = b;  // reverse every 4-byte field after the name; shorts at 532 and 534
    for (int off = 512; off < 644; off += 4) {
        if (off == 532) {
            std::swap(swapped[532], swapped[533]);
            std::swap(swapped[534], swapped[535]);
        } else {
            std::reverse(swapped.begin() + off, swapped.begin() + off + 4);
        }
    }
    DisplaySettings s;
    ASSERT_TRUE(decode_display_settings(swapped, true, s));
    EXPECT_EQ(encode_display_settings(s), b);
}

TEST(RecordCodec, RandomBlocksNeverCrash) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        Bytes b(kPatchDataBlockSize);
        for (auto &x : b) x = static_cast<std::uint8_t>(rng());
        auto p = patch_new();
        testing::internal::CaptureStderr();
        decode_patch_data(b, round % 2, *p);
        testing::internal::GetCapturedStderr();
        for (int t = 0; t < kColorTypes; ++t) {
            EXPECT_GE(p->nbColorKeys[t], 0);
            EXPECT_LE(p->nbColorKeys[t], 19);
        }
        Bytes k(kTextureKeyBlockSize);
        for (auto &x : k) x = static_cast<std::uint8_t>(rng());
        TextureKey key;
        decode_texture_key(k, round % 2, key);
    }
}

}  // namespace
}  // namespace vellimor
