// The fur records' stored form in the scene: user-data blocks of every fur surface's model,
// recognised by their sizes (current layout, possibly in the other byte order, and the layouts
// of earlier versions), with the function curves and pictures they refer to.
#include "furdata/fur_data.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fcurve/fcurve_user_data.h"
#include "furdata/display_settings.h"
#include "furdata/legacy_layouts.h"
#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/texture_picture.h"
#include "furdata/record_codec.h"
#include "hair/channel_maps.h"
#include "hair/shadows.h"
#include "host/configuration.h"
#include "host/scene.h"

namespace vellimor {
namespace {

constexpr size_t kMaxNameLength = 89;  // the stored name holds 90 bytes with its terminator
constexpr const char *kPatchDataBlock = "PatchData";
constexpr const char *kDisplaySettingsBlock = "DisplaySettings";
constexpr const char *kChannelPictureBlocks[kRecordChannels] = {
    "LengthPic", "CurlPic", "GrowPic", "BendPic", "SegmentsPic", "GravityPic", "DensityPic"};

std::string model_name(const SAA_Scene &scene, const SAA_Elem &model) {
    int length = 0;
    if (SAA_elementGetNameLength(&scene, &model, &length) != 0 || length < 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (SAA_elementGetName(&scene, &model, length + 1, buffer.data()) != 0) return {};
    std::string name(buffer.data());
    if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
    return name;
}

std::string key_block_name(int k) { return "T" + std::to_string(k); }

// One stored block as the host hands it out: empty when absent.
struct StoredBlock {
    ByteView bytes;
    bool swap = false;
    bool present() const { return !bytes.empty(); }
};

StoredBlock stored_block(const SAA_Scene &scene, const SAA_Elem &model, const std::string &name) {
    int size = 0;
    short swap = 0;
    void *data = nullptr;
    if (SAA_modelAllocUserData(&scene, &model, name.c_str(), &size, &swap, &data) != SAA_OK ||
        size <= 0 || !data) {
        return {};
    }
    return {ByteView(static_cast<const std::uint8_t *>(data), static_cast<size_t>(size)), swap != 0};
}

// The curve ids of the twenty groups of the record itself.
std::vector<int *> record_curve_ids(PatchData &r) {
    return {&r.velocity_scale.fcurve_id,       &r.acceleration_scale.fcurve_id,
            &r.wind_color.fcurve_id,           &r.wind_length.fcurve_id,
            &r.wind_curl.fcurve_id,            &r.wind_grow.fcurve_id,
            &r.wind_bend.fcurve_id,            &r.wind_gravity.fcurve_id,
            &r.wind_acceleration.fcurve_id,    &r.wind_velocity.fcurve_id,
            &r.wind_frequency_scale.fcurve_id, &r.wind_speed_scale.fcurve_id,
            &r.wind_multiply_hair_speed.fcurve_id, &r.length_picture_scale.fcurve_id,
            &r.curl_picture_scale.fcurve_id,   &r.grow_picture_scale.fcurve_id,
            &r.bend_picture_scale.fcurve_id,   &r.segments_picture_scale.fcurve_id,
            &r.gravity_picture_scale.fcurve_id, &r.density_picture_scale.fcurve_id};
}

// The curve ids of a texture key's channel groups and of its colour keys in use.
std::vector<int *> key_curve_ids(TextureKey &k, const PatchData &r) {
    std::vector<int *> ids = {&k.length.fcurve_id,   &k.curl.fcurve_id,    &k.grow.fcurve_id,
                              &k.bend.fcurve_id,     &k.segments.fcurve_id, &k.gravity.fcurve_id,
                              &k.density.fcurve_id};
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = 0; i < r.nbColorKeys[t] && i < kMaxColorKeys; ++i) {
            ids.push_back(&k.color_keys[t][i].fcurve_id);
        }
    }
    return ids;
}

void load_curves(const SAA_Scene &scene, const SAA_Elem &model, const std::vector<int *> &ids) {
    for (int *id : ids) *id = fcurve_load_user_data(&scene, &model, *id);
}

// Colour keys beyond the counts have no stored curves: an id left there would name whichever
// curve now has that number.
void forget_unstored_curves(TextureKey &k, const PatchData &r) {
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = std::max(r.nbColorKeys[t], 0); i < kMaxColorKeys; ++i) k.color_keys[t][i].fcurve_id = 0;
    }
}

void read_display_settings(const SceneState &s, DisplaySettings &settings) {
    for (const SAA_Elem &model : s.models) {
        const StoredBlock block = stored_block(s.scene, model, kDisplaySettingsBlock);
        if (!block.present()) continue;
        if (!decode_display_settings(block.bytes, block.swap, settings)) {
            decode_legacy_display_settings(block.bytes, settings);
        }
        return;
    }
}

void read_record_block(const SceneState &s, const SAA_Elem &model, PatchData &r) {
    const StoredBlock block = stored_block(s.scene, model, kPatchDataBlock);
    if (!block.present()) return;
    if (decode_patch_data(block.bytes, block.swap, r)) return;
    if (decode_legacy_patch_data(block.bytes, r)) return;
    SAA_modelDestroyUserData(&s.scene, &model, kPatchDataBlock);
}

// Texture keys "T0", "T1", ... up to the first missing block. A block of an unknown size ends the
// list: it is deleted and the colour keys start over.
void read_texture_keys(const SceneState &s, const SAA_Elem &model, PatchData &r) {
    for (int k = 0;; ++k) {
        const std::string name = key_block_name(k);
        const StoredBlock block = stored_block(s.scene, model, name);
        if (!block.present()) return;
        TextureKey &key = k == 0 ? r.texture_keys.front() : r.texture_keys.emplace_back(texture_key_new());
        if (!decode_texture_key(block.bytes, block.swap, key) &&
            !decode_legacy_texture_key(block.bytes, key)) {
            // A damaged block is no key: the one just added for it goes again.
            if (k > 0) r.texture_keys.pop_back();
            SAA_modelDestroyUserData(&s.scene, &model, name.c_str());
            for (int t = 0; t < kColorTypes; ++t) {
                main_color_keys_default(r, t);
                color_keys_default(r.texture_keys.front(), t);
            }
            return;
        }
        load_curves(s.scene, model, key_curve_ids(key, r));
        forget_unstored_curves(key, r);
    }
}

void load_main_color_key_pictures(PatchData &r) {
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = 0; i < r.nbColorKeys[t] && i < kMaxColorKeys; ++i) {
            MainColorKey &key = r.main_color_keys[t][i];
            key.picture.image.reset();
            if (!key.this_key_uses_picture) continue;
            key.map_dirty = 1;
            key.seq_cont.picture_was_found = load_texture_picture(&key.picture, key.seq_cont);
        }
    }
}

void read_channel_pictures(const SceneState &s, const SAA_Elem &model, PatchData &r) {
    for (int c = 0; c < kRecordChannels; ++c) {
        ChannelPictureRef channel = channel_picture(r, RecordChannel(c));
        channel.picture.reset();
        const StoredBlock block = stored_block(s.scene, model, kChannelPictureBlocks[c]);
        if (block.bytes.size() != static_cast<size_t>(kPictureBlockSize)) continue;
        auto picture = std::make_unique<Picture>();
        decode_picture(block.bytes, block.swap, *picture);
        channel.sequence.picture_was_found = load_texture_picture(picture.get(), channel.sequence);
        if (channel.sequence.picture_was_found) channel.picture = std::move(picture);
    }
}

// The host status of the first failing step, 0 while none failed.
struct HostResult {
    int code = 0;
    void operator+=(int result) {
        if (code == 0) code = result;
    }
};

HostResult replace_block(const SceneState &s, const SAA_Elem &model, const std::string &name,
                         const Bytes &bytes) {
    HostResult result;
    SAA_modelDestroyUserData(&s.scene, &model, name.c_str());
    result += SAA_modelSetUserData(&s.scene, &model, name.c_str(), static_cast<int>(bytes.size()), 0,
                                   bytes.data());
    return result;
}

HostResult save_curves(const SceneState &s, const SAA_Elem &model, const std::vector<int *> &ids) {
    HostResult result;
    for (const int *id : ids) result += fcurve_save_user_data(&s.scene, &model, *id);
    return result;
}

bool block_exists(const SceneState &s, const SAA_Elem &model, const std::string &name) {
    return stored_block(s.scene, model, name).present();
}

HostResult write_record(const SceneState &s, const SAA_Elem &model, PatchData &r) {
    HostResult result;
    result += save_curves(s, model, record_curve_ids(r)).code;
    int k = 0;
    for (TextureKey &key : r.texture_keys) {
        result += replace_block(s, model, key_block_name(k++), encode_texture_key(key)).code;
        result += save_curves(s, model, key_curve_ids(key, r)).code;
    }
    // Keys of a longer list stored before: the reader would stop at the first missing one, but
    // they would stay in the scene for good.
    for (int stale = k; stale == k || block_exists(s, model, key_block_name(stale)); ++stale) {
        SAA_modelDestroyUserData(&s.scene, &model, key_block_name(stale).c_str());
    }
    for (int c = 0; c < kRecordChannels; ++c) {
        SAA_modelDestroyUserData(&s.scene, &model, kChannelPictureBlocks[c]);
        ChannelPictureRef channel = channel_picture(r, RecordChannel(c));
        if (channel.active && channel.picture) {
            result += replace_block(s, model, kChannelPictureBlocks[c], encode_picture(*channel.picture)).code;
        }
    }
    result += replace_block(s, model, kPatchDataBlock, encode_patch_data(r)).code;
    if (const DisplaySettings *settings = display_settings()) {
        result += replace_block(s, model, kDisplaySettingsBlock, encode_display_settings(*settings)).code;
    }
    return result;
}

// The scene prefix "a-b" is written back as it was read.
void rewrite_scene_prefix(const SceneState &s) {
    int length = 0;
    if (SAA_sceneGetPrefixLength(&s.scene, &length) != SAA_OK || length < 0) return;
    std::vector<char> prefix(static_cast<size_t>(length) + 1, '\0');
    if (SAA_sceneGetPrefix(&s.scene, length + 1, prefix.data()) != SAA_OK) return;
    int first = 0, second = 0;
    if (std::sscanf(prefix.data(), "%d-%d", &first, &second) != 2) return;
    char text[32];
    std::snprintf(text, sizeof text, "%d-%d", first, second);
    SAA_sceneSetPrefix(&s.scene, text);
}

}  // namespace

void read_fur_data(int with_user_data) {
    DisplaySettings &settings = display_settings_create();
    SceneState &s = scene_state();
    if (s.patch_count() == 0) return;
    if (with_user_data) read_display_settings(s, settings);
    read_fur_switches();
    s.patches.clear();
    s.patches.resize(s.models.size());
    for (int i = 0; i < s.patch_count(); ++i) {
        const SAA_Elem &model = s.models[i];
        s.patches[i] = patch_new();
        PatchData &r = *s.patches[i];
        r.name = model_name(s.scene, model);
        patch_geometry(i);
        if (with_user_data) {
            read_record_block(s, model, r);
            load_curves(s.scene, model, record_curve_ids(r));
            read_texture_keys(s, model, r);
            bound_fur_record(r);
            load_main_color_key_pictures(r);
            read_channel_pictures(s, model, r);
        }
        update_channel_maps(i);
    }
    // The shadow model belonged to the records just replaced.
    free_shadow_model();
    // Lights are read again for the next drawing.
    for (LightInfo &light : s.light_cache) light.frame = -1;
}

int write_fur_data(int save_scene) {
    SceneState &s = scene_state();
    HostResult result;
    for (int i = 0; i < s.patch_count() && i < static_cast<int>(s.patches.size()); ++i) {
        if (s.patches[i]) result += write_record(s, s.models[i], *s.patches[i]).code;
    }
    rewrite_scene_prefix(s);
    if (save_scene) result += SAA_sceneSave(&s.database, &s.scene);
    return result.code;
}

}  // namespace vellimor
