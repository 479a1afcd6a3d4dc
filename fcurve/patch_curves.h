// The function curves a fur record refers to, walked group by group: the twenty patch-level
// groups (dynamics, wind and picture scales) and, per texture key, its seven channel groups and
// its colour keys in use. Storing and re-attaching them with the record goes through here.
#pragma once

#include <array>
#include <vector>

#include "furdata/patch_data.h"
#include "saa/saa.h"

namespace vellimor {

inline constexpr int kPatchLevelGroups = 20;

// The fcurve_id fields of the patch-level groups: velocity and acceleration scale, the eleven
// wind groups, then the seven picture scales in record order.
std::array<int *, kPatchLevelGroups> patch_level_curve_ids(PatchData &record);

// The fcurve_id fields of a texture key's channel groups (record order), then of its colour keys
// below each colour type's count of main colour keys in use.
std::vector<int *> texture_key_curve_ids(TextureKey &key, const int (&nb_color_keys)[kColorTypes]);

// Each stores every curve the fields name; returns 0 or the first host failure code.
int fcurve_save_patch_level(const SAA_Scene *scene, const SAA_Elem *model, PatchData &record);
int fcurve_save_texture_key(const SAA_Scene *scene, const SAA_Elem *model, TextureKey &key,
                            const int (&nb_color_keys)[kColorTypes]);

// Each loads the curves the fields name and stores back the ids they now live under (0 for a
// curve that is missing or damaged, which leaves its group unanimated).
void fcurve_load_patch_level(const SAA_Scene *scene, const SAA_Elem *model, PatchData &record);
void fcurve_load_texture_key(const SAA_Scene *scene, const SAA_Elem *model, TextureKey &key,
                             const int (&nb_color_keys)[kColorTypes]);

}  // namespace vellimor
