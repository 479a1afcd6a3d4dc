// PNG files as 8-bit RGB or RGBA pixel arrays, through libpng.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vellimor {

struct RgbaPixels {
    int width = 0;
    int height = 0;
    bool has_alpha = false;
    std::vector<uint8_t> rgba;  // 4 bytes per pixel, top row first
};

// Decodes a PNG of any colour type into 8-bit RGBA; `has_alpha` tells whether the file carries
// transparency. Sizes above `max_dimension` are refused before any pixel memory is taken.
bool png_decode(const std::vector<uint8_t> &file, int max_dimension, RgbaPixels *pixels, std::string *error);

// Fills row y (0 the top) with width pixels of 3 bytes (RGB) or 4 (RGBA); false stops.
using PngRowSource = std::function<bool(int y, uint8_t *row)>;
// Takes the next bytes of the file; false stops.
using PngByteSink = std::function<bool(const uint8_t *data, size_t size)>;

// Encodes 8-bit pixels as a PNG (RGBA when `has_alpha`, else RGB, marked sRGB) one row at a time, so that
// memory holds one row whatever the size. On failure `error` says why, unless the sink stopped
// (the sink's owner knows why).
bool png_write_rows(int width, int height, bool has_alpha, const PngRowSource &source,
                    const PngByteSink &sink, std::string *error);

struct PicImage;

// Encodes a picture's planes as a PNG: RGBA when it has an alpha plane and `with_alpha`, else
// RGB; a colour plane it lacks reads as zero.
bool png_encode_picture(const PicImage &picture, bool with_alpha, std::vector<uint8_t> *file, std::string *error);

}  // namespace vellimor
