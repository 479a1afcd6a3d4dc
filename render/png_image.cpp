#include "render/png_image.h"

#include <png.h>

#include <new>

#include "render/pic_file.h"

namespace vellimor {
namespace {

// Deflate cannot shrink data by more than about 1032:1; a header that claims more pixels than
// its file could carry is damaged, and is refused before memory is taken for it.
constexpr uint64_t kMaxDeflateRatio = 1100;

// Frees libpng's reading state on every way out.
struct PngImageGuard {
    png_image *image;
    ~PngImageGuard() { png_image_free(image); }
};

}  // namespace

bool png_decode(const std::vector<uint8_t> &file, int max_dimension, RgbaPixels *pixels, std::string *error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    PngImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        *error = std::string("not a readable PNG file (") + image.message + ")";
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > uint32_t(max_dimension) ||
        image.height > uint32_t(max_dimension)) {
        *error = "PNG size " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                 " is outside 1.." + std::to_string(max_dimension);
        return false;
    }
    uint64_t raw_bytes = uint64_t(image.width) * image.height * PNG_IMAGE_PIXEL_CHANNELS(image.format);
    if (raw_bytes > uint64_t(file.size()) * kMaxDeflateRatio) {
        *error = "damaged PNG file (too short for its size)";
        return false;
    }
    pixels->has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    try {
        pixels->rgba.assign(PNG_IMAGE_SIZE(image), 0);
    } catch (const std::bad_alloc &) {
        *error = "not enough memory for the PNG picture";
        return false;
    }
    if (!png_image_finish_read(&image, nullptr, pixels->rgba.data(), 0, nullptr)) {
        *error = std::string("damaged PNG file (") + image.message + ")";
        return false;
    }
    pixels->width = int(image.width);
    pixels->height = int(image.height);
    return true;
}

bool png_encode(const RgbaPixels &pixels, std::vector<uint8_t> *file, std::string *error) {
    std::vector<uint8_t> packed;
    const uint8_t *data = pixels.rgba.data();
    if (!pixels.has_alpha) {
        size_t count = size_t(pixels.width) * size_t(pixels.height);
        packed.resize(count * 3);
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) packed[i * 3 + size_t(c)] = pixels.rgba[i * 4 + size_t(c)];
        data = packed.data();
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(pixels.width);
    image.height = png_uint_32(pixels.height);
    image.format = pixels.has_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, data, 0, nullptr)) {
        *error = std::string("cannot encode PNG (") + image.message + ")";
        return false;
    }
    file->resize(size);
    if (!png_image_write_to_memory(&image, file->data(), &size, 0, data, 0, nullptr)) {
        *error = std::string("cannot encode PNG (") + image.message + ")";
        return false;
    }
    file->resize(size);
    return true;
}

bool png_encode_picture(const PicImage &picture, bool with_alpha, std::vector<uint8_t> *file, std::string *error) {
    RgbaPixels pixels;
    pixels.width = picture.width;
    pixels.height = picture.height;
    pixels.has_alpha = with_alpha && picture.has_plane(kPicAlpha);
    const size_t count = picture.pixel_count();
    try {
        pixels.rgba.assign(count * 4, 0);
    } catch (const std::bad_alloc &) {
        *error = "not enough memory for the PNG picture";
        return false;
    }
    for (int c = 0; c < kPicChannelCount; ++c) {
        if (!picture.has_plane(c)) continue;
        const std::vector<uint8_t> &plane = picture.planes[size_t(c)];
        for (size_t i = 0; i < count; ++i) pixels.rgba[i * 4 + size_t(c)] = plane[i];
    }
    return png_encode(pixels, file, error);
}

}  // namespace vellimor
