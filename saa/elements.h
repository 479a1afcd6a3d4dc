// Element lookups shared by the element, mesh and drawing operations.
#pragma once

#include <string>

#include "saa/saa.h"
#include "saa/scene_data.h"

namespace vellimor::saa {

// The mesh a polygon or control-vertex handle belongs to, or null when the handle is stale or
// out of range.
const Mesh *mesh_part_of(const Scene &scene, const SAA_Elem &element);
// The name of a model, light or camera.
std::string *element_name(const SAA_Scene *scene, const SAA_Elem *element, int &status);
// The wire type of a model or light.
int *element_wire_type(const SAA_Scene *scene, const SAA_Elem *element, int &status);

}  // namespace vellimor::saa
