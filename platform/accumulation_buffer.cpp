#include "platform/accumulation_buffer.h"

#include <GL/gl.h>

#include <algorithm>

namespace vellimor::platform {
namespace {

constexpr int kChannels = 4;

// Writes RGBA floats to the lower-left corner (x, y) of the draw buffer unchanged by any
// per-fragment operation, and restores every state it touches.
void draw_pixels_unchanged(int x, int y, int width, int height, const float *rgba) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (GLenum capability : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_STENCIL_TEST, GL_SCISSOR_TEST,
                              GL_TEXTURE_1D, GL_TEXTURE_2D, GL_FOG, GL_LIGHTING, GL_DITHER, GL_COLOR_LOGIC_OP})
        glDisable(capability);
    glPixelZoom(1.0f, 1.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRasterPos2f(-1.0f, -1.0f);  // the viewport's lower-left corner
    glDrawPixels(width, height, GL_RGBA, GL_FLOAT, rgba);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace

AccumulationBuffer::AccumulationBuffer(bool force_software, bool keep_sum) {
    GLint accum_red_bits = 0;
    glGetIntegerv(GL_ACCUM_RED_BITS, &accum_red_bits);
    native_ = !force_software && accum_red_bits > 0;
    software_sum_ = !native_ || keep_sum;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    x_ = viewport[0];
    y_ = viewport[1];
    width_ = std::max(viewport[2], 0);
    height_ = std::max(viewport[3], 0);
}

void AccumulationBuffer::read_colour() {
    colour_.resize(size_t(width_) * size_t(height_) * kChannels);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(x_, y_, width_, height_, GL_RGBA, GL_FLOAT, colour_.data());
    glPopClientAttrib();
}

void AccumulationBuffer::add_to_sum(float weight, bool first) {
    read_colour();
    sum_.resize(colour_.size(), 0.0f);  // accumulating before any load starts from zero
    for (size_t i = 0; i < sum_.size(); ++i) sum_[i] = (first ? 0.0f : sum_[i]) + colour_[i] * weight;
}

void AccumulationBuffer::load(float weight) {
    if (native_) glAccum(GL_LOAD, weight);
    if (software_sum_) add_to_sum(weight, true);
}

void AccumulationBuffer::accumulate(float weight) {
    if (native_) glAccum(GL_ACCUM, weight);
    if (software_sum_) add_to_sum(weight, false);
}

void AccumulationBuffer::return_scaled(float scale) {
    if (native_) glAccum(GL_RETURN, scale);
    if (!software_sum_) return;
    sum_.resize(size_t(width_) * size_t(height_) * kChannels, 0.0f);
    colour_.resize(sum_.size());
    for (size_t i = 0; i < sum_.size(); ++i) colour_[i] = std::clamp(sum_[i] * scale, 0.0f, 1.0f);
    if (!native_ && width_ > 0 && height_ > 0) draw_pixels_unchanged(x_, y_, width_, height_, colour_.data());
}

}  // namespace vellimor::platform
