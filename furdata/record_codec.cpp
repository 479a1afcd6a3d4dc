#include "furdata/record_codec.h"

#include <bit>
#include <cstring>
#include <string>

#include "host/status.h"

namespace vellimor {
namespace {

constexpr int kNameBytes = 90;
constexpr int kFilenameBytes = 512;
constexpr int kMaxStoredColorKeys = 19;  // a larger stored count is dropped

// Writes fields at offsets relative to a base. "Kept" fields are written like any other; only
// the reader treats them differently.
class Writer {
public:
    Writer(Bytes &bytes, int base = 0) : bytes_(bytes), base_(base) {}
    Writer at(int offset) const { return Writer(bytes_, base_ + offset); }

    void u32(int offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[base_ + offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void i32(int offset, int v) { u32(offset, static_cast<std::uint32_t>(v)); }
    void f32(int offset, float v) { u32(offset, std::bit_cast<std::uint32_t>(v)); }
    void i16(int offset, short v) {
        const auto u = static_cast<std::uint16_t>(v);
        bytes_[base_ + offset] = static_cast<std::uint8_t>(u);
        bytes_[base_ + offset + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    void text(int offset, int size, const std::string &s) {
        const size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
        std::memcpy(&bytes_[base_ + offset], s.data(), n);  // the rest stays zero
    }
    void pointer(int offset) { u32(offset, 0); }
    void kept_i32(int offset, int v) { i32(offset, v); }
    void kept_f32(int offset, float v) { f32(offset, v); }
    void kept_i16(int offset, short v) { i16(offset, v); }
    void kept_text(int offset, int size, const std::string &s) { text(offset, size, s); }

private:
    Bytes &bytes_;
    int base_;
};

class Reader {
public:
    Reader(ByteView bytes, bool swap, int base = 0) : bytes_(bytes), swap_(swap), base_(base) {}
    Reader at(int offset) const { return Reader(bytes_, swap_, base_ + offset); }

    std::uint32_t u32(int offset) const {
        const std::uint8_t *p = &bytes_[base_ + offset];
        if (swap_) return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
        return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
    void i32(int offset, int &v) const { v = static_cast<int>(u32(offset)); }
    void f32(int offset, float &v) const { v = std::bit_cast<float>(u32(offset)); }
    void i16(int offset, short &v) const {
        const std::uint8_t *p = &bytes_[base_ + offset];
        v = static_cast<short>(swap_ ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
    }
    // Character arrays are never swapped; an unterminated array ends at its last byte but one.
    void text(int offset, int size, std::string &s) const {
        const char *p = reinterpret_cast<const char *>(&bytes_[base_ + offset]);
        s.assign(p, strnlen(p, static_cast<size_t>(size - 1)));
    }
    void pointer(int) const {}
    void kept_i32(int, int &) const {}
    void kept_f32(int, float &) const {}
    void kept_i16(int, short &) const {}
    void kept_text(int, int, std::string &) const {}

private:
    ByteView bytes_;
    bool swap_;
    int base_;
};

// Lists the fields a decoder copies, with their offsets; skips what it keeps.
class FieldLister {
public:
    FieldLister(std::vector<LayoutField> &fields, int base = 0) : fields_(fields), base_(base) {}
    FieldLister at(int offset) const { return FieldLister(fields_, base_ + offset); }

    void i32(int offset, int &v) { fields_.push_back({base_ + offset, &v}); }
    void f32(int offset, float &v) { fields_.push_back({base_ + offset, &v}); }
    void i16(int offset, short &v) { fields_.push_back({base_ + offset, &v}); }
    void text(int offset, int size, std::string &s) { fields_.push_back({base_ + offset, &s, size}); }
    void pointer(int) const {}
    void kept_i32(int, int &) const {}
    void kept_f32(int, float &) const {}
    void kept_i16(int, short &) const {}
    void kept_text(int, int, std::string &) const {}

private:
    std::vector<LayoutField> &fields_;
    int base_;
};

// Field layouts, shared by the encoder (R const) and the decoder.

template <class Io, class G>
void value_group(Io io, G &g) {  // active, value, fcurve_id
    io.i32(0, g.active);
    io.f32(4, g.value);
    io.i32(8, g.fcurve_id);
}

template <class Io, class G>
void random_value_group(Io io, G &g) {  // active, value, random, fcurve_id
    io.i32(0, g.active);
    io.f32(4, g.value);
    io.f32(8, g.random);
    io.i32(12, g.fcurve_id);
}

template <class Io, class G>
void uv_group(Io io, G &g) {  // active, valueU, valueV, spare, fcurve_id
    io.i32(0, g.active);
    io.f32(4, g.valueU);
    io.f32(8, g.valueV);
    io.kept_f32(12, g.spare);
    io.i32(16, g.fcurve_id);
}

template <class Io, class G>
void random_uv_group(Io io, G &g) {  // active, valueU, valueV, random, fcurve_id
    io.i32(0, g.active);
    io.f32(4, g.valueU);
    io.f32(8, g.valueV);
    io.f32(12, g.random);
    io.i32(16, g.fcurve_id);
}

template <class Io, class G>
void scale_only_group(Io io, G &g) {  // a value group whose active flag is not read back
    io.kept_i32(0, g.active);
    io.f32(4, g.value);
    io.i32(8, g.fcurve_id);
}

template <class Io, class S>
void sequence(Io io, S &s) {
    io.i32(0, s.use_sequence);
    io.i32(4, s.sequence_offset);
    io.i32(8, s.error_handling);
    io.i32(12, s.loaded_frame_nr);
    io.kept_i32(16, s.picture_was_found);
}

template <class Io, class P>
void picture_layout(Io io, P &p) {
    io.text(0, kFilenameBytes, p.texture_filename);
    io.pointer(512);
    io.i32(516, p.tileu);
    io.i32(520, p.tilev);
    io.f32(524, p.offu);
    io.f32(528, p.offv);
}

template <class Io, class K>
void color_key_layout(Io io, K &k) {
    io.kept_i32(0, k.active);
    io.f32(4, k.R);
    io.f32(8, k.G);
    io.f32(12, k.B);
    io.f32(16, k.A);
    io.i32(20, k.fcurve_id);
}

template <class Io, class K>
void main_color_key_layout(Io io, K &k) {
    io.f32(0, k.where);
    io.kept_i32(4, k.map_dirty);
    io.pointer(8);
    io.i32(12, k.map_res);
    io.kept_i16(16, k.map_interp);
    io.i32(20, k.this_key_uses_picture);
    io.kept_i32(24, k.picture_channels);
    io.f32(28, k.picture_scale);
    picture_layout(io.at(32), k.picture);
    sequence(io.at(564), k.seq_cont);
}

template <class Io, class K>
void texture_key_layout(Io io, K &k) {
    io.i32(0, k.selected);
    io.f32(4, k.u);
    io.f32(8, k.v);
    io.kept_i32(12, k.visible);
    io.i32(16, k.key_mode);
    io.f32(20, k.w);
    io.f32(24, k.h);
    io.f32(28, k.ang);
    io.f32(32, k.x1);
    io.f32(36, k.x2);
    for (int t = 0; t < kColorTypes; ++t) io.i32(40 + 4 * t, k.color_active[t]);
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = 0; i < kMaxColorKeys; ++i) {
            color_key_layout(io.at(56 + kColorKeyBlockSize * (kMaxColorKeys * t + i)),
                             k.color_keys[t][i]);
        }
    }
    random_value_group(io.at(1976), k.length);
    random_value_group(io.at(1992), k.curl);
    random_uv_group(io.at(2008), k.grow);
    random_uv_group(io.at(2028), k.bend);
    random_value_group(io.at(2048), k.segments);
    random_value_group(io.at(2064), k.gravity);
    random_value_group(io.at(2080), k.density);
    io.pointer(2096);
    io.pointer(2100);
}

// The seven per-channel ints of the record (map resolutions, interpolation, dirty flags).
template <class Io, class R>
void channel_ints(Io io, R &r, bool kept, int PatchData::*const (&fields)[kRecordChannels]) {
    for (int c = 0; c < kRecordChannels; ++c) {
        if (kept) {
            io.kept_i32(4 * c, r.*fields[c]);
        } else {
            io.i32(4 * c, r.*fields[c]);
        }
    }
}

constexpr int PatchData::*kMapRes[kRecordChannels] = {
    &PatchData::length_map_res,   &PatchData::curl_map_res,    &PatchData::grow_map_res,
    &PatchData::bend_map_res,     &PatchData::segments_map_res, &PatchData::gravity_map_res,
    &PatchData::density_map_res};
constexpr int PatchData::*kMapInterp[kRecordChannels] = {
    &PatchData::length_map_interp,   &PatchData::curl_map_interp,
    &PatchData::grow_map_interp,     &PatchData::bend_map_interp,
    &PatchData::segments_map_interp, &PatchData::gravity_map_interp,
    &PatchData::density_map_interp};
constexpr int PatchData::*kMapDirty[kRecordChannels] = {
    &PatchData::length_map_dirty,   &PatchData::curl_map_dirty,    &PatchData::grow_map_dirty,
    &PatchData::bend_map_dirty,     &PatchData::segments_map_dirty, &PatchData::gravity_map_dirty,
    &PatchData::density_map_dirty};

// Everything of the record but the main colour keys, which depend on the stored counts.
template <class Io, class R>
void patch_data_layout(Io io, R &r) {
    io.i32(0, r.presistant_rebuild);
    io.i32(4, r.last_built_frame);
    io.kept_i32(8, r.built_as_preview);
    io.i32(12, r.deleted);
    io.kept_text(16, kNameBytes, r.name);
    io.kept_i32(108, r.dynamics_valid);
    io.pointer(112);
    value_group(io.at(116), r.velocity_scale);
    value_group(io.at(128), r.acceleration_scale);
    io.i32(140, r.calc_velocity_smooth);
    io.i32(144, r.calc_acceleration_smooth);
    io.i32(148, r.velocity_smooth);
    io.i32(152, r.acceleration_smooth);
    io.i32(156, r.wind_color.active);
    io.f32(160, r.wind_color.R);
    io.f32(164, r.wind_color.G);
    io.f32(168, r.wind_color.B);
    io.kept_f32(172, r.wind_color.A);
    io.i32(176, r.wind_color.fcurve_id);
    value_group(io.at(180), r.wind_length);
    value_group(io.at(192), r.wind_curl);
    uv_group(io.at(204), r.wind_grow);
    uv_group(io.at(224), r.wind_bend);
    value_group(io.at(244), r.wind_gravity);
    random_value_group(io.at(256), r.wind_acceleration);
    random_value_group(io.at(272), r.wind_velocity);
    scale_only_group(io.at(288), r.wind_frequency_scale);
    scale_only_group(io.at(300), r.wind_speed_scale);
    value_group(io.at(312), r.wind_multiply_hair_speed);
    io.i32(324, r.wind_move_with_geometry);
    io.kept_i32(328, r.subdivision_dirty);
    io.i32(332, r.sub_res_u);
    io.i32(336, r.sub_res_v);
    io.pointer(340);
    io.kept_i32(344, r.reserved_344);
    io.i32(348, r.number_of_hairs_pr_square_unit);
    io.i32(352, r.hair_count);
    io.pointer(356);
    io.pointer(360);
    // 364: nbColorKeys, 380: main colour keys (by the caller)
    io.i16(47100, r.group);
    io.i16(47102, r.max_number_of_segments);
    channel_ints(io.at(47104), r, false, kMapRes);
    channel_ints(io.at(47132), r, false, kMapInterp);
    io.kept_i32(47160, r.surfacetype);
    io.kept_f32(47164, r.nbPointsU);
    io.kept_f32(47168, r.nbPointsV);
    io.i16(47172, r.TileU);
    io.i16(47174, r.TileV);
    channel_ints(io.at(47176), r, true, kMapDirty);
    io.i32(47204, r.Original_shading_model);
    io.i32(47208, r.Display_shading_model);
    io.i32(47212, r.object_matte_color);
    sequence(io.at(47216), r.length_sequence);
    value_group(io.at(47236), r.length_picture_scale);
    io.pointer(47248);
    sequence(io.at(47252), r.curl_sequence);
    value_group(io.at(47272), r.curl_picture_scale);
    io.pointer(47284);
    sequence(io.at(47288), r.grow_sequence);
    uv_group(io.at(47308), r.grow_picture_scale);
    io.pointer(47328);
    sequence(io.at(47332), r.bend_sequence);
    uv_group(io.at(47352), r.bend_picture_scale);
    io.pointer(47372);
    sequence(io.at(47376), r.segments_sequence);
    value_group(io.at(47396), r.segments_picture_scale);
    io.pointer(47408);
    sequence(io.at(47412), r.gravity_sequence);
    io.kept_i32(47432, r.reserved_gravity);
    value_group(io.at(47436), r.gravity_picture_scale);
    io.pointer(47448);
    sequence(io.at(47452), r.density_sequence);
    value_group(io.at(47472), r.density_picture_scale);
    io.pointer(47484);
    io.i32(47488, r.color_interpolation_method);
    for (int m = 0; m < 9; ++m) io.pointer(47492 + 4 * m);
    io.i32(47528, r.render_mode);
    io.i32(47532, r.allways_draw_hairs);
    io.i32(47536, r.is_selected);
    io.kept_i16(47540, r.shadow_subdivision);
    io.i16(47542, r.casts_shadow);
    io.kept_i16(47544, r.shadow_exact);
    io.i16(47546, r.number_shadow_levels);
    io.i32(47548, r.Patch_display_mode);
    io.kept_i32(47552, r.reserved_last);
}

constexpr int kColorKeyCountsOffset = 364;
constexpr int kMainColorKeysOffset = 380;

int main_color_key_offset(int t, int i) {
    return kMainColorKeysOffset + kMainColorKeyBlockSize * (kMaxColorKeys * t + i);
}

template <class Io, class S>
void display_settings_layout(Io io, S &s) {
    io.text(0, kFilenameBytes, s.background_image_name);
    io.i32(512, s.background_color);
    io.i32(516, s.use_background_image);
    io.i32(520, s.other_color);
    io.f32(524, s.hilight_size);
    io.f32(528, s.hilight_intensity);
    io.i16(532, s.reserved_532);
    io.i16(534, s.other_display_mode);
    io.i32(536, s.ray_traced_shadows);
    io.f32(540, s.shadow_umbra_scale);
    io.i32(544, s.other_casts_shadow);
    io.i32(548, s.reserved_548);
    io.f32(552, s.preview_fraction);
    io.i32(556, s.draw_style);
    io.i32(560, s.shading);
    io.i32(564, s.hilights);
    io.i32(568, s.beep_on_error);
    io.i32(572, s.redraw_always);
    io.i32(576, s.antialias_level);
    io.i32(580, s.debug_level);
    io.i32(584, s.use_opengl);
    for (int i = 0; i < kShowChannelToggles; ++i) io.i32(588 + 4 * i, s.show_channel[i]);
    io.i32(620, s.show_wind_vector);
    io.i32(624, s.move_mouse);
    io.f32(628, s.light_exposure);
    io.i32(632, s.autokey_fcurves);
    io.i32(636, s.redraw_auto);
    io.i32(640, s.dir_bend_random_mode);
}

template <class T, class Layout>
Bytes encode(int size, const T &value, Layout layout) {
    Bytes bytes(static_cast<size_t>(size), 0);
    layout(Writer(bytes), value);
    return bytes;
}

}  // namespace

Bytes encode_picture(const Picture &p) {
    return encode(kPictureBlockSize, p, [](Writer w, const Picture &v) { picture_layout(w, v); });
}

Bytes encode_color_key(const ColorKey &k) {
    return encode(kColorKeyBlockSize, k, [](Writer w, const ColorKey &v) { color_key_layout(w, v); });
}

Bytes encode_main_color_key(const MainColorKey &k) {
    return encode(kMainColorKeyBlockSize, k,
                  [](Writer w, const MainColorKey &v) { main_color_key_layout(w, v); });
}

Bytes encode_texture_key(const TextureKey &k) {
    return encode(kTextureKeyBlockSize, k,
                  [](Writer w, const TextureKey &v) { texture_key_layout(w, v); });
}

Bytes encode_display_settings(const DisplaySettings &s) {
    return encode(kDisplaySettingsBlockSize, s,
                  [](Writer w, const DisplaySettings &v) { display_settings_layout(w, v); });
}

Bytes encode_patch_data(const PatchData &r) {
    return encode(kPatchDataBlockSize, r, [](Writer w, const PatchData &v) {
        patch_data_layout(w, v);
        for (int t = 0; t < kColorTypes; ++t) {
            w.i32(kColorKeyCountsOffset + 4 * t, v.nbColorKeys[t]);
            for (int i = 0; i < kMaxColorKeys; ++i) {
                main_color_key_layout(w.at(main_color_key_offset(t, i)), v.main_color_keys[t][i]);
            }
        }
    });
}

// Decodes a block of exactly `size` bytes with the layout; any other size is another version.
template <class T, class Layout>
bool decode(ByteView block, std::size_t size, bool swap, T &value, Layout layout) {
    if (block.size() != size) return false;
    layout(Reader(block, swap), value);
    return true;
}

bool decode_picture(ByteView block, bool swap, Picture &p) {
    return decode(block, kPictureBlockSize, swap, p,
                  [](Reader r, Picture &v) { picture_layout(r, v); });
}

bool decode_color_key(ByteView block, bool swap, ColorKey &k) {
    return decode(block, kColorKeyBlockSize, swap, k,
                  [](Reader r, ColorKey &v) { color_key_layout(r, v); });
}

bool decode_main_color_key(ByteView block, bool swap, MainColorKey &k) {
    return decode(block, kMainColorKeyBlockSize, swap, k,
                  [](Reader r, MainColorKey &v) { main_color_key_layout(r, v); });
}

bool decode_texture_key(ByteView block, bool swap, TextureKey &k) {
    return decode(block, kTextureKeyBlockSize, swap, k,
                  [](Reader r, TextureKey &v) { texture_key_layout(r, v); });
}

bool decode_display_settings(ByteView block, bool swap, DisplaySettings &s) {
    return decode(block, kDisplaySettingsBlockSize, swap, s,
                  [](Reader r, DisplaySettings &v) { display_settings_layout(r, v); });
}

bool decode_patch_data(ByteView block, bool swap, PatchData &r) {
    if (block.size() != kPatchDataBlockSize) return false;
    const Reader reader(block, swap);
    patch_data_layout(reader, r);
    for (int t = 0; t < kColorTypes; ++t) {
        int count = 0;
        reader.i32(kColorKeyCountsOffset + 4 * t, count);
        // A negative count is as unusable as a too large one; a count of 0 would leave the
        // colour evaluation without keys, so the type starts over from its defaults.
        if (count > kMaxStoredColorKeys || count < 0) {
            status_message(kStatusWarning, "#Colorkeys out of range, deleting keys");
            main_color_keys_default(r, t);
            continue;
        }
        r.nbColorKeys[t] = count;
        for (int i = 0; i < count; ++i) {
            main_color_key_layout(reader.at(main_color_key_offset(t, i)), r.main_color_keys[t][i]);
        }
    }
    return true;
}

namespace {
template <class T, class Layout>
std::vector<LayoutField> list_fields(T &value, Layout layout) {
    std::vector<LayoutField> fields;
    layout(FieldLister(fields), value);
    return fields;
}
}  // namespace

std::vector<LayoutField> patch_data_fields(PatchData &r) {
    return list_fields(r, [](FieldLister l, PatchData &v) { patch_data_layout(l, v); });
}

std::vector<LayoutField> texture_key_fields(TextureKey &k) {
    return list_fields(k, [](FieldLister l, TextureKey &v) { texture_key_layout(l, v); });
}

std::vector<LayoutField> display_settings_fields(DisplaySettings &s) {
    return list_fields(s, [](FieldLister l, DisplaySettings &v) { display_settings_layout(l, v); });
}

}  // namespace vellimor
