// Accumulation of antialiasing passes over the colour buffer of the current context, as glAccum
// does it: with the context's own accumulation buffer when it has one, otherwise with a float
// buffer kept here, so that every target (windows, pbuffers, memory buffers) can antialias.
#pragma once

#include <vector>

namespace vellimor::platform {

class AccumulationBuffer {
public:
    // Covers the current viewport of the current context; `force_software` ignores a native
    // accumulation buffer (tests, and renderers that want the same sums on every target);
    // `keep_sum` keeps a float sum beside a native one, for returned().
    explicit AccumulationBuffer(bool force_software = false, bool keep_sum = false);

    // sum = colour x weight (glAccum GL_LOAD).
    void load(float weight);
    // sum += colour x weight (glAccum GL_ACCUM).
    void accumulate(float weight);
    // colour = sum x scale, clamped to 0..1 (glAccum GL_RETURN).
    void return_scaled(float scale);

    bool native() const { return native_; }
    // What the last return_scaled gave as floats (RGBA, bottom row first) before the colour
    // buffer rounds it: empty unless the sum was kept in software.
    const std::vector<float> &returned() const { return colour_; }

private:
    void read_colour();
    void add_to_sum(float weight, bool first);
    bool native_;
    bool software_sum_;
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    std::vector<float> sum_;
    std::vector<float> colour_;
};

}  // namespace vellimor::platform
