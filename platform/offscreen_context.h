// Offscreen OpenGL contexts that need no display: an EGL pbuffer on Mesa's surfaceless platform
// and an OSMesa context drawing into a buffer in memory. See platform/README.md for which one
// stands for which target of the batch command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vellimor::platform {

enum class OffscreenContextKind { EglPbuffer, OsMesaBuffer };

// What the pixel format of a context offers, in the terms of the format listing.
struct PixelFormatInfo {
    int index = 0;  // the EGL config id; 1 for the memory buffer
    bool draw_to_window = false;
    bool draw_to_bitmap = false;
    bool support_gdi = false;
    bool generic_accelerated = false;
    bool support_opengl = false;
    bool double_buffer = false;
    bool rgba = true;
    int color_bits = 0;  // red + green + blue
    int red_bits = 0, red_shift = 0;
    int green_bits = 0, green_shift = 0;
    int blue_bits = 0, blue_shift = 0;
    int alpha_bits = 0, alpha_shift = 0;
    int depth_bits = 0;
    int stencil_bits = 0;
    int accum_bits = 0;  // all four channels; a software float buffer counts 32 bits each
};

// Why a context could not be made: the first line names the failed step in the system's own
// words; `detail` is the library's error, when it gave one; `candidates` lists the formats that
// were on offer when none fitted.
struct OffscreenFailure {
    std::string message;
    std::string detail;
    std::vector<PixelFormatInfo> candidates;
};

// The request: colour bits per RGB, depth and stencil bits; no alpha, single-buffered.
struct OffscreenRequest {
    int color_bits = 24;
    int depth_bits = 32;
    int stencil_bits = 8;
};

class OffscreenContext {
public:
    virtual ~OffscreenContext() = default;
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    virtual bool make_current() = 0;
    virtual void release_current() = 0;
    // True when the context keeps an accumulation buffer of its own.
    bool has_native_accumulation() const { return format_.accum_bits > 0 && native_accumulation_; }

    OffscreenContextKind kind() const { return kind_; }
    int width() const { return width_; }
    int height() const { return height_; }
    const PixelFormatInfo &pixel_format() const { return format_; }

protected:
    OffscreenContext(OffscreenContextKind kind, int width, int height)
        : kind_(kind), width_(width), height_(height) {}
    OffscreenContextKind kind_;
    int width_;
    int height_;
    PixelFormatInfo format_;
    bool native_accumulation_ = false;
};

// Makes a context of the given kind and size (the context is made current once, to check that
// OpenGL calls reach it). Null with the reason in `failure` when it cannot be made.
std::unique_ptr<OffscreenContext> create_offscreen_context(OffscreenContextKind kind, int width, int height,
                                                           const OffscreenRequest &request,
                                                           OffscreenFailure *failure);

std::unique_ptr<OffscreenContext> create_egl_pbuffer_context(int width, int height, const OffscreenRequest &request,
                                                             OffscreenFailure *failure);
std::unique_ptr<OffscreenContext> create_osmesa_context(int width, int height, const OffscreenRequest &request,
                                                        OffscreenFailure *failure);

// Fills the bits of the current context's format that OpenGL itself reports (channel, depth,
// stencil and accumulation sizes, whether the renderer is a software one).
void query_current_format(PixelFormatInfo *format);

// The software accumulation buffer's size in bits per pixel, reported where there is no native one.
constexpr int kSoftwareAccumBits = 4 * 32;

}  // namespace vellimor::platform
