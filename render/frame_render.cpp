#include "render/frame_render.h"

#include <GL/gl.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/accumulation_buffer.h"
#include "platform/key_state.h"
#include "platform/window_system.h"
#include "render/draw.h"
#include "render/draw_fur.h"
#include "render/hair_draw_gl.h"
#include "render/jitter_table.h"
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "render/scene_draw.h"

namespace vellimor {
namespace {

constexpr int kPassesByLevel[kMaxAntialiasLevel + 1] = {0, 2, 3, 4, 8, 15, 24, 66};
constexpr double kPi = 3.14159265358979323846;
constexpr float kRenderLineWidth = 2.0f;
constexpr const char *kWindowProgramName = "Vellimor";

struct AlphaImage {
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
};
AlphaImage &alpha_image() {
    static AlphaImage image;
    return image;
}

// The float sums of the frame being drawn, bottom row first, while float pictures are kept.
struct FloatSums {
    bool keep = false;
    int width = 0, height = 0;
    std::vector<float> colour;  // RGBA of the last antialiased drawing
    std::vector<float> alpha;   // the alpha pass's
};
FloatSums &float_sums() {
    static FloatSums sums;
    return sums;
}

void clear_float_sums() {
    float_sums().colour.clear();
    float_sums().alpha.clear();
}

std::string &output_base_name() {
    static std::string name = "offscreen";
    return name;
}

bool uses_opengl() {
    const DisplaySettings *settings = display_settings();
    return !settings || settings->use_opengl != 0;
}

void viewport(int &x, int &y, int &width, int &height) {
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, v);
    x = v[0];
    y = v[1];
    width = v[2];
    height = v[3];
}

// The camera's projection moved by a fraction of a pixel.
void jittered_projection(float dx, float dy) {
    const SceneState &s = scene_state();
    float aspect = 1.0f, near_plane = 0.1f, far_plane = 100.0f, fov = 45.0f;
    SAA_cameraGetAspectRatio(&s.scene, &s.camera, &aspect);
    SAA_cameraGetNear(&s.scene, &s.camera, &near_plane);
    SAA_cameraGetFar(&s.scene, &s.camera, &far_plane);
    SAA_cameraGetFieldOfView(&s.scene, &s.camera, &fov);
    int x = 0, y = 0, width = 1, height = 1;
    viewport(x, y, width, height);
    const double half_angle = double(fov) * kPi / 180.0 / 2.0;
    const double top = double(near_plane) * std::tan(half_angle);
    const double bottom = -top;
    const double right = top * double(aspect);
    const double left = -right;
    const double shift_x = -(double(dx) * (right - left) / double(std::max(width, 1)));
    const double shift_y = -(double(dy) * (top - bottom) / double(std::max(height, 1)));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(left + shift_x, right + shift_x, bottom + shift_y, top + shift_y, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
}

int antialias_level() {
    const DisplaySettings *settings = display_settings();
    return settings ? settings->antialias_level : 0;
}

int draw_plain_or_antialiased(const PolygonList &list, int mode, bool alpha, int frame) {
    if (antialiases(mode)) return draw_antialiased(list, alpha, antialias_level(), mode, frame);
    return draw_hair_polygons(list, alpha);
}

// Reads the current colour buffer as RGBA bytes, bottom row first.
std::vector<uint8_t> read_colour_buffer(int x, int y, int width, int height) {
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void renew_graphics_properties() {
    SceneState &s = scene_state();
    if (s.has_graphics_properties) SAA_gpropsDispose(&s.graphics_properties);
    s.has_graphics_properties = false;
    SAA_gpropsAlloc(&s.graphics_properties);
    SAA_gpropsReset(&s.graphics_properties);
    SAA_grStateInit(&s.scene, &s.graphics_properties);
    s.has_graphics_properties = true;
}

std::string frame_file_name(const std::string &base, int frame) {
    char name[4096];
    std::snprintf(name, sizeof name, "%s.%d.pic", base.c_str(), frame);
    return name;
}

// Reads the offscreen target back and saves the frame's picture through the writer, else as
// "<base>.<frame>.pic". False when the frame is not saved.
bool save_batch_frame(int frame, const FrameWriter &writer) {
    const std::string name = frame_file_name(output_base_name(), frame);
    if (!writer) status_message(kStatusPlain, "Saving image: %s\n", name.c_str());
    const std::unique_ptr<PicImage> picture = offscreen_target_read_picture(
        stored_alpha_image(offscreen_target_width(), offscreen_target_height()));
    if (!picture) {
        std::fprintf(stderr, "Unable to allocate picture\n");
        return false;
    }
    if (writer) return writer(frame, *picture);
    if (pic_save(name, *picture)) return true;
    status_message(kStatusError, "Can't write %s", name.c_str());
    return false;
}

}  // namespace

RenderSettings &render_settings() {
    static RenderSettings settings;
    return settings;
}

int antialias_passes(int level) {
    if (level < 0 || level > kMaxAntialiasLevel) return 0;
    return kPassesByLevel[level];
}

void antialias_jitter(int level, int pass, float &dx, float &dy) {
    const int passes = antialias_passes(level);
    const auto table = jitter_table(passes);
    const JitterPoint point = table[size_t(pass)];
    const bool swapped = passes == 2 || passes == 4;
    dx = swapped ? point.y : point.x;
    dy = swapped ? point.x : point.y;
}

void prepare_alpha_background() {
    GLint alpha_bits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alpha_bits);
    if (alpha_bits <= 0) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    if (!uses_opengl()) {
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        return;
    }
    int x = 0, y = 0, width = 0, height = 0;
    viewport(x, y, width, height);
    std::vector<uint8_t> rgba = read_colour_buffer(x, y, width, height);
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = rgba[i + 3];
    glPushAttrib(GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRasterPos2i(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    glEnable(GL_DEPTH_TEST);
}

void store_alpha_image() {
    int x = 0, y = 0, width = 0, height = 0;
    viewport(x, y, width, height);
    const std::vector<uint8_t> rgba = read_colour_buffer(x, y, width, height);
    AlphaImage &image = alpha_image();
    image.width = width;
    image.height = height;
    // The alpha pass was antialiased: its float sum is the alpha the float picture takes.
    FloatSums &sums = float_sums();
    if (sums.keep && sums.width == width && sums.height == height && !sums.colour.empty()) {
        sums.alpha.resize(size_t(width) * size_t(height));
        for (size_t i = 0; i < sums.alpha.size(); ++i) sums.alpha[i] = sums.colour[i * 4];
        sums.colour.clear();
    }
    image.pixels.assign(size_t(width) * size_t(height), 0);
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            image.pixels[size_t(height - 1 - row) * size_t(width) + size_t(col)] =
                rgba[(size_t(row) * size_t(width) + size_t(col)) * 4];
}

void free_alpha_image() {
    AlphaImage &image = alpha_image();
    image.pixels.clear();
    image.pixels.shrink_to_fit();
    image.width = image.height = 0;
}

const uint8_t *stored_alpha_image(int width, int height) {
    const AlphaImage &image = alpha_image();
    // An image of another size can't stand for this picture's alpha.
    if (image.pixels.empty() || image.width != width || image.height != height) return nullptr;
    return image.pixels.data();
}

bool antialiases(int mode) {
    return antialias_level() >= 1 &&
           (mode == kDrawRenderSelected || mode == kDrawRenderAll || mode == kDrawRender);
}

int draw_polygons_with_alpha(const PolygonList &list, int mode, bool alpha, int frame) {
    if (!alpha) {
        progress_stage(2, int(list.size()));
        return draw_plain_or_antialiased(list, mode, false, frame);
    }
    status_line("Drawing alpha graphics");
    int result = draw_plain_or_antialiased(list, mode, true, frame);
    store_alpha_image();
    draw_scene(frame, mode);
    progress_stage(3, int(list.size()));
    result = draw_plain_or_antialiased(list, mode, false, frame);
    return result;
}

int draw_antialiased(const PolygonList &list, bool alpha, int level, int mode, int frame) {
    if (level < 0 || level > kMaxAntialiasLevel) {
        status_message(kStatusWarning, "Wrong number off antialiazing level: %d", level);
        return 0;
    }
    const int passes = antialias_passes(level);
    if (passes == 0) return draw_hair_polygons(list, alpha);
    const bool opengl = uses_opengl();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    std::unique_ptr<platform::AccumulationBuffer> accumulation;
    FloatSums &sums = float_sums();
    if (opengl) accumulation = std::make_unique<platform::AccumulationBuffer>(false, sums.keep);
    const float weight = 1.0f / float(passes);
    int done = 0;
    int result = 1;
    for (int p = 0; p < passes; ++p) {
        status_message(kStatusPlain, "Drawing antialiazing pass: %d of %d", p + 1, passes);
        float dx = 0.0f, dy = 0.0f;
        antialias_jitter(level, p, dx, dy);
        jittered_projection(dx, dy);
        draw_scene(frame, mode);
        if (opengl) {
            glDisable(GL_LIGHTING);
            if (!draw_hair_polygons(list, alpha)) {
                result = 0;
                break;
            }
            if (p == 0) accumulation->load(weight);
            else accumulation->accumulate(weight);
            glFlush();
        }
        ++done;
        if (platform::key_is_down(platform::Key::LeftAlt)) {
            status_message(kStatusPlain, "Antialiazing stopped after %d passes", done);
            break;
        }
    }
    if (opengl && result && done > 0) {
        accumulation->return_scaled(float(passes) / float(done));
        glFlush();
        if (sums.keep) {
            int x = 0, y = 0;
            viewport(x, y, sums.width, sums.height);
            sums.colour = accumulation->returned();
        }
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return result;
}

void save_frame_image(int x0, int x1, int y0, int y1, int frame) {
    const int width = x1 - x0, height = y1 - y0;
    status_message(kStatusPlain, "Saving image: %d,%d!\n", width, height);
    if (width <= 0 || height <= 0) return;
    std::vector<uint8_t> rgba = read_colour_buffer(0, 0, width, height);
    const uint8_t *alpha = stored_alpha_image(width, height);
    // Without an alpha pass the picture is opaque, as a batch render's is: the window's alpha
    // bitplanes only hold what the drawing left there.
    if (!alpha)
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    std::unique_ptr<PicImage> picture = pic_from_framebuffer(rgba.data(), width, height, alpha);
    if (!picture) {
        std::fprintf(stderr, "Unable to allocate picture\n");
        return;
    }
    picture->ratio = 1.0f;
    picture->fields = 3;
    const std::string name = frame_file_name(render_settings().output_name, frame);
    if (!pic_save(name, *picture)) status_message(kStatusError, "Can't write %s", name.c_str());
}

void keep_float_pictures(bool keep) {
    float_sums().keep = keep;
    clear_float_sums();
}

FloatPicture frame_float_picture(const PicImage &picture) {
    const FloatSums &sums = float_sums();
    const size_t width = size_t(picture.width), height = size_t(picture.height), pixels = width * height;
    const bool summed = sums.width == int(width) && sums.height == int(height);
    const bool colour_sum = summed && sums.colour.size() == pixels * 4;
    const bool alpha_sum = summed && sums.alpha.size() == pixels;
    FloatPicture out{int(width), int(height), std::vector<float>(pixels * 4, 1.0f)};
    const auto byte = [&](int channel, size_t i) {
        const std::vector<uint8_t> &plane = picture.planes[size_t(channel)];
        return plane.empty() ? (channel == kPicAlpha ? 1.0f : 0.0f) : float(plane[i]) / 255.0f;
    };
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const size_t top = y * width + x, bottom = (height - 1 - y) * width + x;  // the sums are bottom first
            for (int c = 0; c < 3; ++c)
                out.rgba[top * 4 + size_t(c)] = colour_sum ? sums.colour[bottom * 4 + size_t(c)] : byte(c, top);
            out.rgba[top * 4 + 3] = alpha_sum ? sums.alpha[bottom] : byte(kPicAlpha, top);
        }
    }
    return out;
}

int render_frames_batch(int start, int end, int step, int mode, const char *base_name,
                        const FrameWriter &writer) {
    SceneState &s = scene_state();
    int failed = 0;
    if (step < 1) step = 1;
    output_base_name() = base_name ? base_name : "offscreen";
    offscreen_target_make_current();
    renew_graphics_properties();
    double seconds = 0.0;
    SAA_frame2Seconds(&s.scene, s.current_frame, &seconds);
    SAA_updatelistEvalScene(&s.scene, seconds);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    SAA_grCameraApply(&s.scene, &s.camera);
    graphics_view().state = ViewState::kRendering;

    for (int frame = start; frame <= end; frame += step) {
        const auto started = std::chrono::steady_clock::now();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        clear_float_sums();
        const int errors = status_error_count();
        draw_fur(mode, frame, true, false);
        if (status_error_count() > errors) {
            // Memory ran out for some hairs (or a rebuild failed): the picture lacks them, and a
            // picture that looks done but is not must not stand in for the frame.
            status_message(kStatusError, "Frame %d lost hairs (see the ERROR lines above): not saved", frame);
            ++failed;
        } else if (mode != kDrawExport && !save_batch_frame(frame, writer)) {
            ++failed;
        }
        status_message(kStatusPlain, "Last Frame Time: %10.2f sec", seconds_since(started));
        if (frame > end - step) break;  // the next step would overflow past the end
        if (platform::interrupt_seen()) break;  // Ctrl-C ends the run after this frame
    }
    return failed;
}

void render_frames_interactive() {
    SceneState &s = scene_state();
    if (s.patch_count() == 0 && s.other_models.empty()) return;
    RenderSettings &settings = render_settings();
    GraphicsView &view = graphics_view();
    const bool save_plugin = settings.call_save_plugin && config().save_plugin;
    const int step = std::max(1, settings.step);
    s.current_frame = settings.start;

    int window = 0;
    if (!save_plugin) {
        if (!platform::window_system_require(kWindowProgramName)) return;
        const bool single = settings.render_alpha || settings.single_buffer;
        glutInitDisplayMode(GLUT_RGBA | GLUT_ALPHA | GLUT_DEPTH | (single ? GLUT_SINGLE : GLUT_DOUBLE));
        const int left = std::max(0, glutGet(GLUT_SCREEN_WIDTH) / 2 - settings.width / 2);
        const int top = std::max(0, glutGet(GLUT_SCREEN_HEIGHT) / 2 - settings.height / 2);
        glutInitWindowPosition(left, top);
        glutInitWindowSize(settings.width, settings.height);
        window = glutCreateWindow("Rendering");
        glutDisplayFunc([] {});
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDrawBuffer(single ? GL_FRONT : GL_BACK);
        glReadBuffer(single ? GL_FRONT : GL_BACK);
        glEnable(GL_DEPTH_TEST);
        glViewport(0, 0, settings.width, settings.height);
        glLineWidth(kRenderLineWidth);
        glMatrixMode(GL_MODELVIEW);
    }
    // Without the designer the rendering window is the view that "Draw fur" draws in.
    const GraphicsView saved_view = view;
    if (window && !view.window) view.window = window;
    view.single_buffered = settings.render_alpha || settings.single_buffer;
    view.state = ViewState::kRendering;

    char title[256];
    std::snprintf(title, sizeof title, "Rendering frame %d (%d -> %d by %d)", settings.start,
                  settings.start, settings.end, step);
    for (int frame = settings.start;
         frame <= settings.end && !platform::key_is_down(platform::Key::Escape);) {
        const auto started = std::chrono::steady_clock::now();
        if (save_plugin) {
            draw_fur(kDrawExport, frame, true, true);
            status_line(title);
        } else {
            glutSetWindow(window);
            glutSetWindowTitle(title);
            const int mode = settings.preview_render ? kDrawPreviewAll
                             : settings.render_alpha ? kDrawRenderAlpha
                                                     : kDrawRender;
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            draw_fur(mode, frame, true, true);
            glutSetWindow(window);
            const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
            save_frame_image(0, width, 0, height, frame);
            if (!view.single_buffered) glutSwapBuffers();
            if (settings.render_alpha) free_alpha_image();
            glutHandleEvents();
        }
        const double seconds = seconds_since(started);
        const int next = frame + step;
        char text[64];
        std::snprintf(text, sizeof text, "Total Rendering Time: %10.2f sec", seconds);
        status_line(text);
        std::snprintf(title, sizeof title, "Rendering frame %d (%d -> %d by %d): %.2f sec", next,
                      settings.start, settings.end, step, seconds);
        if (frame > settings.end - step) break;
        frame = next;
    }
    if (window) glutDestroyWindow(window);
    view = saved_view;
    view.state = ViewState::kRendering;
    if (view.main_window) glutSetWindow(view.main_window);
}

}  // namespace vellimor
