// The conversions between the colour panel's RGB and HLS sliders (every value 0..1; hue as a
// fraction of the full circle).
#pragma once

namespace vellimor {

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};
struct Hls {
    float h = 0.0f, l = 0.0f, s = 0.0f;
};

Hls rgb_to_hls(Rgb c);
Rgb hls_to_rgb(Hls c);

}  // namespace vellimor
