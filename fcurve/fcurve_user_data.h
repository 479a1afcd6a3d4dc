// Function curves kept in the scene as user data of the model whose groups they animate: per curve
// the blocks "FCurve_<id>", and per component "FCurve_<id>_<i>", "FCurve_<id>_<i>_Herm" and
// "FCurve_<id>_<i>_herm", written in this machine's byte order and byte-swapped on reading when
// the host says they came from the other order.
#pragma once

#include "saa/saa.h"

namespace vellimor {

// Stores the curve `id` as user data of the model; id 0 or an unknown id stores nothing.
// Returns 0, or the host's code for the first block it could not store.
int fcurve_save_user_data(const SAA_Scene *scene, const SAA_Elem *model, int id);

// Loads the curve stored under `id` into the list and returns the id it now lives under (a new
// one when `id` is taken), or 0 when it is missing or damaged. The caller stores the result back
// into the group's fcurve_id.
int fcurve_load_user_data(const SAA_Scene *scene, const SAA_Elem *model, int id);

}  // namespace vellimor
