#include "render/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
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

namespace {

struct PngWriteState {
    const PngByteSink *sink;
    bool sink_failed = false;
    char message[200] = {};
};

void write_bytes(png_structp png, png_bytep data, png_size_t size) {
    auto *state = static_cast<PngWriteState *>(png_get_io_ptr(png));
    if (!state->sink_failed && !(*state->sink)(data, size)) state->sink_failed = true;
}

void flush_nothing(png_structp) {}

[[noreturn]] void on_png_error(png_structp png, png_const_charp message) {
    auto *state = static_cast<PngWriteState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The libpng calls, kept free of objects with destructors: libpng leaves by longjmp on errors.
bool write_png(png_structp png, png_infop info, int width, int height, bool has_alpha,
               const PngRowSource &source, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 has_alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The pixels are display values: say so, so that viewers and compositors need not guess.
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        if (!source(y, row)) return false;
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool png_write_rows(int width, int height, bool has_alpha, const PngRowSource &source,
                    const PngByteSink &sink, std::string *error) {
    std::vector<png_byte> row;
    try {
        row.assign(size_t(width) * (has_alpha ? 4 : 3), 0);
    } catch (const std::bad_alloc &) {
        *error = "not enough memory for a row of " + std::to_string(width) + " pixels";
        return false;
    }
    PngWriteState state{&sink};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        *error = "not enough memory for the PNG writer";
        return false;
    }
    png_set_write_fn(png, &state, write_bytes, flush_nothing);
    const bool written = write_png(png, info, width, height, has_alpha, source, row.data());
    png_destroy_write_struct(&png, &info);
    if (written && !state.sink_failed) return true;
    if (!state.sink_failed)
        *error = state.message[0] ? std::string("cannot encode PNG (") + state.message + ")"
                                  : std::string("cannot encode PNG");
    return false;
}

bool png_encode_picture(const PicImage &picture, bool with_alpha, std::vector<uint8_t> *file, std::string *error) {
    const bool alpha = with_alpha && picture.has_plane(kPicAlpha);
    const size_t channels = alpha ? 4 : 3;
    const size_t width = size_t(picture.width);
    const auto fill_row = [&](int y, uint8_t *row) {
        for (size_t c = 0; c < channels; ++c) {
            const std::vector<uint8_t> &plane = picture.planes[c];  // a plane it lacks reads as zero
            for (size_t x = 0; x < width; ++x) row[x * channels + c] = plane.empty() ? 0 : plane[size_t(y) * width + x];
        }
        return true;
    };
    bool memory_short = false;
    const auto append = [&](const uint8_t *data, size_t size) {
        try {
            file->insert(file->end(), data, data + size);
            return true;
        } catch (const std::bad_alloc &) {
            memory_short = true;
            return false;
        }
    };
    file->clear();
    if (png_write_rows(picture.width, picture.height, alpha, fill_row, append, error)) return true;
    if (memory_short) *error = "not enough memory for the PNG picture";
    return false;
}

}  // namespace vellimor
