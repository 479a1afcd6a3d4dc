// Hair placement: subdividing a surface into cells and growing its hairs.
#pragma once

namespace vellimor {

// Builds the hairs of surface p. hairs_per_unit >= 0 replaces number_of_hairs_pr_square_unit
// first, -1 keeps it; preview non-zero makes it a preview build.
void grow_fur(int p, int hairs_per_unit, int preview);
// grow_fur(p, -1, preview) for every surface not deleted that is selected (or every one when
// only_selected is 0), then the shadow model once.
void build_all_patches(int only_selected, int preview);

}  // namespace vellimor
