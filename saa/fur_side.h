// Which side of a surface its fur grows on. Hairs grow along tangent_v × tangent_u on patch
// surfaces and along tangent_u × tangent_v on NURBS surfaces; for a closed surface (one without
// a border: its ends meet or shrink to a point) that side is outward or inward of the volume it
// encloses.
#pragma once

#include "saa/saa.h"
#include "saa/scene_data.h"

// Host side: whether a surface is closed (has no border) and, if so, whether its fur grows away
// from the volume it encloses (1) or into it (0).
extern "C" int SAA_surfaceGetFurSide(const SAA_Scene *scene, const SAA_Elem *model, int *closed, int *outward);

namespace vellimor::saa {

struct FurSide {
    bool closed = false;
    bool outward = true;  // for closed surfaces: the fur points away from the enclosed volume
};

// The model must be a surface (patch or NURBS).
FurSide fur_side(const Model &surface);

// Reverses the surface's u direction, so its fur grows on the other side; the shape stays.
void turn_over(Model &surface);

struct Bounds {
    Vec3 low, high;
};
// The box around points sampled over the surface.
Bounds surface_bounds(const Model &surface);

}  // namespace vellimor::saa
