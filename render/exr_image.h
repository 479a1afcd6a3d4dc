// Frames as OpenEXR files for compositing: half-float RGBA in linear light, written through
// OpenEXR's own library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellimor {

// A picture of float display values (0..1, the sRGB curve as drawn), 4 per pixel, top row first.
struct FloatPicture {
    int width = 0, height = 0;
    std::vector<float> rgba;
};

// Encodes the picture as a scanline OpenEXR file of half-float R, G, B and A channels (ZIP
// compressed): colour turned into linear light, alpha kept as it is.
bool exr_encode(const FloatPicture &picture, std::vector<uint8_t> *file, std::string *error);

// The linear light of an sRGB display value.
float srgb_to_linear(float value);

}  // namespace vellimor
