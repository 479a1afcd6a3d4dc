// The stored layouts. Current ones: every field at its own offset (a value of its own set in the
// record, or the new record's value), what the readers keep of a block, and blocks of wrong size,
// of the other byte order and of random bytes. Earlier versions' blocks, built here at the offsets
// of each version's own layout with a value of its own in every field, decode into the named fields.
#include "furdata/record_codec.h"

#include "support/test_prelude.h"

#include <bit>
#include <random>

#include "furdata/fur_text_fields.h"
#include "furdata/legacy_layouts.h"
#include "host/globals.h"

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

#undef AT

template <class Record>
struct At {
    const char *name;
    TextFieldRef (*field)(Record &);
    int offset;  // in the older block
};
#define AT(path, offset) At<PatchData>{#path, [](PatchData &r) -> TextFieldRef { return &r.path; }, offset}
#define KEY_AT(path, offset) \
    At<TextureKey>{#path, [](TextureKey &k) -> TextFieldRef { return &k.path; }, offset}

void put32(Bytes &b, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[static_cast<size_t>(at + i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Writes value n (n + 0.5 for reals) of every entry into the block, counting from `first`.
template <class Record>
void put_distinct(Bytes &b, Record &record, const std::vector<At<Record>> &fields, int first) {
    int n = first;
    for (const At<Record> &f : fields) {
        const TextFieldRef ref = f.field(record);
        if (std::holds_alternative<float *>(ref)) {
            put32(b, f.offset, std::bit_cast<std::uint32_t>(static_cast<float>(n) + 0.5f));
        } else if (std::holds_alternative<short *>(ref)) {
            b[static_cast<size_t>(f.offset)] = static_cast<std::uint8_t>(n);
            b[static_cast<size_t>(f.offset) + 1] = static_cast<std::uint8_t>(n >> 8);
        } else {
            put32(b, f.offset, static_cast<std::uint32_t>(n));
        }
        ++n;
    }
}

double value_of(const TextFieldRef &ref) { return std::visit([](auto *field) { return double(*field); }, ref); }

template <class Record>
void expect_distinct(Record &record, const std::vector<At<Record>> &fields, int first) {
    int n = first;
    for (const At<Record> &f : fields) {
        const TextFieldRef ref = f.field(record);
        EXPECT_EQ(value_of(ref), std::holds_alternative<float *>(ref) ? n + 0.5 : n) << f.name;
        ++n;
    }
}

struct MainKeys {
    int counts;       // nbColorKeys[0]
    int first;        // main colour key (0, 0)
    int type_stride;  // to (t + 1, 0)
    int key_stride;   // to (t, i + 1)
};

struct PatchVersion {
    const char *label;
    int size;
    std::vector<At<PatchData>> fields;
    MainKeys keys;
    std::vector<At<PatchData>> lacking;  // fields this version does not have: keep defaults
};

std::vector<PatchVersion> patch_versions() {
    const MainKeys full_keys{364, 380, 11680, 584};
    return {
        {"3.0b", 47124,
         {AT(presistant_rebuild, 0), AT(deleted, 8), AT(sub_res_u, 116), AT(sub_res_v, 120),
          AT(number_of_hairs_pr_square_unit, 132), AT(hair_count, 136), AT(group, 46884),
          AT(max_number_of_segments, 46886), AT(length_map_res, 46888), AT(curl_map_res, 46892),
          AT(grow_map_res, 46896), AT(bend_map_res, 46900), AT(segments_map_res, 46904),
          AT(gravity_map_res, 46908), AT(density_map_res, 46912), AT(Original_shading_model, 46956),
          AT(Display_shading_model, 46960), AT(object_matte_color, 46964),
          AT(length_picture_scale.active, 46968), AT(length_picture_scale.value, 46972),
          AT(curl_picture_scale.active, 46980), AT(curl_picture_scale.value, 46984),
          AT(grow_picture_scale.active, 46992), AT(grow_picture_scale.valueU, 46996),
          AT(grow_picture_scale.valueV, 47000), AT(bend_picture_scale.active, 47008),
          AT(bend_picture_scale.valueU, 47012), AT(bend_picture_scale.valueV, 47016),
          AT(segments_picture_scale.active, 47024), AT(segments_picture_scale.value, 47028),
          AT(gravity_picture_scale.active, 47036), AT(gravity_picture_scale.value, 47040),
          AT(density_picture_scale.active, 47048), AT(density_picture_scale.value, 47052),
          AT(color_interpolation_method, 47060), AT(render_mode, 47100),
          AT(allways_draw_hairs, 47104), AT(is_selected, 47108), AT(casts_shadow, 47112),
          AT(number_shadow_levels, 47116), AT(Patch_display_mode, 47120)},
         {148, 164, 11680, 584},
         {AT(last_built_frame, 4), AT(velocity_scale.value, 120), AT(wind_curl.value, 196)}},
        {"1.00", 47264,
         {AT(presistant_rebuild, 0), AT(last_built_frame, 4), AT(deleted, 8),
          AT(velocity_scale.active, 112), AT(velocity_scale.value, 120),
          AT(acceleration_scale.active, 116), AT(acceleration_scale.value, 124),
          AT(calc_velocity_smooth, 128), AT(acceleration_smooth, 140), AT(wind_color.active, 144),
          AT(wind_color.R, 148), AT(wind_color.B, 156), AT(wind_length.active, 160),
          AT(wind_length.value, 164), AT(wind_curl.active, 168), AT(wind_curl.value, 172),
          AT(wind_bend.active, 188), AT(wind_bend.valueU, 192), AT(wind_bend.valueV, 196),
          AT(wind_gravity.active, 200), AT(wind_gravity.value, 204),
          AT(wind_acceleration.active, 208), AT(wind_acceleration.random, 216),
          AT(wind_velocity.active, 220), AT(wind_velocity.value, 224),
          AT(wind_velocity.random, 228), AT(wind_frequency_scale.value, 232),
          AT(wind_speed_scale.value, 236), AT(wind_multiply_hair_speed.active, 240),
          AT(wind_multiply_hair_speed.value, 244), AT(wind_move_with_geometry, 248),
          AT(sub_res_u, 256), AT(sub_res_v, 260), AT(number_of_hairs_pr_square_unit, 272),
          AT(hair_count, 276), AT(group, 47024), AT(max_number_of_segments, 47026),
          AT(length_map_res, 47028), AT(density_map_res, 47052), AT(Original_shading_model, 47096),
          AT(object_matte_color, 47104), AT(length_picture_scale.active, 47108),
          AT(length_picture_scale.value, 47112), AT(curl_picture_scale.value, 47124),
          AT(grow_picture_scale.active, 47132), AT(grow_picture_scale.valueV, 47140),
          AT(bend_picture_scale.active, 47148), AT(bend_picture_scale.valueV, 47156),
          AT(segments_picture_scale.value, 47168), AT(gravity_picture_scale.active, 47176),
          AT(density_picture_scale.value, 47192), AT(color_interpolation_method, 47200),
          AT(render_mode, 47240), AT(is_selected, 47248), AT(casts_shadow, 47254),
          AT(number_shadow_levels, 47258), AT(Patch_display_mode, 47260)},
         {288, 304, 11680, 584},
         {AT(wind_grow.valueU, 176), AT(velocity_scale.fcurve_id, 128)}},
        {"1.1B", 47376,
         {AT(presistant_rebuild, 0), AT(last_built_frame, 4), AT(deleted, 8),
          AT(velocity_scale.active, 112), AT(velocity_scale.fcurve_id, 120),
          AT(wind_color.B, 164), AT(wind_curl.fcurve_id, 196), AT(wind_bend.active, 220),
          AT(wind_bend.fcurve_id, 236), AT(wind_frequency_scale.value, 288),
          AT(wind_multiply_hair_speed.value, 312), AT(sub_res_u, 328), AT(sub_res_v, 332),
          AT(number_of_hairs_pr_square_unit, 344), AT(hair_count, 348), AT(group, 47096),
          AT(density_map_res, 47124), AT(Original_shading_model, 47168),
          AT(object_matte_color, 47176), AT(length_picture_scale.active, 47180),
          AT(length_picture_scale.fcurve_id, 47188), AT(curl_picture_scale.fcurve_id, 47204),
          AT(grow_picture_scale.active, 47212), AT(grow_picture_scale.fcurve_id, 47228),
          AT(bend_picture_scale.active, 47236), AT(bend_picture_scale.fcurve_id, 47252),
          AT(segments_picture_scale.active, 47260), AT(segments_picture_scale.fcurve_id, 47268),
          AT(gravity_picture_scale.active, 47280), AT(gravity_picture_scale.fcurve_id, 47288),
          AT(density_picture_scale.active, 47296), AT(density_picture_scale.fcurve_id, 47304),
          AT(color_interpolation_method, 47312), AT(render_mode, 47352),
          AT(Patch_display_mode, 47372)},
         {360, 376, 11680, 584},
         {AT(wind_grow.valueU, 208), AT(length_map_interp, 47132)}},
        {"1.1C", 47380,
         {AT(presistant_rebuild, 0), AT(deleted, 12), AT(velocity_scale.active, 116),
          AT(wind_curl.fcurve_id, 200), AT(wind_bend.active, 224), AT(sub_res_v, 336),
          AT(number_of_hairs_pr_square_unit, 348), AT(hair_count, 352), AT(group, 47100),
          AT(density_map_res, 47128), AT(Original_shading_model, 47172),
          AT(object_matte_color, 47180), AT(length_picture_scale.active, 47184),
          AT(length_picture_scale.fcurve_id, 47192), AT(curl_picture_scale.active, 47200),
          AT(grow_picture_scale.active, 47216), AT(grow_picture_scale.fcurve_id, 47232),
          AT(bend_picture_scale.active, 47240), AT(segments_picture_scale.active, 47264),
          AT(gravity_picture_scale.active, 47284), AT(gravity_picture_scale.fcurve_id, 47292),
          AT(density_picture_scale.active, 47300), AT(color_interpolation_method, 47316),
          AT(render_mode, 47356), AT(casts_shadow, 47370), AT(Patch_display_mode, 47376)},
         full_keys,
         {AT(wind_grow.valueU, 208), AT(TileU, 47172)}},
        {"1.1D", 47408,
         {AT(presistant_rebuild, 0), AT(deleted, 12), AT(velocity_scale.active, 116),
          AT(wind_curl.fcurve_id, 200), AT(wind_bend.active, 224), AT(sub_res_v, 336),
          AT(number_of_hairs_pr_square_unit, 348), AT(group, 47100), AT(density_map_res, 47128),
          AT(length_map_interp, 47132), AT(density_map_interp, 47156), AT(TileU, 47168),
          AT(TileV, 47170), AT(Original_shading_model, 47200), AT(object_matte_color, 47208),
          AT(length_picture_scale.active, 47212), AT(curl_picture_scale.active, 47228),
          AT(grow_picture_scale.active, 47244), AT(grow_picture_scale.fcurve_id, 47260),
          AT(bend_picture_scale.active, 47268), AT(segments_picture_scale.active, 47292),
          AT(gravity_picture_scale.active, 47312), AT(density_picture_scale.active, 47328),
          AT(color_interpolation_method, 47344), AT(render_mode, 47384),
          AT(Patch_display_mode, 47404)},
         full_keys,
         {AT(wind_grow.valueV, 212)}},
        {"45812", 45812,
         {AT(presistant_rebuild, 0), AT(deleted, 12), AT(velocity_scale.active, 116),
          AT(wind_curl.fcurve_id, 200), AT(wind_bend.active, 224), AT(sub_res_v, 336),
          AT(number_of_hairs_pr_square_unit, 348), AT(hair_count, 352), AT(group, 45500),
          AT(max_number_of_segments, 45502), AT(density_map_res, 45528),
          AT(length_map_interp, 45532), AT(density_map_interp, 45556), AT(TileU, 45572),
          AT(TileV, 45574), AT(Original_shading_model, 45604), AT(object_matte_color, 45612),
          AT(length_picture_scale.active, 45616), AT(length_picture_scale.fcurve_id, 45624),
          AT(curl_picture_scale.active, 45632), AT(grow_picture_scale.active, 45648),
          AT(grow_picture_scale.fcurve_id, 45664), AT(bend_picture_scale.active, 45672),
          AT(segments_picture_scale.active, 45696), AT(gravity_picture_scale.active, 45716),
          AT(gravity_picture_scale.fcurve_id, 45724), AT(density_picture_scale.active, 45732),
          AT(color_interpolation_method, 45748), AT(render_mode, 45788), AT(is_selected, 45796),
          AT(casts_shadow, 45802), AT(number_shadow_levels, 45806), AT(Patch_display_mode, 45808)},
         {364, 380, 11280, 564},
         {AT(wind_grow.valueU, 208)}},
    };
}

constexpr int kCounts[kColorTypes] = {2, 3, 1, 4};

// Main colour keys (t, i) below the counts get where 0.25·(i+1) + t, map_res 10·t + i + 1,
// picture use 1, scale t + i + 0.5 and a picture file named after them.
void put_main_keys(Bytes &b, const MainKeys &k) {
    for (int t = 0; t < kColorTypes; ++t) {
        put32(b, k.counts + 4 * t, static_cast<std::uint32_t>(kCounts[t]));
        for (int i = 0; i < kCounts[t]; ++i) {
            const int at = k.first + k.type_stride * t + k.key_stride * i;
            put32(b, at, std::bit_cast<std::uint32_t>(0.25f * static_cast<float>(i + 1) + static_cast<float>(t)));
            put32(b, at + 12, static_cast<std::uint32_t>(10 * t + i + 1));
            put32(b, at + 20, 1);
            put32(b, at + 28, std::bit_cast<std::uint32_t>(static_cast<float>(t + i) + 0.5f));
            const std::string name = "key" + std::to_string(t) + std::to_string(i) + ".pic";
            std::memcpy(&b[static_cast<size_t>(at + 32)], name.data(), name.size());
            put32(b, at + 32 + 516, static_cast<std::uint32_t>(t + 7));  // tileu
        }
    }
}

void expect_main_keys(const PatchData &r) {
    for (int t = 0; t < kColorTypes; ++t) {
        ASSERT_EQ(r.nbColorKeys[t], kCounts[t]);
        for (int i = 0; i < kCounts[t]; ++i) {
            const MainColorKey &m = r.main_color_keys[t][i];
            EXPECT_EQ(std::tie(m.where, m.map_res, m.this_key_uses_picture, m.picture_scale, m.picture.tileu, m.map_dirty),
                      std::make_tuple(0.25f * float(i + 1) + float(t), 10 * t + i + 1, 1, float(t + i) + 0.5f, t + 7, 1));
            EXPECT_EQ(m.picture.texture_filename, "key" + std::to_string(t) + std::to_string(i) + ".pic");
        }
        // Beyond the count: the defaults.
        EXPECT_EQ(r.main_color_keys[t][kCounts[t]].map_res, 50);
    }
}

TEST(LegacyLayouts, EveryOlderFurRecordVersion) {
    for (PatchVersion &version : patch_versions()) {
        SCOPED_TRACE(version.label);
        auto fresh = patch_new();
        Bytes block(static_cast<size_t>(version.size), 0);
        put_distinct(block, *fresh, version.fields, 100);
        put_main_keys(block, version.keys);

        auto r = patch_new();
        r->length_sequence.use_sequence = 1;
        r->grow_sequence.loaded_frame_nr = 9;
        r->density_sequence.picture_was_found = 1;
        ASSERT_TRUE(decode_legacy_patch_data(block, *r));
        expect_distinct(*r, version.fields, 100);
        expect_main_keys(*r);
        for (const At<PatchData> &f : version.lacking)
            EXPECT_EQ(value_of(f.field(*r)), value_of(f.field(*fresh))) << f.name;
        // Old converters clear the channels' sequence state; the found flag is not theirs.
        EXPECT_EQ(std::tie(r->length_sequence.use_sequence, r->grow_sequence.loaded_frame_nr,
                           r->density_sequence.picture_was_found), std::make_tuple(0, 0, 1));
        // Never taken from a stored block.
        EXPECT_EQ(r->surfacetype, 0);
        EXPECT_EQ(r->texture_keys.size(), 1u);
        // A stored count of 20 is one more than a record can use: that type gets the default keys.
        put32(block, version.keys.counts + 4, 20);
        auto over = patch_new();
        ASSERT_TRUE(decode_legacy_patch_data(block, *over));
        EXPECT_EQ(std::tie(over->nbColorKeys[0], over->nbColorKeys[1]), std::make_tuple(kCounts[0], 1));
    }
}

struct KeyVersion {
    const char *label;
    int size;
    int color_keys, type_stride, key_stride;
    int groups[7];  // length, curl, grow, bend, segments, gravity, density
};

TEST(LegacyLayouts, OlderTextureKeys) {
    const KeyVersion versions[] = {
        {"1.10", 2080, 36, 480, 24, {1952, 1968, 1984, 2004, 2024, 2040, 2056}},
        {"1.00", 1412, 32, 320, 16, {1312, 1324, 1336, 1352, 1368, 1380, 1392}},
    };
    for (const KeyVersion &v : versions) {
        SCOPED_TRACE(v.label);
        const int *g = v.groups;
        std::vector<At<TextureKey>> fields = {
            KEY_AT(selected, 0), KEY_AT(u, 4), KEY_AT(v, 8), KEY_AT(color_active[0], 16),
            KEY_AT(color_active[1], 20), KEY_AT(color_active[2], 24), KEY_AT(color_active[3], 28),
            KEY_AT(length.active, g[0]), KEY_AT(length.value, g[0] + 4), KEY_AT(length.random, g[0] + 8),
            KEY_AT(curl.active, g[1]), KEY_AT(curl.random, g[1] + 8),
            KEY_AT(grow.active, g[2]), KEY_AT(grow.valueU, g[2] + 4), KEY_AT(grow.valueV, g[2] + 8),
            KEY_AT(grow.random, g[2] + 12), KEY_AT(bend.active, g[3]), KEY_AT(bend.random, g[3] + 12),
            KEY_AT(segments.value, g[4] + 4), KEY_AT(gravity.random, g[5] + 8),
            KEY_AT(density.active, g[6]), KEY_AT(density.random, g[6] + 8)};
        TextureKey fresh = texture_key_new();
        Bytes block(static_cast<size_t>(v.size), 0);
        put_distinct(block, fresh, fields, 1);
        for (int t = 0; t < kColorTypes; ++t) {
            for (int i = 0; i < kMaxColorKeys; ++i) {
                const int at = v.color_keys + v.type_stride * t + v.key_stride * i;
                for (int c = 0; c < 4; ++c)
                    put32(block, at + 4 * c, std::bit_cast<std::uint32_t>(static_cast<float>(1000 * t + 10 * i + c)));
            }
        }
        TextureKey key = texture_key_new();
        key.color_keys[1][3].fcurve_id = 0;
        ASSERT_TRUE(decode_legacy_texture_key(block, key));
        expect_distinct(key, fields, 1);
        for (int t = 0; t < kColorTypes; ++t) {
            for (int i = 0; i < kMaxColorKeys; ++i) {
                const ColorKey &c = key.color_keys[t][i];
                EXPECT_EQ(c.R, static_cast<float>(1000 * t + 10 * i));
                EXPECT_EQ(c.A, static_cast<float>(1000 * t + 10 * i + 3));
                EXPECT_EQ(c.fcurve_id, 0);
            }
        }
        // Not in the older versions: shape and the groups' curves.
        EXPECT_EQ(std::tie(key.key_mode, key.ang, key.length.fcurve_id, key.density.fcurve_id), std::make_tuple(0, 0.6f, 0, 0));
    }
}

TEST(LegacyLayouts, OlderDisplaySettings) {
    Bytes b632(632, 0);
    const char name[] = "back.pic";
    std::memcpy(b632.data(), name, sizeof name);
    put32(b632, 556, 2000);                                           // draw_style
    put32(b632, 584, 0);                                              // use_opengl
    put32(b632, 616, 0);                                              // show_channel[7]
    put32(b632, 628, std::bit_cast<std::uint32_t>(2.5f));             // light_exposure
    DisplaySettings s;
    ASSERT_TRUE(decode_legacy_display_settings(b632, s));
    EXPECT_EQ(s.background_image_name, "back.pic");
    EXPECT_EQ(std::tie(s.draw_style, s.use_opengl, s.show_channel[7], s.light_exposure), std::make_tuple(2000, 0, 0, 2.5f));
    // Not in that version: the defaults.
    EXPECT_EQ(std::tie(s.autokey_fcurves, s.redraw_auto, s.dir_bend_random_mode), std::make_tuple(0, 1, 1));

    Bytes b584(584, 0);
    std::memcpy(b584.data(), name, sizeof name);
    put32(b584, 580, 3);  // debug_level
    put32(b584, 576, 2);  // antialias_level
    DisplaySettings d;
    ASSERT_TRUE(decode_legacy_display_settings(b584, d));
    EXPECT_EQ(d.background_image_name, "back.pic");
    EXPECT_EQ(std::tie(d.debug_level, d.antialias_level, d.draw_style), std::make_tuple(3, 2, 0));  // draw style: the stored 0
    EXPECT_EQ(std::tie(d.use_opengl, d.show_channel[0], d.light_exposure), std::make_tuple(1, 1, 1.0f));
}

}  // namespace
}  // namespace vellimor
