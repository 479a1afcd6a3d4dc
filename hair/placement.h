// Hair placement: how many hairs grow on each region of a surface, and the driver of one complete
// hair build (channel maps, cells, roots, dynamics) with its progress and timing reports.
#pragma once

namespace vellimor {

// Builds the hairs of surface p. hairs_per_unit >= 0 replaces number_of_hairs_pr_square_unit
// first, -1 keeps it; a non-zero preview grows only the preview fraction of the hairs.
void grow_fur(int p, int hairs_per_unit, int preview);

// grow_fur(p, -1, preview) for every surface that is not deleted and is selected (or every such
// surface when only_selected is 0), then the scene's shadow volumes once.
void build_all_patches(int only_selected, int preview);

// Cuts surface p into sub_res_u x sub_res_v cells, measures their areas, gives each its hair
// count (carrying the fractions from cell to cell) and reserves the root array.
void Subdivide_patch(int p);

// Half the length of (b - a) x (c - a).
float triangle_area(const float a[3], const float b[3], const float c[3]);

}  // namespace vellimor
