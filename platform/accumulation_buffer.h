// Accumulation of antialiasing passes over the colour buffer of the current context, as glAccum
// does it: with the context's own accumulation buffer when it has one, otherwise with a float
// buffer kept here, so that every target (windows, pbuffers, memory buffers) can antialias.
#pragma once

#include <vector>

namespace vellimor::platform {

class AccumulationBuffer {
public:
    // Covers the current viewport of the current context; `force_software` ignores a native
    // accumulation buffer (tests, and renderers that want the same sums on every target).
    explicit AccumulationBuffer(bool force_software = false);

    // sum = colour x weight (glAccum GL_LOAD).
    void load(float weight);
    // sum += colour x weight (glAccum GL_ACCUM).
    void accumulate(float weight);
    // colour = sum x scale, clamped to 0..1 (glAccum GL_RETURN).
    void return_scaled(float scale);

    bool native() const { return native_; }

private:
    void read_colour();
    bool native_;
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    std::vector<float> sum_;
    std::vector<float> colour_;
};

}  // namespace vellimor::platform
