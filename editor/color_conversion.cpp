#include "editor/color_conversion.h"

#include <algorithm>

namespace vellimor {

namespace {

// One component of HLS to RGB at hue angle h (degrees).
float hls_value(float m1, float m2, float h) {
    while (h > 360.0f) h -= 360.0f;
    while (h < 0.0f) h += 360.0f;
    if (h < 60.0f) return m1 + (m2 - m1) * h / 60.0f;
    if (h < 180.0f) return m2;
    if (h < 240.0f) return m1 + (m2 - m1) * (240.0f - h) / 60.0f;
    return m1;
}

}  // namespace

Hls rgb_to_hls(Rgb c) {
    const float max = std::max({c.r, c.g, c.b});
    const float min = std::min({c.r, c.g, c.b});
    Hls out;
    out.l = (max + min) / 2.0f;
    if (max == min) return out;  // grey: no saturation, hue 0
    const float delta = max - min;
    out.s = out.l <= 0.5f ? delta / (max + min) : delta / (2.0f - max - min);
    const float r = (max - c.r) / delta, g = (max - c.g) / delta, b = (max - c.b) / delta;
    float h = c.r == max ? b - g : c.g == max ? 2.0f + r - b : 4.0f + g - r;
    h *= 60.0f;
    if (h < 0.0f) h += 360.0f;
    out.h = h / 360.0f;
    return out;
}

Rgb hls_to_rgb(Hls c) {
    const float m2 = c.l <= 0.5f ? c.l * (1.0f + c.s) : c.l + c.s - c.l * c.s;
    const float m1 = 2.0f * c.l - m2;
    if (c.s == 0.0f) return {c.l, c.l, c.l};
    const float h = c.h * 360.0f;
    return {hls_value(m1, m2, h + 120.0f), hls_value(m1, m2, h), hls_value(m1, m2, h - 120.0f)};
}

}  // namespace vellimor
