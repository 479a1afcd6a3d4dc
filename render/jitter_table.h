// Subpixel jitter offsets for the antialiasing passes, as published (x, y per sample, in pixels
// relative to the pixel centre).
#pragma once

#include <span>

namespace vellimor {

struct JitterPoint {
    float x, y;
};

// The sample set with exactly `count` points, or an empty span when there is none of that size.
std::span<const JitterPoint> jitter_table(int count);

}  // namespace vellimor
