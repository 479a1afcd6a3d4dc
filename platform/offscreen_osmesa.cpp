// The memory-buffer context: OSMesa renders into a buffer this process owns.
#include <GL/osmesa.h>

#include <new>
#include <vector>

#include "platform/offscreen_context.h"

namespace vellimor::platform {
namespace {

// Mesa draws 3-byte RGB buffers wrongly, so the buffer holds RGBA; the target still reads back
// as a 24-bit one (see render/offscreen_target).
constexpr int kBytesPerPixel = 4;
constexpr int kAccumChannelBits = 16;

class OsMesaContext final : public OffscreenContext {
public:
    OsMesaContext(int width, int height) : OffscreenContext(OffscreenContextKind::OsMesaBuffer, width, height) {}
    ~OsMesaContext() override {
        if (!context_) return;
        if (OSMesaGetCurrentContext() == context_) OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        OSMesaDestroyContext(context_);
    }

    bool init(const OffscreenRequest &request, OffscreenFailure *failure) {
        try {
            pixels_.assign(size_t(width_) * size_t(height_) * kBytesPerPixel, 0);
        } catch (const std::bad_alloc &) {
            failure->message = "Failed to create DIBSection\n";
            failure->detail = "not enough memory for the image buffer";
            return false;
        }
        context_ = OSMesaCreateContextExt(OSMESA_RGBA, request.depth_bits, request.stencil_bits, kAccumChannelBits,
                                          nullptr);
        if (!context_) {
            failure->message = "Can't set offscreen render context\n";
            failure->detail = "OSMesa could not create a context";
            return false;
        }
        if (!make_current()) {
            failure->message = "Can't set offscreen render context\n";
            failure->detail = "OSMesa could not make the context current";
            return false;
        }
        // OpenGL calls reach this context only when the process resolved them to OSMesa's
        // library; otherwise even glGetString answers nothing.
        if (!glGetString(GL_VERSION)) {
            failure->message = "Can't set offscreen render context\n";
            failure->detail = "OpenGL calls of this program do not reach OSMesa (libOSMesa must be linked before libGL)";
            return false;
        }
        format_.index = 1;
        format_.draw_to_bitmap = true;
        format_.red_shift = 0;
        format_.green_shift = 8;
        format_.blue_shift = 16;
        format_.alpha_shift = 24;
        query_current_format(&format_);
        native_accumulation_ = true;
        return true;
    }

    bool make_current() override {
        return OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, width_, height_) == GL_TRUE;
    }
    void release_current() override {
        if (OSMesaGetCurrentContext() == context_) OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    }

private:
    std::vector<unsigned char> pixels_;
    OSMesaContext context_ = nullptr;
};

}  // namespace

std::unique_ptr<OffscreenContext> create_osmesa_context(int width, int height, const OffscreenRequest &request,
                                                        OffscreenFailure *failure) {
    auto context = std::make_unique<OsMesaContext>(width, height);
    if (!context->init(request, failure)) return nullptr;
    return context;
}

}  // namespace vellimor::platform
