#include "furdata/patch_data.h"

#include "host/scene.h"

namespace vellimor {
namespace {

struct ColorDefault {
    float key0[4];
    float key1[4];
};

// Colour keys 0 and 1 of a new texture key, by colour type.
constexpr ColorDefault kColorDefaults[kColorTypes] = {
    {{1.0f, 0.7f, 0.4f, 1.0f}, {0.0f, 0.0f, 0.0f, 0.0f}},  // diffuse
    {{1.0f, 1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}},  // ambient
    {{1.0f, 1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}},  // specular
    {{0.05f, 0.0f, 0.0f, 0.0f}, {0.0001f, 0.0f, 0.0f, 0.0f}},  // thickness
};

// Main colour keys in use by default: diffuse and thickness run from root to tip.
constexpr int kDefaultColorKeyCount[kColorTypes] = {2, 1, 1, 2};

void set_rgba(ColorKey &key, const float rgba[4]) {
    key.R = rgba[0];
    key.G = rgba[1];
    key.B = rgba[2];
    key.A = rgba[3];
}

bool valid_type(int type) { return type >= 0 && type < kColorTypes; }

}  // namespace

ChannelPictureRef channel_picture(PatchData &r, RecordChannel channel) {
    switch (channel) {
    case kRecordLength:
        return {r.length_sequence, r.length_picture_scale.active, r.length_picture_scale.fcurve_id,
                r.length_picture};
    case kRecordCurl:
        return {r.curl_sequence, r.curl_picture_scale.active, r.curl_picture_scale.fcurve_id,
                r.curl_picture};
    case kRecordGrow:
        return {r.grow_sequence, r.grow_picture_scale.active, r.grow_picture_scale.fcurve_id,
                r.grow_picture};
    case kRecordBend:
        return {r.bend_sequence, r.bend_picture_scale.active, r.bend_picture_scale.fcurve_id,
                r.bend_picture};
    case kRecordSegments:
        return {r.segments_sequence, r.segments_picture_scale.active,
                r.segments_picture_scale.fcurve_id, r.segments_picture};
    case kRecordGravity:
        return {r.gravity_sequence, r.gravity_picture_scale.active,
                r.gravity_picture_scale.fcurve_id, r.gravity_picture};
    case kRecordDensity:
    default:
        return {r.density_sequence, r.density_picture_scale.active,
                r.density_picture_scale.fcurve_id, r.density_picture};
    }
}

void color_keys_default(TextureKey &key, int type) {
    if (!valid_type(type)) return;
    for (ColorKey &c : key.color_keys[type]) c.fcurve_id = 0;
    set_rgba(key.color_keys[type][0], kColorDefaults[type].key0);
    set_rgba(key.color_keys[type][1], kColorDefaults[type].key1);
}

void main_color_keys_default(PatchData &record, int type) {
    if (!valid_type(type)) return;
    for (MainColorKey &k : record.main_color_keys[type]) {
        k.map_dirty = 1;
        k.map_res = 50;
        k.map_interp = 0;
        k.this_key_uses_picture = 0;
        k.color_map.clear();
        k.picture.image.reset();
        const int found = k.seq_cont.picture_was_found;
        k.seq_cont = PictureSequence{};
        k.seq_cont.picture_was_found = found;
    }
    record.main_color_keys[type][0].where = 0.0f;
    record.nbColorKeys[type] = kDefaultColorKeyCount[type];
    if (kDefaultColorKeyCount[type] == 2) record.main_color_keys[type][1].where = 1.0f;
}

TextureKey texture_key_new() {
    TextureKey key;
    for (int t = 0; t < kColorTypes; ++t) color_keys_default(key, t);
    return key;
}

std::unique_ptr<PatchData> patch_new() {
    auto record = std::make_unique<PatchData>();
    record->texture_keys.push_back(texture_key_new());
    for (int t = 0; t < kColorTypes; ++t) main_color_keys_default(*record, t);
    return record;
}

void patch_free(int i) {
    auto &patches = scene_state().patches;
    if (i < 0 || i >= static_cast<int>(patches.size())) return;
    patches[i].reset();
}

const char *channel_name(int channel, int color_type) {
    static const char *const kColorNames[kColorTypes] = {"diffuse", "ambient", "specular",
                                                         "thickness"};
    switch (channel) {
    case kChannelColor:
        return valid_type(color_type) ? kColorNames[color_type] : "undefined";
    case kChannelLength: return "length";
    case kChannelCurl: return "wave";
    case kChannelGrow: return "direction";
    case kChannelSegments: return "segments";
    case kChannelGravity: return "gravity";
    case kChannelBend: return "bend";
    case kChannelDensity: return "density";
    default: return "undefined";
    }
}

}  // namespace vellimor
