// Keeping a surface's channel maps up to date with the current frame: animated parameters and
// keys mark maps dirty, picture sequences go stale, and dirty or stale maps are rebuilt.
#include <initializer_list>
#include <vector>

#include "fcurve/fcurve_list.h"
#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/picture_maps.h"
#include "hair/random_generators.h"
#include "hair/texture_picture.h"
#include "render/pic_file.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

// The loaded image's byte planes; false when nothing is loaded.
bool picture_planes(const Picture *picture, PicturePlanes &planes) {
    if (!picture || !picture->image) return false;
    const PicImage &image = *picture->image;
    planes.width = image.width;
    planes.height = image.height;
    planes.red = image.planes[kPicRed];
    planes.green = image.planes[kPicGreen];
    planes.blue = image.planes[kPicBlue];
    planes.alpha = image.planes[kPicAlpha];
    return true;
}

// Everything one value channel's update needs, as references into the record.
struct ValueChannel {
    int channel;
    int seed_factor;  // seed = factor·(p + 1)
    std::vector<float> &map_a;
    std::vector<float> *map_b;  // V component of grow and bend
    int &res;
    int &dirty;
    PictureSequence &sequence;
    std::unique_ptr<Picture> &picture;
    int &picture_active;
    float scale_u, scale_v;
};

// In the order the maps are rebuilt.
std::vector<ValueChannel> value_channels(PatchData &r) {
    return {
        {kChannelLength, 2, r.length_map, nullptr, r.length_map_res, r.length_map_dirty,
         r.length_sequence, r.length_picture, r.length_picture_scale.active,
         r.length_picture_scale.value, 0.0f},
        {kChannelDensity, 8, r.density_map, nullptr, r.density_map_res, r.density_map_dirty,
         r.density_sequence, r.density_picture, r.density_picture_scale.active,
         r.density_picture_scale.value, 0.0f},
        {kChannelCurl, 3, r.curl_map, nullptr, r.curl_map_res, r.curl_map_dirty, r.curl_sequence,
         r.curl_picture, r.curl_picture_scale.active, r.curl_picture_scale.value, 0.0f},
        {kChannelGrow, 4, r.grow_map_u, &r.grow_map_v, r.grow_map_res, r.grow_map_dirty,
         r.grow_sequence, r.grow_picture, r.grow_picture_scale.active, r.grow_picture_scale.valueU,
         r.grow_picture_scale.valueV},
        {kChannelBend, 7, r.bend_map_u, &r.bend_map_v, r.bend_map_res, r.bend_map_dirty,
         r.bend_sequence, r.bend_picture, r.bend_picture_scale.active, r.bend_picture_scale.valueU,
         r.bend_picture_scale.valueV},
        {kChannelSegments, 5, r.segments_map, nullptr, r.segments_map_res, r.segments_map_dirty,
         r.segments_sequence, r.segments_picture, r.segments_picture_scale.active,
         r.segments_picture_scale.value, 0.0f},
        {kChannelGravity, 6, r.gravity_map, nullptr, r.gravity_map_res, r.gravity_map_dirty,
         r.gravity_sequence, r.gravity_picture, r.gravity_picture_scale.active,
         r.gravity_picture_scale.value, 0.0f},
    };
}

// Asks the group's function curve for its values at the frame; they replace the fields (in
// order) when they differ. True when the fields changed.
bool animate(int fcurve_id, int frame, std::initializer_list<float *> fields) {
    float values[kFCurveMaxComponents] = {};
    size_t n = 0;
    for (float *field : fields) values[n++] = *field;
    if (!fcurve_query(fcurve_id, frame, std::span<float>(values, n))) return false;
    n = 0;
    for (float *field : fields) *field = values[n++];
    return true;
}

template <typename Group>
bool animate_group(Group &group, int frame, std::initializer_list<float *> fields) {
    return group.active && animate(group.fcurve_id, frame, fields);
}

void animate_record_parameters(PatchData &r, int frame) {
    animate_group(r.velocity_scale, frame, {&r.velocity_scale.value});
    animate_group(r.acceleration_scale, frame, {&r.acceleration_scale.value});
    animate_group(r.wind_color, frame, {&r.wind_color.R, &r.wind_color.G, &r.wind_color.B});
    animate_group(r.wind_length, frame, {&r.wind_length.value});
    animate_group(r.wind_curl, frame, {&r.wind_curl.value});
    animate_group(r.wind_grow, frame, {&r.wind_grow.valueU, &r.wind_grow.valueV});
    animate_group(r.wind_bend, frame, {&r.wind_bend.valueU, &r.wind_bend.valueV});
    animate_group(r.wind_gravity, frame, {&r.wind_gravity.value});
    animate_group(r.wind_acceleration, frame,
                  {&r.wind_acceleration.value, &r.wind_acceleration.random});
    animate_group(r.wind_velocity, frame, {&r.wind_velocity.value, &r.wind_velocity.random});
    animate_group(r.wind_frequency_scale, frame, {&r.wind_frequency_scale.value});
    animate_group(r.wind_speed_scale, frame, {&r.wind_speed_scale.value});
    animate_group(r.wind_multiply_hair_speed, frame, {&r.wind_multiply_hair_speed.value});
    animate_group(r.length_picture_scale, frame, {&r.length_picture_scale.value});
    animate_group(r.curl_picture_scale, frame, {&r.curl_picture_scale.value});
    animate_group(r.grow_picture_scale, frame,
                  {&r.grow_picture_scale.valueU, &r.grow_picture_scale.valueV});
    animate_group(r.bend_picture_scale, frame,
                  {&r.bend_picture_scale.valueU, &r.bend_picture_scale.valueV});
    animate_group(r.segments_picture_scale, frame, {&r.segments_picture_scale.value});
    animate_group(r.gravity_picture_scale, frame, {&r.gravity_picture_scale.value});
    animate_group(r.density_picture_scale, frame, {&r.density_picture_scale.value});
}

void animate_keys(PatchData &r, int frame) {
    for (TextureKey &key : r.texture_keys) {
        if (animate_group(key.length, frame, {&key.length.value, &key.length.random}))
            r.length_map_dirty = 1;
        if (animate_group(key.curl, frame, {&key.curl.value, &key.curl.random}))
            r.curl_map_dirty = 1;
        if (animate_group(key.grow, frame, {&key.grow.valueU, &key.grow.valueV, &key.grow.random}))
            r.grow_map_dirty = 1;
        if (animate_group(key.bend, frame, {&key.bend.valueU, &key.bend.valueV, &key.bend.random}))
            r.bend_map_dirty = 1;
        if (animate_group(key.segments, frame, {&key.segments.value, &key.segments.random}))
            r.segments_map_dirty = 1;
        if (animate_group(key.gravity, frame, {&key.gravity.value, &key.gravity.random}))
            r.gravity_map_dirty = 1;
        if (animate_group(key.density, frame, {&key.density.value, &key.density.random}))
            r.density_map_dirty = 1;
        for (int t = 0; t < kColorTypes; ++t) {
            if (!key.color_active[t]) continue;
            for (int k = 0; k < r.nbColorKeys[t] && k < kMaxColorKeys; ++k) {
                ColorKey &color = key.color_keys[t][k];
                if (animate(color.fcurve_id, frame, {&color.R, &color.G, &color.B, &color.A}))
                    r.main_color_keys[t][k].map_dirty = 1;
            }
        }
    }
}

bool sequence_stale(const PictureSequence &s, int frame) {
    return s.use_sequence && s.loaded_frame_nr != sequence_file_number(s.sequence_offset, frame);
}

bool resolution_usable(int res) {
    // A resolution out of range leaves the map unbuilt (it reads as 0) rather than exhausting
    // memory.
    if (map_resolution_in_range(res)) return true;
    status_message(kStatusError, "Channel map resolution %d out of range 1..%d", res,
                   kMaxMapResolution);
    return false;
}

// The constant alpha byte of a colour picture map without its own alpha: the colour's alpha in
// the first key that paints this colour type, or opaque.
uint8_t picture_map_alpha(const PatchData &r, int t, int k) {
    for (const TextureKey &key : r.texture_keys) {
        if (!key.color_active[t]) continue;
        const float a = key.color_keys[t][k].A * 255.0f;
        return !(a > 0.0f) ? 0 : a >= 255.0f ? 255 : static_cast<uint8_t>(a);
    }
    return 255;
}

void update_color_maps(PatchData &r, int frame) {
    for (int t = 0; t < kColorTypes; ++t) {
        for (int k = 0; k < r.nbColorKeys[t] && k < kMaxColorKeys; ++k) {
            MainColorKey &main_key = r.main_color_keys[t][k];
            const bool stale =
                main_key.this_key_uses_picture && sequence_stale(main_key.seq_cont, frame);
            if (!main_key.map_dirty && !stale) continue;
            main_key.color_map.clear();
            main_key.color_map.shrink_to_fit();
            if (stale)
                main_key.seq_cont.picture_was_found =
                    load_texture_picture(&main_key.picture, main_key.seq_cont);
            PicturePlanes planes;
            if (!picture_planes(&main_key.picture, planes)) main_key.seq_cont.picture_was_found = 0;
            if (!resolution_usable(main_key.map_res)) continue;
            if (main_key.this_key_uses_picture && main_key.seq_cont.picture_was_found) {
                main_key.color_map.assign(size_t(main_key.map_res) * size_t(main_key.map_res), 0u);
                if (fill_color_map_from_picture(planes, t, main_key.picture_channels,
                                                picture_map_alpha(r, t, k),
                                                main_key.color_map.data(), main_key.map_res)) {
                    main_key.map_dirty = 0;
                    continue;
                }
            }
            main_key.map_dirty = 1;
            build_color_map(r, k, t);
        }
    }
}

void update_value_map(PatchData &r, ValueChannel &ch, int p, int frame) {
    const bool stale = sequence_stale(ch.sequence, frame);
    if (!ch.dirty && !stale) return;
    ch.map_a.clear();
    ch.map_a.shrink_to_fit();
    if (ch.map_b) {
        ch.map_b->clear();
        ch.map_b->shrink_to_fit();
    }
    if (ch.picture_active && stale)
        ch.sequence.picture_was_found = load_texture_picture(ch.picture.get(), ch.sequence);
    PicturePlanes planes;
    const bool has_image = ch.picture && picture_planes(ch.picture.get(), planes);
    if (ch.picture && !has_image) ch.sequence.picture_was_found = 0;
    if (!resolution_usable(ch.res)) return;

    const size_t cells = size_t(ch.res) * size_t(ch.res);
    ch.map_a.assign(cells, 0.0f);
    if (ch.map_b) ch.map_b->assign(cells, 0.0f);
    float *map_b = ch.map_b ? ch.map_b->data() : nullptr;
    if (ch.picture_active && ch.sequence.picture_was_found && has_image &&
        fill_value_map_from_picture(planes, ch.channel, ch.scale_u, ch.scale_v, ch.map_a.data(),
                                    map_b, ch.res))
        return;
    standard_srand(static_cast<uint32_t>(ch.seed_factor * (p + 1)));
    build_value_map(r, ch.map_a.data(), map_b, ch.res, ch.channel);
}

}  // namespace

void animate_record(PatchData &r, int frame) {
    animate_record_parameters(r, frame);
    animate_keys(r, frame);
}

void update_channel_maps(int p) {
    SceneState &scene = scene_state();
    if (p < 0 || p >= static_cast<int>(scene.patches.size()) || !scene.patches[p]) return;
    PatchData &r = *scene.patches[p];
    const int frame = scene.current_frame;

    animate_record(r, frame);
    update_color_maps(r, frame);
    for (ValueChannel &ch : value_channels(r)) update_value_map(r, ch, p, frame);
    r.length_map_dirty = r.curl_map_dirty = r.grow_map_dirty = r.bend_map_dirty =
        r.segments_map_dirty = r.gravity_map_dirty = r.density_map_dirty = 0;
}

}  // namespace vellimor
