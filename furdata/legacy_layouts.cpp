#include "furdata/legacy_layouts.h"

#include <cstring>
#include <vector>

#include "host/status.h"

namespace vellimor {
namespace {

// A run of the current layout, from the field at `first` to the field at `last` (offsets in the
// current layout), stored in an older layout from offset `at` on with the same spacing. Only
// the fields that the current converter copies are taken.
struct Run {
    int first;
    int last;
    int at;
};

// Offsets of the current fur record layout that the runs of the older layouts refer to.
namespace cur {
constexpr int presistant_rebuild = 0, last_built_frame = 4, deleted = 12;
constexpr int velocity_scale_active = 116, velocity_scale_value = 120;
constexpr int acceleration_scale_active = 128, acceleration_scale_value = 132;
constexpr int calc_velocity_smooth = 140, wind_color_B = 168;
constexpr int wind_length_active = 180, wind_length_value = 184;
constexpr int wind_curl_active = 192, wind_curl_value = 196, wind_curl_fcurve_id = 200;
constexpr int wind_bend_active = 224, wind_bend_valueV = 232;
constexpr int wind_gravity_active = 244, wind_gravity_value = 248;
constexpr int wind_acceleration_active = 256, wind_acceleration_random = 264;
constexpr int wind_velocity_active = 272, wind_velocity_random = 280;
constexpr int wind_frequency_scale_value = 292, wind_speed_scale_value = 304;
constexpr int wind_multiply_hair_speed_active = 312, wind_multiply_hair_speed_value = 316;
constexpr int wind_move_with_geometry = 324, sub_res_u = 332, sub_res_v = 336;
constexpr int number_of_hairs_pr_square_unit = 348, hair_count = 352;
constexpr int group = 47100, max_number_of_segments = 47102;
constexpr int length_map_res = 47104, density_map_res = 47128, density_map_interp = 47156;
constexpr int TileU = 47172, TileV = 47174;
constexpr int Original_shading_model = 47204, object_matte_color = 47212;
// Picture scale groups: active, the value (or valueU, valueV), fcurve_id.
constexpr int length_scale = 47236, length_scale_value = 47240, length_scale_fcurve_id = 47244;
constexpr int curl_scale = 47272, curl_scale_value = 47276, curl_scale_fcurve_id = 47280;
constexpr int grow_scale = 47308, grow_scale_valueV = 47316, grow_scale_fcurve_id = 47324;
constexpr int bend_scale = 47352, bend_scale_valueV = 47360, bend_scale_fcurve_id = 47368;
constexpr int segments_scale = 47396, segments_scale_value = 47400, segments_scale_fcurve_id = 47404;
constexpr int gravity_scale = 47436, gravity_scale_value = 47440, gravity_scale_fcurve_id = 47444;
constexpr int density_scale = 47472, density_scale_value = 47476;
constexpr int color_interpolation_method = 47488;
constexpr int render_mode = 47528, is_selected = 47536;
constexpr int casts_shadow = 47542, number_shadow_levels = 47546, Patch_display_mode = 47548;
}  // namespace cur

// An older fur record layout: its runs, where its colour key counts and main colour keys are.
struct PatchLayout {
    int size;
    std::vector<Run> runs;
    int color_key_counts;
    int main_color_keys;
    int type_stride;  // bytes from one colour type's main colour keys to the next
    int key_stride;   // bytes from one main colour key to the next
};

constexpr int kCurrentTypeStride = kMaxColorKeys * kMainColorKeyBlockSize;
constexpr int kShortMainColorKey = 564;  // the 45812-byte layout's, without the sequence record

// Runs that 1.1B, 1.1C, 1.1D and the 45812-byte layout share in their beginning.
std::vector<Run> dynamics_runs(int deleted_at, int dynamics_at, int bend_at, int hairs_at) {
    std::vector<Run> runs;
    if (deleted_at == 0) {
        runs.push_back({cur::presistant_rebuild, cur::deleted, 0});
    } else {
        runs.push_back({cur::presistant_rebuild, cur::last_built_frame, 0});
        runs.push_back({cur::deleted, cur::deleted, deleted_at});
    }
    runs.push_back({cur::velocity_scale_active, cur::wind_curl_fcurve_id, dynamics_at});
    runs.push_back({cur::wind_bend_active, cur::sub_res_v, bend_at});
    runs.push_back({cur::number_of_hairs_pr_square_unit, cur::hair_count, hairs_at});
    return runs;
}

// The picture scale groups with their curves, from `length_at` on, each group at its own offset.
void picture_scale_runs(std::vector<Run> &runs, const int (&at)[7]) {
    runs.push_back({cur::length_scale, cur::length_scale_fcurve_id, at[0]});
    runs.push_back({cur::curl_scale, cur::curl_scale_fcurve_id, at[1]});
    runs.push_back({cur::grow_scale, cur::grow_scale_fcurve_id, at[2]});
    runs.push_back({cur::bend_scale, cur::bend_scale_fcurve_id, at[3]});
    runs.push_back({cur::segments_scale, cur::segments_scale_fcurve_id, at[4]});
    runs.push_back({cur::gravity_scale, cur::gravity_scale_fcurve_id, at[5]});
    runs.push_back({cur::density_scale, cur::color_interpolation_method, at[6]});
}

PatchLayout layout_3_0b() {
    return {47124,
            {{cur::presistant_rebuild, cur::presistant_rebuild, 0},
             {cur::deleted, cur::deleted, 8},
             {cur::sub_res_u, cur::sub_res_v, 116},
             {cur::number_of_hairs_pr_square_unit, cur::hair_count, 132},
             {cur::group, cur::max_number_of_segments, 46884},
             {cur::length_map_res, cur::density_map_res, 46888},
             {cur::Original_shading_model, cur::object_matte_color, 46956},
             {cur::length_scale, cur::length_scale_value, 46968},
             {cur::curl_scale, cur::curl_scale_value, 46980},
             {cur::grow_scale, cur::grow_scale_valueV, 46992},
             {cur::bend_scale, cur::bend_scale_valueV, 47008},
             {cur::segments_scale, cur::segments_scale_value, 47024},
             {cur::gravity_scale, cur::gravity_scale_value, 47036},
             {cur::density_scale, cur::density_scale_value, 47048},
             {cur::color_interpolation_method, cur::color_interpolation_method, 47060},
             {cur::render_mode, cur::is_selected, 47100},
             {cur::casts_shadow, cur::number_shadow_levels, 47112},
             {cur::Patch_display_mode, cur::Patch_display_mode, 47120}},
            148, 164, kCurrentTypeStride, kMainColorKeyBlockSize};
}

PatchLayout layout_1_00() {
    return {47264,
            {{cur::presistant_rebuild, cur::last_built_frame, 0},
             {cur::deleted, cur::deleted, 8},
             {cur::velocity_scale_active, cur::velocity_scale_active, 112},
             {cur::velocity_scale_value, cur::velocity_scale_value, 120},
             {cur::acceleration_scale_active, cur::acceleration_scale_active, 116},
             {cur::acceleration_scale_value, cur::acceleration_scale_value, 124},
             {cur::calc_velocity_smooth, cur::wind_color_B, 128},
             {cur::wind_length_active, cur::wind_length_value, 160},
             {cur::wind_curl_active, cur::wind_curl_value, 168},
             {cur::wind_bend_active, cur::wind_bend_valueV, 188},
             {cur::wind_gravity_active, cur::wind_gravity_value, 200},
             {cur::wind_acceleration_active, cur::wind_acceleration_random, 208},
             {cur::wind_velocity_active, cur::wind_velocity_random, 220},
             {cur::wind_frequency_scale_value, cur::wind_frequency_scale_value, 232},
             {cur::wind_speed_scale_value, cur::wind_speed_scale_value, 236},
             {cur::wind_multiply_hair_speed_active, cur::wind_multiply_hair_speed_value, 240},
             {cur::wind_move_with_geometry, cur::sub_res_v, 248},
             {cur::number_of_hairs_pr_square_unit, cur::hair_count, 272},
             {cur::group, cur::density_map_res, 47024},
             {cur::Original_shading_model, cur::object_matte_color, 47096},
             {cur::length_scale, cur::length_scale_value, 47108},
             {cur::curl_scale, cur::curl_scale_value, 47120},
             {cur::grow_scale, cur::grow_scale_valueV, 47132},
             {cur::bend_scale, cur::bend_scale_valueV, 47148},
             {cur::segments_scale, cur::segments_scale_value, 47164},
             {cur::gravity_scale, cur::gravity_scale_value, 47176},
             {cur::density_scale, cur::density_scale_value, 47188},
             {cur::color_interpolation_method, cur::color_interpolation_method, 47200},
             {cur::render_mode, cur::Patch_display_mode, 47240}},
            288, 304, kCurrentTypeStride, kMainColorKeyBlockSize};
}

// 1.1B, 1.1C, 1.1D and the 45812-byte layout differ in where their parts start.
struct LaterLayoutOffsets {
    int size;
    int deleted_at, dynamics_at, bend_at, hairs_at;
    int group_at;
    bool has_interp_and_tiles;  // group .. density_map_interp and TileU, TileV
    int tiles_at;
    int shading_at;
    int scales_at[7];
    int render_mode_at;
    int color_key_counts, main_color_keys, type_stride, key_stride;
};

PatchLayout later_layout(const LaterLayoutOffsets &o) {
    PatchLayout layout{o.size, dynamics_runs(o.deleted_at, o.dynamics_at, o.bend_at, o.hairs_at),
                       o.color_key_counts, o.main_color_keys, o.type_stride, o.key_stride};
    if (o.has_interp_and_tiles) {
        layout.runs.push_back({cur::group, cur::density_map_interp, o.group_at});
        layout.runs.push_back({cur::TileU, cur::TileV, o.tiles_at});
    } else {
        layout.runs.push_back({cur::group, cur::density_map_res, o.group_at});
    }
    layout.runs.push_back({cur::Original_shading_model, cur::object_matte_color, o.shading_at});
    picture_scale_runs(layout.runs, o.scales_at);
    layout.runs.push_back({cur::render_mode, cur::Patch_display_mode, o.render_mode_at});
    return layout;
}

const std::vector<PatchLayout> &patch_layouts() {
    static const std::vector<PatchLayout> layouts = {
        layout_3_0b(),
        layout_1_00(),
        later_layout({47376, 8, 112, 220, 344, 47096, false, 0, 47168,
                      {47180, 47196, 47212, 47236, 47260, 47280, 47296}, 47352, 360, 376,
                      kCurrentTypeStride, kMainColorKeyBlockSize}),  // 1.1B
        later_layout({47380, 0, 116, 224, 348, 47100, false, 0, 47172,
                      {47184, 47200, 47216, 47240, 47264, 47284, 47300}, 47356, 364, 380,
                      kCurrentTypeStride, kMainColorKeyBlockSize}),  // 1.1C
        later_layout({47408, 0, 116, 224, 348, 47100, true, 47168, 47200,
                      {47212, 47228, 47244, 47268, 47292, 47312, 47328}, 47384, 364, 380,
                      kCurrentTypeStride, kMainColorKeyBlockSize}),  // 1.1D
        later_layout({45812, 0, 116, 224, 348, 45500, true, 45572, 45604,
                      {45616, 45632, 45648, 45672, 45696, 45716, 45732}, 45788, 364, 380,
                      kMaxColorKeys * kShortMainColorKey, kShortMainColorKey}),
    };
    return layouts;
}

// Plain little-endian reads of an older block; a field beyond the block's end is left alone.
class OldBlock {
public:
    explicit OldBlock(ByteView bytes) : bytes_(bytes) {}
    bool holds(int offset, int size) const {
        return offset >= 0 && static_cast<size_t>(offset) + size <= bytes_.size();
    }
    std::uint32_t u32(int offset) const {
        const std::uint8_t *p = &bytes_[static_cast<size_t>(offset)];
        return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
    void read(const LayoutField &f, int offset) const {
        if (auto *i = std::get_if<int *>(&f.field)) {
            if (holds(offset, 4)) **i = static_cast<int>(u32(offset));
        } else if (auto *fl = std::get_if<float *>(&f.field)) {
            if (holds(offset, 4)) **fl = std::bit_cast<float>(u32(offset));
        } else if (auto *s = std::get_if<short *>(&f.field)) {
            if (holds(offset, 2)) {
                const std::uint8_t *p = &bytes_[static_cast<size_t>(offset)];
                **s = static_cast<short>(p[1] << 8 | p[0]);
            }
        } else if (holds(offset, f.text_size)) {
            const char *p = reinterpret_cast<const char *>(&bytes_[static_cast<size_t>(offset)]);
            std::get<std::string *>(f.field)->assign(p, strnlen(p, static_cast<size_t>(f.text_size - 1)));
        }
    }
    ByteView span(int offset, int size) const { return bytes_.subspan(static_cast<size_t>(offset), static_cast<size_t>(size)); }

private:
    ByteView bytes_;
};

void copy_runs(const OldBlock &block, const std::vector<LayoutField> &fields, std::span<const Run> runs) {
    for (const Run &run : runs) {
        for (const LayoutField &f : fields) {
            if (f.offset >= run.first && f.offset <= run.last) block.read(f, run.at + f.offset - run.first);
        }
    }
}

// Stored counts above this one can't be used.
constexpr int kMaxStoredColorKeys = kMaxColorKeys - 1;

// The main colour keys of an older layout: position, resolution, picture use, scale and picture
// at the places they have in the current main colour key.
void copy_main_color_keys(const OldBlock &block, const PatchLayout &layout, PatchData &r) {
    for (int t = 0; t < kColorTypes; ++t) {
        const int count_at = layout.color_key_counts + 4 * t;
        if (!block.holds(count_at, 4)) continue;
        const int count = static_cast<int>(block.u32(count_at));
        if (count < 0 || count > kMaxStoredColorKeys) {
            status_message(kStatusWarning, "#Colorkeys out of range, deleting keys");
            main_color_keys_default(r, t);
            continue;
        }
        r.nbColorKeys[t] = count;
        for (int i = 0; i < count; ++i) {
            const int at = layout.main_color_keys + layout.type_stride * t + layout.key_stride * i;
            if (!block.holds(at, 32 + kPictureBlockSize)) break;
            MainColorKey &k = r.main_color_keys[t][i];
            block.read({0, &k.where}, at);
            block.read({0, &k.map_res}, at + 12);
            block.read({0, &k.this_key_uses_picture}, at + 20);
            block.read({0, &k.picture_scale}, at + 28);
            decode_picture(block.span(at + 32, kPictureBlockSize), false, k.picture);
            k.seq_cont.use_sequence = k.seq_cont.sequence_offset = 0;
            k.seq_cont.error_handling = k.seq_cont.loaded_frame_nr = 0;
        }
    }
}

void clear_channel_sequences(PatchData &r) {
    for (int c = 0; c < kRecordChannels; ++c) {
        PictureSequence &s = channel_picture(r, RecordChannel(c)).sequence;
        s.use_sequence = s.sequence_offset = s.error_handling = s.loaded_frame_nr = 0;
    }
}

// Colour key (t, i) of the current texture key: R at this offset, then G, B, A.
int color_key_R(int t, int i) { return 56 + kColorKeyBlockSize * (kMaxColorKeys * t + i) + 4; }

// Channel groups without their curves: active .. random of each, current offsets.
constexpr Run kGroupsWithoutCurves[] = {{1976, 1984, 0}, {1992, 2000, 0}, {2008, 2020, 0},
                                        {2028, 2040, 0}, {2048, 2056, 0}, {2064, 2072, 0},
                                        {2080, 2088, 0}};

struct KeyLayout {
    int size;
    int color_keys;  // colour key (0, 0) R
    int type_stride;
    int key_stride;
    int groups[7];  // where each channel group starts
};

constexpr KeyLayout kKeyLayouts[] = {
    {2080, 36, 480, 24, {1952, 1968, 1984, 2004, 2024, 2040, 2056}},  // 1.10
    {1412, 32, 320, 16, {1312, 1324, 1336, 1352, 1368, 1380, 1392}},  // 1.00
};

}  // namespace

bool decode_legacy_patch_data(ByteView bytes, PatchData &r) {
    for (const PatchLayout &layout : patch_layouts()) {
        if (static_cast<int>(bytes.size()) != layout.size) continue;
        const OldBlock block(bytes);
        copy_runs(block, patch_data_fields(r), layout.runs);
        copy_main_color_keys(block, layout, r);
        clear_channel_sequences(r);
        return true;
    }
    return false;
}

bool decode_legacy_texture_key(ByteView bytes, TextureKey &key) {
    for (const KeyLayout &layout : kKeyLayouts) {
        if (static_cast<int>(bytes.size()) != layout.size) continue;
        std::vector<Run> runs = {{0, 8, 0}, {40, 52, 16}};  // selected .. v, color_active
        for (int t = 0; t < kColorTypes; ++t) {
            for (int i = 0; i < kMaxColorKeys; ++i) {
                runs.push_back({color_key_R(t, i), color_key_R(t, i) + 12,
                                layout.color_keys + layout.type_stride * t + layout.key_stride * i});
            }
        }
        for (int g = 0; g < 7; ++g) {
            runs.push_back({kGroupsWithoutCurves[g].first, kGroupsWithoutCurves[g].last, layout.groups[g]});
        }
        copy_runs(OldBlock(bytes), texture_key_fields(key), runs);
        return true;
    }
    return false;
}

bool decode_legacy_display_settings(ByteView bytes, DisplaySettings &s) {
    constexpr int kLightExposure = 628, kDebugLevel = 580;
    int last = 0;
    if (bytes.size() == 632) {
        last = kLightExposure;
    } else if (bytes.size() == 584) {
        last = kDebugLevel;
    } else {
        return false;
    }
    const Run run[] = {{0, last, 0}};
    copy_runs(OldBlock(bytes), display_settings_fields(s), run);
    return true;
}

}  // namespace vellimor
