// The pbuffer context: an EGL pbuffer surface on Mesa's surfaceless platform (no display, no
// device files needed), falling back to the first EGL device.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <vector>

#include "platform/offscreen_context.h"

namespace vellimor::platform {
namespace {

std::string egl_error_text() {
    EGLint code = eglGetError();
    const char *name = "unknown error";
    switch (code) {
    case EGL_SUCCESS: name = "EGL_SUCCESS"; break;
    case EGL_NOT_INITIALIZED: name = "EGL_NOT_INITIALIZED"; break;
    case EGL_BAD_ACCESS: name = "EGL_BAD_ACCESS"; break;
    case EGL_BAD_ALLOC: name = "EGL_BAD_ALLOC"; break;
    case EGL_BAD_ATTRIBUTE: name = "EGL_BAD_ATTRIBUTE"; break;
    case EGL_BAD_CONFIG: name = "EGL_BAD_CONFIG"; break;
    case EGL_BAD_CONTEXT: name = "EGL_BAD_CONTEXT"; break;
    case EGL_BAD_DISPLAY: name = "EGL_BAD_DISPLAY"; break;
    case EGL_BAD_MATCH: name = "EGL_BAD_MATCH"; break;
    case EGL_BAD_PARAMETER: name = "EGL_BAD_PARAMETER"; break;
    case EGL_BAD_SURFACE: name = "EGL_BAD_SURFACE"; break;
    default: break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "EGL error 0x%04X: %s", unsigned(code), name);
    return text;
}

EGLint config_attribute(EGLDisplay display, EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, attribute, &value);
    return value;
}

PixelFormatInfo describe_config(EGLDisplay display, EGLConfig config) {
    PixelFormatInfo f;
    f.index = config_attribute(display, config, EGL_CONFIG_ID);
    EGLint surfaces = config_attribute(display, config, EGL_SURFACE_TYPE);
    f.draw_to_window = surfaces & EGL_WINDOW_BIT;
    f.draw_to_bitmap = surfaces & (EGL_PBUFFER_BIT | EGL_PIXMAP_BIT);
    f.support_opengl = config_attribute(display, config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT;
    f.red_bits = config_attribute(display, config, EGL_RED_SIZE);
    f.green_bits = config_attribute(display, config, EGL_GREEN_SIZE);
    f.blue_bits = config_attribute(display, config, EGL_BLUE_SIZE);
    f.alpha_bits = config_attribute(display, config, EGL_ALPHA_SIZE);
    // Packed into a 32-bit word with blue lowest, as Mesa's visuals are.
    f.blue_shift = 0;
    f.green_shift = f.blue_bits;
    f.red_shift = f.blue_bits + f.green_bits;
    f.alpha_shift = f.alpha_bits ? f.red_shift + f.red_bits : 0;
    f.color_bits = f.red_bits + f.green_bits + f.blue_bits;
    f.depth_bits = config_attribute(display, config, EGL_DEPTH_SIZE);
    f.stencil_bits = config_attribute(display, config, EGL_STENCIL_SIZE);
    return f;
}

// Among the configs that render OpenGL into pbuffers with the asked colour bits, the best one:
// no alpha, single-sampled, the stencil asked for, then the deepest depth buffer up to the
// request.
int config_score(const PixelFormatInfo &f, EGLint samples, const OffscreenRequest &request) {
    if (!f.support_opengl || !f.draw_to_bitmap || f.color_bits != request.color_bits ||
        f.red_bits != request.color_bits / 3)
        return -1;
    int score = 0;
    if (f.alpha_bits == 0) score += 1000;
    if (samples == 0) score += 500;
    if (f.stencil_bits >= request.stencil_bits) score += 200;
    score += f.depth_bits <= request.depth_bits ? f.depth_bits : request.depth_bits - 1;
    return score;
}

EGLDisplay open_display(OffscreenFailure *failure) {
    auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!get_platform_display) {
        failure->detail = "EGL offers no platform displays";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display != EGL_NO_DISPLAY && eglInitialize(display, &major, &minor)) return display;

    auto query_devices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLDeviceEXT device;
    EGLint count = 0;
    if (query_devices && query_devices(1, &device, &count) && count > 0) {
        display = get_platform_display(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, &major, &minor)) return display;
    }
    failure->detail = egl_error_text();
    return EGL_NO_DISPLAY;
}

class EglPbufferContext final : public OffscreenContext {
public:
    EglPbufferContext(int width, int height) : OffscreenContext(OffscreenContextKind::EglPbuffer, width, height) {}
    ~EglPbufferContext() override {
        if (display_ == EGL_NO_DISPLAY) return;
        release_current();
        if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
        if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
        // The display stays initialised: EGL counts no references, and other targets of this
        // process may still use it.
    }

    bool init(const OffscreenRequest &request, OffscreenFailure *failure) {
        display_ = open_display(failure);
        if (display_ == EGL_NO_DISPLAY) {
            failure->message = "Can't set offscreen device context\n";
            return false;
        }
        EGLConfig config;
        if (!choose_config(request, &config, failure)) {
            failure->message = "Failed to find acceptable pixel format\n";
            return false;
        }
        const EGLint size[] = {EGL_WIDTH, width_, EGL_HEIGHT, height_, EGL_NONE};
        surface_ = eglCreatePbufferSurface(display_, config, size);
        if (surface_ == EGL_NO_SURFACE) {
            failure->message = "Failed to create DIBSection\n";
            failure->detail = egl_error_text();
            return false;
        }
        if (!eglBindAPI(EGL_OPENGL_API) ||
            (context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr)) == EGL_NO_CONTEXT ||
            !make_current()) {
            failure->message = "Can't set offscreen render context\n";
            failure->detail = egl_error_text();
            return false;
        }
        if (!glGetString(GL_VERSION)) {
            failure->message = "Can't set offscreen render context\n";
            failure->detail = "OpenGL calls of this program do not reach the EGL context";
            return false;
        }
        // The surface may be bigger than asked; drawing and read-back use the asked size.
        EGLint surface_width = 0, surface_height = 0;
        eglQuerySurface(display_, surface_, EGL_WIDTH, &surface_width);
        eglQuerySurface(display_, surface_, EGL_HEIGHT, &surface_height);
        if (surface_width < width_ || surface_height < height_) {
            failure->message = "Failed to create DIBSection\n";
            failure->detail = "the pbuffer is smaller than asked";
            return false;
        }
        format_ = describe_config(display_, config);
        PixelFormatInfo reported = format_;
        query_current_format(&reported);
        format_.generic_accelerated = reported.generic_accelerated;
        format_.accum_bits = reported.accum_bits;
        native_accumulation_ = reported.accum_bits > 0;
        return true;
    }

    bool make_current() override { return eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE; }
    void release_current() override {
        if (eglGetCurrentContext() == context_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }

private:
    bool choose_config(const OffscreenRequest &request, EGLConfig *chosen, OffscreenFailure *failure) {
        EGLint count = 0;
        if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) {
            failure->detail = egl_error_text();
            return false;
        }
        std::vector<EGLConfig> configs(static_cast<size_t>(count));
        eglGetConfigs(display_, configs.data(), count, &count);
        int best = -1;
        for (EGLConfig config : configs) {
            PixelFormatInfo f = describe_config(display_, config);
            int score = config_score(f, config_attribute(display_, config, EGL_SAMPLES), request);
            if (score > best) {
                best = score;
                *chosen = config;
            }
        }
        if (best >= 0) return true;
        for (EGLConfig config : configs) failure->candidates.push_back(describe_config(display_, config));
        return false;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLSurface surface_ = EGL_NO_SURFACE;
    EGLContext context_ = EGL_NO_CONTEXT;
};

}  // namespace

std::unique_ptr<OffscreenContext> create_egl_pbuffer_context(int width, int height, const OffscreenRequest &request,
                                                             OffscreenFailure *failure) {
    auto context = std::make_unique<EglPbufferContext>(width, height);
    if (!context->init(request, failure)) return nullptr;
    return context;
}

}  // namespace vellimor::platform
