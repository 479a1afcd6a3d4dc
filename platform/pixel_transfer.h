// Pixels between the current context's read or draw buffer and memory, as they are: no pixel
// store, pixel transfer or per-fragment setting of the caller changes them on the way, and
// every state touched is restored.
#pragma once

#include <GL/gl.h>

namespace vellimor::platform {

// Reads a rectangle of the read buffer (or the depth buffer for GL_DEPTH_COMPONENT), rows
// packed without padding, bottom row first.
void read_pixels(int x, int y, int width, int height, GLenum format, GLenum type, void *out);

// Writes a rectangle, lower-left corner at window pixel (x, y), rows packed without padding:
// colours unblended into the draw buffer (the colour mask still applies), or with
// GL_DEPTH_COMPONENT depths into the depth buffer with the colours left alone.
void draw_pixels_unchanged(int x, int y, int width, int height, GLenum format, GLenum type,
                           const void *pixels);

}  // namespace vellimor::platform
