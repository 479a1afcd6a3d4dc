#include "render/draw_fur.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "platform/window_system.h"
#include "render/draw.h"
#include "render/scene_draw.h"

namespace vellimor {
namespace {

constexpr int kCurrentFrame = -1;
constexpr int kStatusTextSize = 256;

struct Camera {
    float eye[3] = {};
    float view[3] = {};
};
Camera &last_camera() {
    static Camera c;
    return c;
}

bool batch_running() { return run_state().batch != 0; }

bool is_render_mode(int mode) {
    return mode == kDrawRenderSelected || mode == kDrawRenderAll || mode == kDrawRenderAlpha ||
           mode == kDrawRender || mode == kDrawExport;
}

bool rebuilds_all_surfaces(int mode) {
    return mode == kDrawPreviewAll || mode == kDrawRenderAll || mode == kDrawRenderAlpha ||
           mode == kDrawRender || mode == kDrawSaveHairMesh || mode == kDrawExport;
}

bool needs_rebuild(const PatchData &r, int mode, int frame) {
    const bool render = is_render_mode(mode);
    const bool stale = r.presistant_rebuild && r.last_built_frame != frame;
    if (rebuilds_all_surfaces(mode)) return stale || (render && r.built_as_preview);
    const bool involved = r.is_selected || r.allways_draw_hairs || r.casts_shadow;
    return (involved && stale) || (render && r.built_as_preview && r.is_selected);
}

// Rebuilds the hairs the frame needs, then the shadow model when anything was rebuilt.
void rebuild_hairs(int mode) {
    SceneState &s = scene_state();
    bool any = false;
    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p) {
        PatchData *r = s.patches[size_t(p)].get();
        if (!r || r->deleted || !needs_rebuild(*r, mode, s.current_frame)) continue;
        grow_fur(p, -1, is_render_mode(mode) ? 0 : 1);
        r->last_built_frame = s.current_frame;
        any = true;
    }
    if (!any) return;
    quant_patches();
    if (batch_running()) std::fprintf(stderr, "Draw fur\n");
}

void apply_camera() {
    SceneState &s = scene_state();
    Camera &c = last_camera();
    float interest[3] = {};
    SAA_cameraGetPosition(&s.scene, &s.camera, c.eye);
    SAA_cameraGetInterest(&s.scene, &s.camera, interest);
    for (int k = 0; k < 3; ++k) c.view[k] = c.eye[k] - interest[k];
    SAA_grCameraApply(&s.scene, &s.camera);
}

bool hairs_wanted(int mode, bool draw_hairs, const DisplaySettings &settings) {
    if (mode == kDrawSceneOnly) return false;
    const bool full = mode == kDrawRenderSelected || mode == kDrawRenderAll || mode == kDrawRenderAlpha ||
                      mode == kDrawRender || mode == kDrawSaveHairMesh;
    if (settings.preview_fraction == 0.0f && !full) return false;
    const GraphicsView &view = graphics_view();
    const bool view_ready = (view.state == ViewState::kIdle || view.state == ViewState::kRendering) &&
                            view.hairs_drawing_allowed;
    if (!view_ready && !settings.redraw_always) return false;
    return draw_hairs || settings.redraw_always;
}

// The buffering a drawing wants in the designer's window.
void choose_buffering(int mode, bool alpha) {
    GraphicsView &view = graphics_view();
    const bool render = mode == kDrawRenderSelected || mode == kDrawRenderAll || mode == kDrawRender;
    const bool single = alpha || (render && view.single_buffer_toggle);
    if (single == view.single_buffered) return;
    glDrawBuffer(single ? GL_FRONT : GL_BACK);
    glReadBuffer(single ? GL_FRONT : GL_BACK);
    view.single_buffered = single;
}

void report_gl_errors(const DisplaySettings &settings) {
    if (settings.debug_level <= 2) return;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        const char *text = reinterpret_cast<const char *>(gluErrorString(error));
        std::fprintf(stderr, "Error: %s\n", text ? text : "unknown");
        status_message(kStatusDebug, "Error: %s\n", text ? text : "unknown");
    }
}

void clear_to_black() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glFlush();
}

}  // namespace

GraphicsView &graphics_view() {
    static GraphicsView view;
    return view;
}

const float *last_eye_position() { return last_camera().eye; }
const float *last_view_vector() { return last_camera().view; }

void drawing_status_text(int hairs, double seconds, char *text, int size) {
    const DisplaySettings *settings = display_settings();
    char first[kStatusTextSize];
    if (hairs < 1) {
        const RunState &run = run_state();
        std::snprintf(first, sizeof first, "%s, Build %d", run.program_title.c_str(), run.build_number);
    } else {
        std::snprintf(first, sizeof first, "DONE: Time: %10.2fs for %d #hairs", seconds, hairs);
    }
    const bool opengl = !settings || settings->use_opengl;
    std::snprintf(text, size_t(size), opengl ? "%s. Using OpenGL" : "%s. Using IrisGL", first);
}

int draw_fur(int mode, int frame, bool draw_hairs, bool show_status) {
    SceneState &s = scene_state();
    GraphicsView &view = graphics_view();
    const bool batch = batch_running();
    if (s.patch_count() == 0) {
        if (!batch && view.window) glutSetWindow(view.window);
        clear_to_black();
        return 0;
    }
    if (!display_settings()) display_settings_create();
    const DisplaySettings &settings = *display_settings();
    const bool alpha = mode == kDrawRenderAlpha;
    const auto started = std::chrono::steady_clock::now();
    if (!batch) {
        if (!view.window) return 0;
        if (frame == kCurrentFrame || mode == kDrawExport) glutSetWindow(view.window);
        choose_buffering(mode, alpha);
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (frame != kCurrentFrame) s.current_frame = frame;
    double seconds = 0.0;
    SAA_frame2Seconds(&s.scene, s.current_frame, &seconds);
    if (view.state == ViewState::kRendering) SAA_updatelistEvalScene(&s.scene, seconds);
    apply_camera();
    draw_scene(frame, mode);
    rebuild_hairs(mode);
    if (!batch && platform::key_is_down(platform::Key::Shift)) draw_shadow_triangles();
    if (mode == kDrawPreviewSelected || mode == kDrawPreviewAll || mode == kDrawSceneOnly) draw_overlays();

    int hairs = 0;
    if (hairs_wanted(mode, draw_hairs, settings)) hairs = drawing_driver(mode, frame);

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    if (draw_hairs) glFlush();
    if (frame == kCurrentFrame && !batch && view.main_window) glutSetWindow(view.main_window);

    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char text[kStatusTextSize * 2];
    drawing_status_text(hairs, elapsed, text, sizeof text);
    if (show_status) status_line(text);
    report_gl_errors(settings);
    return hairs;
}

void texture_key_marker(int p, const TextureKey &key, int key_number, bool draw_first) {
    if (draw_first) draw_fur(kDrawPreviewSelected, kCurrentFrame, true, false);
    GraphicsView &view = graphics_view();
    if (!run_state().batch && view.window) glutSetWindow(view.window);
    draw_texture_key_marker(p, key, key_number);
}

}  // namespace vellimor
