#include "platform/offscreen_context.h"

#include <GL/gl.h>

#include <cstring>

namespace vellimor::platform {
namespace {

// Renderers that run on the processor rather than on graphics hardware.
bool is_software_renderer(const char *renderer) {
    if (!renderer) return true;
    for (const char *name : {"llvmpipe", "softpipe", "swrast", "Software"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

}  // namespace

void query_current_format(PixelFormatInfo *format) {
    GLint red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0;
    GLint accum[4] = {};
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_ACCUM_RED_BITS, &accum[0]);
    glGetIntegerv(GL_ACCUM_GREEN_BITS, &accum[1]);
    glGetIntegerv(GL_ACCUM_BLUE_BITS, &accum[2]);
    glGetIntegerv(GL_ACCUM_ALPHA_BITS, &accum[3]);
    format->red_bits = red;
    format->green_bits = green;
    format->blue_bits = blue;
    format->alpha_bits = alpha;
    format->color_bits = red + green + blue;
    format->depth_bits = depth;
    format->stencil_bits = stencil;
    format->accum_bits = accum[0] + accum[1] + accum[2] + accum[3];
    format->generic_accelerated =
        !is_software_renderer(reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    format->support_opengl = true;
}

std::unique_ptr<OffscreenContext> create_offscreen_context(OffscreenContextKind kind, int width, int height,
                                                           const OffscreenRequest &request,
                                                           OffscreenFailure *failure) {
    if (kind == OffscreenContextKind::EglPbuffer) return create_egl_pbuffer_context(width, height, request, failure);
    return create_osmesa_context(width, height, request, failure);
}

}  // namespace vellimor::platform
