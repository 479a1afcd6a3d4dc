// The current stored layouts: every field at its own offset (a value of its own set in the
// record, or the new record's value), what the readers keep of a block, and blocks of wrong size,
// of the other byte order and of random bytes.
#include "furdata/record_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <tuple>

namespace vellimor {
namespace {

// The little-endian field of a block: 'i' int, 'u' unsigned, 's' short, 'f' float.
double stored(const Bytes &b, int at, char kind) {
    const std::uint32_t v = std::uint32_t(b[size_t(at)]) | std::uint32_t(b[size_t(at) + 1]) << 8 |
                            (kind == 's' ? 0 : std::uint32_t(b[size_t(at) + 2]) << 16 | std::uint32_t(b[size_t(at) + 3]) << 24);
    if (kind == 'f') return std::bit_cast<float>(v);
    return kind == 's' ? short(v) : kind == 'i' ? double(int(v)) : double(v);
}
std::string text_at(const Bytes &b, int at) { return reinterpret_cast<const char *>(&b[size_t(at)]); }

// A field at its offset, with the value a test sets (or the record keeps by default).
template <class R>
struct Slot {
    int offset;
    char kind;
    double value;
    void (*set)(R &) = nullptr;
};
#define AT(offset, kind, field, v) {offset, kind, double(v), [](auto &r) { r.field = v; }}

template <class R>
Bytes expect_layout(R &record, const std::vector<Slot<R>> &slots, Bytes (*encode)(const R &)) {
    for (const Slot<R> &s : slots)
        if (s.set) s.set(record);
    const Bytes b = encode(record);
    for (const Slot<R> &s : slots)
        EXPECT_EQ(stored(b, s.offset, s.kind), s.kind == 'f' ? double(float(s.value)) : s.value) << "at " << s.offset;
    return b;
}

constexpr int kMainKeys = 380, kTypeStride = 11680, kKeyStride = 584;  // main colour key (t, i)

TEST(RecordCodec, EveryFieldOfTheFurRecordAtItsOffset) {
    auto record = patch_new();
    record->name = "Fur_patch";
    record->main_color_keys[kColorAmbient][1].picture.texture_filename = "fur.pic";
    const Bytes b = expect_layout<PatchData>(*record, {
        AT(0, 'i', presistant_rebuild, 1), AT(4, 'i', last_built_frame, 17), AT(12, 'i', deleted, 1), {112, 'i', 0},
        AT(120, 'f', velocity_scale.value, 2.5f), AT(136, 'i', acceleration_scale.fcurve_id, 4),
        AT(152, 'i', acceleration_smooth, 3), AT(168, 'f', wind_color.B, 0.25f), AT(176, 'i', wind_color.fcurve_id, 6),
        AT(212, 'f', wind_grow.valueV, 0.75f), AT(280, 'f', wind_velocity.random, 0.125f),
        AT(292, 'f', wind_frequency_scale.value, 3.0f), AT(320, 'i', wind_multiply_hair_speed.fcurve_id, 8),
        AT(324, 'i', wind_move_with_geometry, 1), {328, 'i', 1}, AT(336, 'i', sub_res_v, 12), {344, 'i', 1},
        AT(348, 'i', number_of_hairs_pr_square_unit, 250), AT(352, 'i', hair_count, 999), {364, 'i', 2},
        AT(372, 'i', nbColorKeys[kColorSpecular], 3), {376, 'i', 2}, {kMainKeys + kKeyStride, 'f', 1.0},
        {kMainKeys + 4, 'i', 1}, {kMainKeys + 12, 'i', 50},
        AT(kMainKeys + kTypeStride * 3 + kKeyStride * 19, 'f', main_color_keys[kColorThickness][19].where, 0.5f),
        AT(kMainKeys + kTypeStride + kKeyStride + 564 + 12, 'i', main_color_keys[kColorAmbient][1].seq_cont.loaded_frame_nr, 42),
        AT(47100, 's', group, -3), AT(47102, 's', max_number_of_segments, 7), {47104, 'i', 50},
        AT(47128, 'i', density_map_res, 64), AT(47132, 'i', length_map_interp, 1), AT(47160, 'i', surfacetype, 10),
        AT(47168, 'f', nbPointsV, 4.0f), AT(47174, 's', TileV, 1), {47176, 'i', 1}, AT(47200, 'i', density_map_dirty, 0),
        AT(47212, 'i', object_matte_color, 0x00336699), AT(47240, 'f', length_picture_scale.value, 0.5f),
        AT(47316, 'f', grow_picture_scale.valueV, 0.3f), {47356, 'f', 1.0}, AT(47340, 'i', bend_sequence.error_handling, 2),
        AT(47444, 'i', gravity_picture_scale.fcurve_id, 11), AT(47452, 'i', density_sequence.use_sequence, 1),
        AT(47472, 'i', density_picture_scale.active, 1), AT(47488, 'i', color_interpolation_method, 1),
        AT(47528, 'i', render_mode, 2001), AT(47536, 'i', is_selected, 1), {47540, 's', 2}, AT(47542, 's', casts_shadow, 1),
        AT(47546, 's', number_shadow_levels, 9), AT(47548, 'i', Patch_display_mode, 4)}, encode_patch_data);
    EXPECT_EQ(text_at(b, 16), "Fur_patch");
    EXPECT_EQ(text_at(b, kMainKeys + kTypeStride + kKeyStride + 32), "fur.pic");
}

TEST(RecordCodec, TheFurRecordReadBackKeepsItsRunTimeFields) {
    auto stored = patch_new();
    stored->presistant_rebuild = 1;
    stored->hair_count = 12;
    stored->wind_frequency_scale = {1, 2.0f, 0};
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
    auto read = patch_new();
    read->name = "live name";
    read->surfacetype = 10;
    read->nbPointsU = 3.0f;
    ASSERT_TRUE(decode_patch_data(encode_patch_data(*stored), false, *read));
    const PatchData &r = *read;
    const std::pair<double, double> expected[] = {
        {r.presistant_rebuild, 1}, {r.hair_count, 12}, {r.wind_frequency_scale.active, 0},
        {r.wind_frequency_scale.value, 2.0f}, {r.subdivision_dirty, 1}, {r.surfacetype, 10}, {r.nbPointsU, 3.0f},
        {r.shadow_exact, 0}, {r.shadow_subdivision, 2}, {r.casts_shadow, 1}, {r.nbColorKeys[kColorAmbient], 2},
        {r.main_color_keys[kColorAmbient][1].where, 0.6f}, {r.main_color_keys[kColorAmbient][1].map_res, 20},
        {r.main_color_keys[kColorAmbient][1].map_interp, 0}, {r.main_color_keys[kColorAmbient][5].where, 0.0f},
        {r.length_sequence.sequence_offset, -4}, {r.length_sequence.picture_was_found, 0}};
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(expected[i].first, expected[i].second) << i;
    EXPECT_EQ(r.name, "live name");
    EXPECT_TRUE(r.hairs.empty());
    EXPECT_EQ(r.texture_keys.size(), 1u);
}

TEST(RecordCodec, TextureKeyMainColorKeyAndDisplaySettingsLayouts) {
    const int spec19 = 56 + 24 * (20 * 2 + 19);
    TextureKey k = texture_key_new();
    k.color_keys[kColorDiffuse][3].active = 1;
    const Bytes key = expect_layout<TextureKey>(k, {
        {0, 'i', 1}, AT(4, 'f', u, 0.25f), AT(8, 'f', v, 0.75f), AT(12, 'i', visible, 1), AT(16, 'i', key_mode, 3),
        {28, 'f', 0.6f}, AT(36, 'f', x2, 7.0f), AT(48, 'i', color_active[2], 0), {60, 'f', 1.0}, {64, 'f', 0.7f},
        AT(spec19 + 16, 'f', color_keys[kColorSpecular][19].A, 0.5f),
        AT(spec19 + 20, 'i', color_keys[kColorSpecular][19].fcurve_id, 12), {1980, 'f', 0.5},
        AT(2036, 'f', bend.valueV, 0.4f), {2052, 'f', 5.0}, {2072, 'f', 0.1f}, AT(2092, 'i', density.fcurve_id, 5),
        {2096, 'i', 0}, {2100, 'i', 0}}, encode_texture_key);
    // The visible flag and the colour keys' active flags are not taken from the block.
    TextureKey read;
    ASSERT_TRUE(decode_texture_key(key, false, read));
    EXPECT_EQ(read.visible, 0);
    EXPECT_EQ(read.color_keys[kColorDiffuse][3].active, 0);
    read.visible = read.color_keys[kColorDiffuse][3].active = 1;
    EXPECT_EQ(encode_texture_key(read), key);

    MainColorKey m;
    m.picture.texture_filename = "a.pic";
    const Bytes main = expect_layout<MainColorKey>(m, {
        AT(0, 'f', where, 0.5f), AT(12, 'i', map_res, 30), AT(16, 's', map_interp, 1),
        AT(20, 'i', this_key_uses_picture, 1), AT(24, 'i', picture_channels, 3), AT(28, 'f', picture_scale, 2.0f),
        AT(568, 'i', seq_cont.sequence_offset, 2), AT(580, 'i', seq_cont.picture_was_found, 1)}, encode_main_color_key);
    EXPECT_EQ(text_at(main, 32), "a.pic");
    MainColorKey r;
    ASSERT_TRUE(decode_main_color_key(main, false, r));
    EXPECT_EQ(std::tie(r.map_interp, r.picture_channels, r.seq_cont.picture_was_found, r.seq_cont.sequence_offset),
              std::make_tuple(short(0), 0, 0, 2));
    EXPECT_EQ(r.picture.texture_filename, "a.pic");

    DisplaySettings d;
    d.background_image_name = "bg.pic";
    const Bytes settings = expect_layout<DisplaySettings>(d, {
        {512, 'u', 0xFF000000u}, {520, 'u', 0xFF555555u}, {524, 'f', 40.0}, {532, 's', 2},
        AT(534, 's', other_display_mode, 3), {552, 'f', 0.05f}, AT(556, 'i', draw_style, 2002), {584, 'i', 1},
        AT(616, 'i', show_channel[7], 0), {628, 'f', 1.0}, AT(640, 'i', dir_bend_random_mode, 0)}, encode_display_settings);
    EXPECT_EQ(text_at(settings, 0), "bg.pic");
    DisplaySettings s;
    ASSERT_TRUE(decode_display_settings(settings, false, s));
    EXPECT_EQ(encode_display_settings(s), settings);
}

TEST(RecordCodec, TextsAreTruncatedAndUnterminatedTextsBounded) {
    Picture p;
    p.texture_filename = std::string(600, 'p');
    p.tileu = 2;
    p.offv = 0.5f;
    const Bytes b = encode_picture(p);
    EXPECT_EQ(b[511], 0);
    EXPECT_EQ(std::make_tuple(stored(b, 512, 'i'), stored(b, 516, 'i'), stored(b, 528, 'f')), std::make_tuple(0.0, 2.0, 0.5));
    Picture r;
    ASSERT_TRUE(decode_picture(b, false, r));
    EXPECT_EQ(r.texture_filename, std::string(511, 'p'));
    ASSERT_TRUE(decode_picture(Bytes(532, 'x'), false, r));  // no terminator anywhere
    EXPECT_EQ(r.texture_filename.size(), 511u);
    auto patch = patch_new();
    patch->name = std::string(200, 'n');
    EXPECT_EQ(text_at(encode_patch_data(*patch), 16), std::string(89, 'n'));
}

TEST(RecordCodec, WrongSizesAreRefusedUntouchedAndRandomBlocksReadSafely) {
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

    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        Bytes block(kPatchDataBlockSize);
        for (auto &x : block) x = static_cast<std::uint8_t>(rng());
        testing::internal::CaptureStderr();
        decode_patch_data(block, round % 2, *p);
        testing::internal::GetCapturedStderr();
        for (int t = 0; t < kColorTypes; ++t) EXPECT_TRUE(p->nbColorKeys[t] >= 0 && p->nbColorKeys[t] <= 19);
    }
}

// The default colour keys a record gets back when its colour keys are reset.
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
    EXPECT_EQ(std::tie(k.color_keys[kColorSpecular][0].R, k.color_keys[kColorSpecular][3].fcurve_id), std::make_tuple(1.0f, 0));
    EXPECT_EQ(std::tie(p->nbColorKeys[kColorSpecular], p->main_color_keys[kColorSpecular][0].where,
                       p->main_color_keys[kColorSpecular][2].map_res), std::make_tuple(1, 0.0f, 50));
    EXPECT_TRUE(p->main_color_keys[kColorSpecular][2].color_map.empty());
    EXPECT_EQ(p->main_color_keys[kColorSpecular][2].seq_cont.use_sequence, 0);
    EXPECT_EQ(p->main_color_keys[kColorSpecular][2].seq_cont.picture_was_found, 1);
    // Out-of-range types change nothing and do not crash.
    color_keys_default(k, 4);
    main_color_keys_default(*p, -1);
}

}  // namespace
}  // namespace vellimor
