#include "fcurve/patch_curves.h"

#include <algorithm>

#include "fcurve/fcurve_user_data.h"

namespace vellimor {

namespace {

template <typename Ids>
int save_all(const SAA_Scene *scene, const SAA_Elem *model, const Ids &ids) {
    for (int *id : ids)
        if (int rc = fcurve_save_user_data(scene, model, *id)) return rc;
    return 0;
}

template <typename Ids>
void load_all(const SAA_Scene *scene, const SAA_Elem *model, const Ids &ids) {
    for (int *id : ids) *id = fcurve_load_user_data(scene, model, *id);
}

}  // namespace

std::array<int *, kPatchLevelGroups> patch_level_curve_ids(PatchData &r) {
    return {&r.velocity_scale.fcurve_id,         &r.acceleration_scale.fcurve_id,
            &r.wind_color.fcurve_id,             &r.wind_length.fcurve_id,
            &r.wind_curl.fcurve_id,              &r.wind_grow.fcurve_id,
            &r.wind_bend.fcurve_id,              &r.wind_gravity.fcurve_id,
            &r.wind_acceleration.fcurve_id,      &r.wind_velocity.fcurve_id,
            &r.wind_frequency_scale.fcurve_id,   &r.wind_speed_scale.fcurve_id,
            &r.wind_multiply_hair_speed.fcurve_id, &r.length_picture_scale.fcurve_id,
            &r.curl_picture_scale.fcurve_id,     &r.grow_picture_scale.fcurve_id,
            &r.bend_picture_scale.fcurve_id,     &r.segments_picture_scale.fcurve_id,
            &r.gravity_picture_scale.fcurve_id,  &r.density_picture_scale.fcurve_id};
}

std::vector<int *> texture_key_curve_ids(TextureKey &key, const int (&nb_color_keys)[kColorTypes]) {
    std::vector<int *> ids = {&key.length.fcurve_id,   &key.curl.fcurve_id,
                              &key.grow.fcurve_id,     &key.bend.fcurve_id,
                              &key.segments.fcurve_id, &key.gravity.fcurve_id,
                              &key.density.fcurve_id};
    for (int t = 0; t < kColorTypes; ++t) {
        // A count from a damaged record never reaches past the key's colour keys.
        const int in_use = std::clamp(nb_color_keys[t], 0, kMaxColorKeys);
        for (int k = 0; k < in_use; ++k) ids.push_back(&key.color_keys[t][k].fcurve_id);
    }
    return ids;
}

int fcurve_save_patch_level(const SAA_Scene *scene, const SAA_Elem *model, PatchData &record) {
    return save_all(scene, model, patch_level_curve_ids(record));
}

int fcurve_save_texture_key(const SAA_Scene *scene, const SAA_Elem *model, TextureKey &key,
                            const int (&nb_color_keys)[kColorTypes]) {
    return save_all(scene, model, texture_key_curve_ids(key, nb_color_keys));
}

void fcurve_load_patch_level(const SAA_Scene *scene, const SAA_Elem *model, PatchData &record) {
    load_all(scene, model, patch_level_curve_ids(record));
}

void fcurve_load_texture_key(const SAA_Scene *scene, const SAA_Elem *model, TextureKey &key,
                             const int (&nb_color_keys)[kColorTypes]) {
    load_all(scene, model, texture_key_curve_ids(key, nb_color_keys));
}

}  // namespace vellimor
