#include "furdata/fur_text_fields.h"

namespace vellimor {
namespace {

// A setting whose key is the field's path in the record, as the text file spells it.
#define FIELD(Record, path) TextField<Record>{#path, [](Record &r) -> TextFieldRef { return &r.path; }}
// Written for reference, not read back: the field keeps its value of a new record.
#define WRITTEN_ONLY(Record, path) \
    TextField<Record>{#path, [](Record &r) -> TextFieldRef { return &r.path; }, false}

#define P(path) FIELD(PatchData, path)
#define P_WRITTEN(path) WRITTEN_ONLY(PatchData, path)

const TextField<PatchData> kObjectHead[] = {
    P(presistant_rebuild), P(deleted),
    P(velocity_scale.active), P(velocity_scale.fcurve_id), P(acceleration_scale.active),
    P(acceleration_scale.fcurve_id), P(velocity_scale.value), P(acceleration_scale.value),
    P(calc_velocity_smooth), P(calc_acceleration_smooth), P(velocity_smooth), P(acceleration_smooth),
    P(wind_color.active), P_WRITTEN(wind_color.fcurve_id), P(wind_color.R), P(wind_color.G),
    P(wind_color.B),
    P(wind_length.active), P_WRITTEN(wind_length.fcurve_id), P(wind_length.value),
    P(wind_curl.active), P_WRITTEN(wind_curl.fcurve_id), P(wind_curl.value),
    P(wind_grow.active), P_WRITTEN(wind_grow.fcurve_id), P(wind_grow.valueU), P(wind_grow.valueV),
    P(wind_bend.active), P_WRITTEN(wind_bend.fcurve_id), P(wind_bend.valueU), P(wind_bend.valueV),
    P(wind_gravity.active), P_WRITTEN(wind_gravity.fcurve_id), P(wind_gravity.value),
    P(wind_acceleration.active), P_WRITTEN(wind_acceleration.fcurve_id),
    P(wind_acceleration.value), P(wind_acceleration.random),
    P(wind_velocity.active), P_WRITTEN(wind_velocity.fcurve_id), P(wind_velocity.value),
    P(wind_velocity.random),
    P(wind_frequency_scale.value), P_WRITTEN(wind_frequency_scale.fcurve_id),
    P(wind_speed_scale.value), P_WRITTEN(wind_speed_scale.fcurve_id),
    P(wind_multiply_hair_speed.active), P_WRITTEN(wind_multiply_hair_speed.fcurve_id),
    P(wind_multiply_hair_speed.value),
    P(wind_move_with_geometry),
    P(sub_res_u), P(sub_res_v), P(number_of_hairs_pr_square_unit),
    P(nbColorKeys[0]), P(nbColorKeys[1]), P(nbColorKeys[2]), P(nbColorKeys[3]),
};

const TextField<PatchData> kObjectMiddle[] = {
    P(group), P(max_number_of_segments),
    P(length_map_res), P(curl_map_res), P(grow_map_res), P(bend_map_res), P(segments_map_res),
    P(gravity_map_res), P(density_map_res),
    P_WRITTEN(surfacetype), P(nbPointsU), P(nbPointsV), P(TileU), P(TileV),
    P(Original_shading_model), P(Display_shading_model), P(object_matte_color),
};

#define SEQUENCE(channel)                                                                   \
    P(channel##_sequence.use_sequence), P(channel##_sequence.sequence_offset),              \
        P(channel##_sequence.error_handling), P(channel##_sequence.loaded_frame_nr),        \
        P(channel##_sequence.picture_was_found), P(channel##_picture_scale.active)
#define VALUE_CHANNEL(channel) {SEQUENCE(channel), P(channel##_picture_scale.value)}
#define UV_CHANNEL(channel) \
    {SEQUENCE(channel), P(channel##_picture_scale.valueU), P(channel##_picture_scale.valueV)}

const TextField<PatchData> kLengthChannel[] = VALUE_CHANNEL(length);
const TextField<PatchData> kCurlChannel[] = VALUE_CHANNEL(curl);
const TextField<PatchData> kGrowChannel[] = UV_CHANNEL(grow);
const TextField<PatchData> kBendChannel[] = UV_CHANNEL(bend);
const TextField<PatchData> kSegmentsChannel[] = VALUE_CHANNEL(segments);
const TextField<PatchData> kGravityChannel[] = VALUE_CHANNEL(gravity);
const TextField<PatchData> kDensityChannel[] = VALUE_CHANNEL(density);

const std::span<const TextField<PatchData>> kChannels[kRecordChannels] = {
    kLengthChannel, kCurlChannel,    kGrowChannel,    kBendChannel,
    kSegmentsChannel, kGravityChannel, kDensityChannel};

const char *const kChannelPictureKeys[kRecordChannels] = {
    "length_textures",   "curl_textures",    "grow_textures",   "bend_textures",
    "segments_textures", "gravity_textures", "density_textures"};

const TextField<PatchData> kObjectTail[] = {
    P(color_interpolation_method), P(render_mode), P(allways_draw_hairs), P(is_selected),
    P(casts_shadow), P(number_shadow_levels), P(Patch_display_mode),
};

#define M(path) FIELD(MainColorKey, path)
const TextField<MainColorKey> kMainColorKeyHead[] = {
    M(where), M(map_res), M(this_key_uses_picture), M(picture_scale)};
const TextField<MainColorKey> kMainColorKeyTail[] = {
    M(seq_cont.use_sequence), M(seq_cont.sequence_offset), M(seq_cont.error_handling),
    M(seq_cont.loaded_frame_nr), M(seq_cont.picture_was_found)};

#define T(path) FIELD(TextureKey, path)
#define VALUE_GROUP(g) T(g.active), T(g.fcurve_id), T(g.value), T(g.random)
#define UV_GROUP(g) T(g.active), T(g.fcurve_id), T(g.valueU), T(g.valueV), T(g.random)
const TextField<TextureKey> kTextureKeyHead[] = {
    T(selected), T(u), T(v), T(key_mode), T(w), T(h), T(ang), T(x1), T(x2),
    T(color_active[0]), T(color_active[1]), T(color_active[2]), T(color_active[3])};
const TextField<TextureKey> kTextureKeyGroups[] = {
    VALUE_GROUP(length), VALUE_GROUP(curl), UV_GROUP(grow), UV_GROUP(bend),
    VALUE_GROUP(segments), VALUE_GROUP(gravity), VALUE_GROUP(density)};

#define C(path) FIELD(ColorKey, path)
const TextField<ColorKey> kColorKey[] = {C(R), C(G), C(B), C(A), C(fcurve_id)};

#define PIC(path) FIELD(Picture, path)
const TextField<Picture> kPicture[] = {PIC(tileu), PIC(tilev), PIC(offu), PIC(offv)};

}  // namespace

std::span<const TextField<PatchData>> object_head_fields() { return kObjectHead; }
std::span<const TextField<PatchData>> object_middle_fields() { return kObjectMiddle; }
std::span<const TextField<PatchData>> object_channel_fields(int channel) {
    return channel >= 0 && channel < kRecordChannels ? kChannels[channel]
                                                     : std::span<const TextField<PatchData>>{};
}
std::span<const TextField<PatchData>> object_tail_fields() { return kObjectTail; }
const char *channel_picture_key(int channel) {
    return channel >= 0 && channel < kRecordChannels ? kChannelPictureKeys[channel] : "";
}
std::span<const TextField<MainColorKey>> main_color_key_head_fields() { return kMainColorKeyHead; }
std::span<const TextField<MainColorKey>> main_color_key_tail_fields() { return kMainColorKeyTail; }
std::span<const TextField<TextureKey>> texture_key_head_fields() { return kTextureKeyHead; }
std::span<const TextField<TextureKey>> texture_key_group_fields() { return kTextureKeyGroups; }
std::span<const TextField<ColorKey>> color_key_fields() { return kColorKey; }
std::span<const TextField<Picture>> picture_fields() { return kPicture; }

}  // namespace vellimor
