#include "render/offscreen_target.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "host/globals.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

// The largest side the renderer draws: its viewport stops there (a wider target would get the
// picture off-centre and black beyond), and larger buffers overflow its 32-bit offsets.
constexpr int kMaxTargetSide = 16384;

// The target asks for what a 24-bit memory bitmap offers: no alpha, no double buffering.
constexpr platform::OffscreenRequest kTargetRequest{24, 32, 8};

std::unique_ptr<platform::OffscreenContext> &target() {
    static std::unique_ptr<platform::OffscreenContext> context;
    return context;
}

platform::OffscreenContextKind context_kind(OffscreenKind kind) {
    return kind == OffscreenKind::PBuffer ? platform::OffscreenContextKind::EglPbuffer
                                          : platform::OffscreenContextKind::OsMesaBuffer;
}

void report_failure(const platform::OffscreenFailure &failure) {
    std::fputs(failure.message.c_str(), stderr);
    if (!failure.detail.empty()) std::fprintf(stderr, "%s\n", failure.detail.c_str());
    for (const platform::PixelFormatInfo &format : failure.candidates) {
        std::fprintf(stderr, "Pixelformat %d ----------- \n", format.index);
        std::fputs(describe_pixel_format(format).c_str(), stderr);
    }
}

}  // namespace

bool offscreen_target_size_supported(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxTargetSide && height <= kMaxTargetSide;
}

std::string offscreen_target_size_text(int width, int height) {
    return "a target of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than this renderer can draw (at most " + std::to_string(kMaxTargetSide) +
           " pixels a side)";
}

std::string describe_pixel_format(const platform::PixelFormatInfo &f) {
    std::string text;
    char line[128];
    auto add = [&](const char *format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        text += line;
    };
    add("Pixelformat %d", f.index);
    if (f.draw_to_window) text += "   PFD_DRAW_TO_WINDOW\n";
    if (f.draw_to_bitmap) text += "   PFD_DRAW_TO_BITMAP\n";
    if (f.support_gdi) text += "   PFD_SUPPORT_GDI\n";
    if (f.generic_accelerated) text += "   PFD_GENERIC_ACCELERATED\n";
    if (f.support_opengl) text += "   PFD_SUPPORT_OPENGL\n";
    if (f.double_buffer) text += "   PFD_DOUBLEBUFFER\n";
    text += f.rgba ? "   RGBA\n" : "   COLORINDEX\n";
    add("   Color bits %d\n", f.color_bits);
    add("   R %d(%d) G %d(%d) B %d(%d) A %d(%d)\n", f.red_bits, f.red_shift, f.green_bits, f.green_shift, f.blue_bits,
        f.blue_shift, f.alpha_bits, f.alpha_shift);
    add("   Depth bits %d\n", f.depth_bits);
    add("   Stencil bits %d\n", f.stencil_bits);
    add("   Accum bits %d\n", f.accum_bits);
    return text;
}

bool offscreen_target_create(int width, int height, OffscreenKind kind) {
    offscreen_target_destroy();
    // Mesa's software rasteriser starts a thread per core when its first context is made; a
    // processor count asked for holds for it too, unless its own setting says otherwise.
    if (config().processors_given) setenv("LP_NUM_THREADS", std::to_string(std::max(1, config().processors)).c_str(), 0);
    platform::OffscreenFailure failure;
    if (!offscreen_target_size_supported(width, height)) {
        failure.message = "Failed to create DIBSection\n";
        failure.detail = offscreen_target_size_text(width, height);
        report_failure(failure);
        return false;
    }
    std::unique_ptr<platform::OffscreenContext> context =
        platform::create_offscreen_context(context_kind(kind), width, height, kTargetRequest, &failure);
    if (!context) {
        report_failure(failure);
        return false;
    }
    platform::PixelFormatInfo format = context->pixel_format();
    // Antialiasing accumulates in software where the context has no accumulation buffer.
    if (format.accum_bits == 0) format.accum_bits = platform::kSoftwareAccumBits;
    std::fputs("Offscreen renderer\n", stderr);
    std::fputs(describe_pixel_format(format).c_str(), stderr);
    glViewport(0, 0, width, height);
    target() = std::move(context);
    return true;
}

bool offscreen_target_make_current() { return target() && target()->make_current(); }

void offscreen_target_destroy() {
    if (!target()) return;
    target()->release_current();
    target().reset();
}

bool offscreen_target_exists() { return target() != nullptr; }
int offscreen_target_width() { return target() ? target()->width() : 0; }
int offscreen_target_height() { return target() ? target()->height() : 0; }
platform::OffscreenContext *offscreen_target_context() { return target().get(); }

void offscreen_target_swap() {
    if (offscreen_target_make_current()) glFlush();
}

std::unique_ptr<PicImage> offscreen_target_read_picture(const uint8_t *stored_alpha) {
    if (!offscreen_target_make_current()) return nullptr;
    const int width = target()->width(), height = target()->height();
    std::vector<uint8_t> rgba;
    try {
        rgba.resize(size_t(width) * size_t(height) * 4);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPopClientAttrib();
    // The target stands for a 24-bit bitmap, which reads back opaque whatever a context with
    // alpha bitplanes kept there; so both kinds of target give the same pictures.
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    return pic_from_framebuffer(rgba.data(), width, height, stored_alpha);
}

int offscreen_target_save(const std::string &file_name, const uint8_t *stored_alpha) {
    std::unique_ptr<PicImage> picture = offscreen_target_read_picture(stored_alpha);
    if (!picture) return -1;
    return pic_save(file_name, *picture) ? 1 : 0;
}

}  // namespace vellimor
