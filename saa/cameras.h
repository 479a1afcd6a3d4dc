// Camera geometry shared by the camera moves and drawing.
#pragma once

#include "saa/scene_data.h"

namespace vellimor::saa {

// The camera's unit right and up directions (world Y is up; looking straight up or down, world X
// is right).
void camera_frame(const Camera &camera, Vec3 &right, Vec3 &up);

// The perspective projection (vertical fov, aspect, near, far) and the view from the position
// towards the interest, in OpenGL's column-major layout (drawing.cpp).
void camera_matrices(const Camera &camera, double projection[16], double view[16]);

}  // namespace vellimor::saa
