// The hair mesh written into the host scene.
#pragma once

#include "render/polygon_sort.h"

namespace vellimor {

// Writes the hairs of the polygon list (hair order, not sorted) into the host scene as one mesh.
// Returns 0 on success, non-zero on failure.
int save_hair_mesh(const PolygonList &list, long polygon_count);

// Removes the hair mesh element from the host scene when there is one.
void destroy_hair_mesh_element();

}  // namespace vellimor
