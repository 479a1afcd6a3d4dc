// Polygon meshes as binary PLY: x y z nx ny nz thickness (float) red green blue alpha (uchar) per vertex,
// faces as index lists.
#pragma once

#include <string>

#include "saa/scene_data.h"

namespace vellimor::saa {

std::string ply_bytes(const Mesh &mesh);

}  // namespace vellimor::saa
