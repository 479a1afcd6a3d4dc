#include "platform/accumulation_buffer.h"

#include <GL/gl.h>

#include <algorithm>

#include "platform/pixel_transfer.h"

namespace vellimor::platform {
namespace {

constexpr int kChannels = 4;

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
    read_pixels(x_, y_, width_, height_, GL_RGBA, GL_FLOAT, colour_.data());
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
    if (!native_ && width_ > 0 && height_ > 0)
        draw_pixels_unchanged(x_, y_, width_, height_, GL_RGBA, GL_FLOAT, colour_.data());
}

}  // namespace vellimor::platform
