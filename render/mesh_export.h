// The hair mesh written into the host scene.
#pragma once

namespace vellimor {

// Removes the hair mesh element from the host scene when there is one.
void destroy_hair_mesh_element();

}  // namespace vellimor
