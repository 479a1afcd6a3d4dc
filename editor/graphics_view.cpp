// The graphics view: the scene with previewed fur in the top of the main window, the camera
// gestures that navigate it, and the redraws the other controls ask for.
//
// Drawing the fur takes long, while the main window is drawn whole whenever any control changes.
// The view therefore keeps the pixels of its last drawing and only draws the scene again when a
// redraw was asked for; every other drawing of the window copies the kept pixels back.
#include <GL/gl.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/graphics_view.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/draw.h"
#include "render/draw_fur.h"

namespace vellimor {
namespace {

constexpr float kWideAspect = 1.6666f;

struct ViewPixels {
    std::vector<unsigned char> rgba;
    int x = 0, y = 0, w = 0, h = 0;  // window pixels the kept image covers
    bool valid = false;
    int requested_mode = -1;  // draw mode of the next drawing; -1: copy the kept pixels
    bool draw_hairs = true;
    bool show_status = true;
    bool drawing = false;
    bool window_changed = false;
};

ViewPixels &pixels() {
    static ViewPixels p;
    return p;
}

bool redraw_auto() {
    const DisplaySettings *s = display_settings();
    return !s || s->redraw_auto;
}

int normal_mode() { return redraw_auto() ? kDrawPreviewSelected : kDrawSceneOnly; }

// The window pixels of the view's rectangle (the form is drawn at one pixel per unit after the
// toolkit rescaled it to its window).
void view_rect(const FmObject *obj, int &x, int &y, int &w, int &h) {
    x = int(obj->x + 0.5f);
    y = int(obj->y + 0.5f);
    w = std::max(1, int(obj->w + 0.5f));
    h = std::max(1, int(obj->h + 0.5f));
}

void prepare_context() {
    EditorState &e = editor_state();
    if (e.graphics_initialised) return;
    status_line("Initalizing graphics subwindow");
    e.graphics_initialised = true;
}

void set_gl_state() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    // The scene's objects are drawn twice at the same depth (a depth pass, then shaded).
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

void draw_scene_into(const FmObject *obj, int mode) {
    ViewPixels &p = pixels();
    int x, y, w, h;
    view_rect(obj, x, y, w, h);
    const PictureViewport pv = picture_viewport(x, y, w, h, scene_state().aspect_ratio);

    GraphicsView &view = graphics_view();
    view.window = obj->form ? obj->form->window : 0;
    view.main_window = view.window;
    view.single_buffer_toggle = editor_state().double_buffer == 0;
    view.single_buffered = false;
    prepare_context();
    set_gl_state();

    // Around the picture the view is black; the scene is drawn inside the picture only.
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glScissor(pv.x, pv.y, pv.w, pv.h);
    glViewport(pv.x, pv.y, pv.w, pv.h);
    p.drawing = true;
    draw_fur(mode, -1, p.draw_hairs, p.show_status);
    p.drawing = false;
    glDisable(GL_SCISSOR_TEST);
    // Keep the result for the window's later drawings: read from where it was drawn.
    GLint drawn_to = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawn_to);
    glReadBuffer(GLenum(drawn_to));
    p.rgba.resize(size_t(w) * size_t(h) * 4);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
    p.x = x;
    p.y = y;
    p.w = w;
    p.h = h;
    p.valid = true;
    // Messages written while the scene was drawn came in the middle of the window's drawing;
    // the window shows them at its next drawing.
    p.window_changed = true;
    if (view.single_buffered) glDrawBuffer(GL_BACK);
}

void copy_kept_pixels(FmObject *obj) {
    const ViewPixels &p = pixels();
    glViewport(0, 0, obj->form->window_w, obj->form->window_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, obj->form->window_w, 0, obj->form->window_h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glRasterPos2i(p.x, p.y);
    glDrawPixels(p.w, p.h, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
}

void draw_view(FmObject *obj) {
    ViewPixels &p = pixels();
    int x, y, w, h;
    view_rect(obj, x, y, w, h);
    const bool same_place = p.valid && p.x == x && p.y == y && p.w == w && p.h == h;
    if (p.drawing) {
        // A control redrawn while the scene is drawn (the progress bar): the view stays as it is.
        if (same_place) copy_kept_pixels(obj);
        return;
    }
    if (p.requested_mode < 0 && same_place) {
        copy_kept_pixels(obj);
        return;
    }
    const int mode = p.requested_mode < 0 ? normal_mode() : p.requested_mode;
    p.requested_mode = -1;
    draw_scene_into(obj, mode);
    p.draw_hairs = true;
    p.show_status = true;
}

void request(int mode, bool draw_hairs, bool show_status) {
    ViewPixels &p = pixels();
    p.requested_mode = mode;
    p.draw_hairs = draw_hairs;
    p.show_status = show_status;
    FmObject *graphics = designer_windows().main.graphics;
    if (graphics) fm_redraw_object(graphics);
}

// Camera gestures -------------------------------------------------------------------------

// The gesture of a press: the last line of the table that matches the held keys wins.
int gesture_for(int button) {
    struct Line {
        int key;
        int modes[3];  // left, middle, right
    };
    static constexpr Line kLines[] = {
        {'P', {kCameraDollySlow, kCameraDolly, kCameraDollyFast}},
        {'Z', {kCameraPan, kCameraZoomIn, kCameraZoomOut}},
        {'O', {kCameraOrbit, kCameraOrbitVertical, kCameraOrbitHorizontal}},
    };
    int mode = kCameraIdle;
    if (button < 1 || button > 3) return mode;
    for (const Line &line : kLines)
        if (getbutton(line.key)) mode = line.modes[button - 1];
    return mode;
}

void apply_gesture(int mode, float dx, float dy) {
    SceneState &s = scene_state();
    switch (mode) {
    case kCameraOrbit: SAA_cameraOrbit(&s.scene, &s.camera, dx / 200.0f, dy / 200.0f); break;
    case kCameraOrbitVertical: SAA_cameraOrbit(&s.scene, &s.camera, 0.0f, dy / 200.0f); break;
    case kCameraOrbitHorizontal: SAA_cameraOrbit(&s.scene, &s.camera, dx / 200.0f, 0.0f); break;
    case kCameraPan:
        SAA_cameraPan(&s.scene, &s.camera, dx / 800.0f, dy / 800.0f, dx / 800.0f, dy / 800.0f);
        break;
    case kCameraDollySlow: SAA_cameraDolly(&s.scene, &s.camera, dy / 200.0f); break;
    case kCameraDolly: SAA_cameraDolly(&s.scene, &s.camera, dy / 100.0f); break;
    case kCameraDollyFast: SAA_cameraDolly(&s.scene, &s.camera, dy / 10.0f); break;
    case kCameraZoomIn: SAA_cameraZoom(&s.scene, &s.camera, 1.0f); break;
    case kCameraZoomOut: SAA_cameraZoom(&s.scene, &s.camera, -1.0f); break;
    default: break;
    }
}

bool is_gesture(int mode) { return mode != kCameraIdle && mode != kCameraFrameChanged; }

void set_drag_state(bool dragging) {
    GraphicsView &view = graphics_view();
    view.state = dragging ? ViewState::kCameraDrag : ViewState::kIdle;
    view.hairs_drawing_allowed = !dragging;
}

void fit(bool whole_scene) {
    SceneState &s = scene_state();
    if (whole_scene) {
        SAA_cameraFitScene(&s.scene, &s.camera, 0);
    } else {
        int first = -1;
        if (count_selected(1, 0, &first, 1) < 1 || first < 0 || first >= s.patch_count()) return;
        SAA_cameraFitElement(&s.scene, &s.camera, &s.models[size_t(first)]);
    }
    redraw_graphics_view();
}

}  // namespace

PictureViewport picture_viewport(int x, int y, int w, int h, float aspect) {
    PictureViewport v{x, y, w, h};
    if (aspect <= 0.0f) return v;
    if (aspect <= kWideAspect) {
        v.w = std::min(w, int(aspect * float(h)));
    } else {
        v.h = std::min(h, int(float(w) / aspect));
    }
    v.x = x + (w - v.w) / 2;
    v.y = y + (h - v.h) / 2;
    return v;
}

void graphics_view_draw_now(const FmObject *area, int mode) { draw_scene_into(area, mode); }

bool graphics_view_pixels_valid() { return pixels().valid; }
void graphics_view_forget_pixels() { pixels() = ViewPixels{}; }
bool graphics_view_drawing() { return pixels().drawing; }

bool graphics_view_take_window_changes() { return std::exchange(pixels().window_changed, false); }

int graphics_view_handle(FmObject *obj, int event, float mx, float my, int key) {
    EditorState &e = editor_state();
    switch (event) {
    case FM_DRAW:
        draw_view(obj);
        return 0;
    case FM_PUSH: {
        e.camera_mode = gesture_for(key);
        e.last_mouse_x = mx;
        e.last_mouse_y = my;
        if (is_gesture(e.camera_mode)) set_drag_state(true);
        return 0;
    }
    case FM_MOUSE: {
        if (!is_gesture(e.camera_mode)) return 0;
        apply_gesture(e.camera_mode, mx - e.last_mouse_x, my - e.last_mouse_y);
        e.last_mouse_x = mx;
        e.last_mouse_y = my;
        request(normal_mode(), true, false);
        return 0;
    }
    case FM_RELEASE: {
        const bool was_gesture = is_gesture(e.camera_mode);
        e.camera_mode = kCameraIdle;
        set_drag_state(false);
        if (!was_gesture && !redraw_auto())
            request(kDrawPreviewSelected, true, true);
        else
            request(normal_mode(), true, true);
        return 0;
    }
    case FM_KEYBOARD:
        if (key == 'a' || key == 'A') fit(true);
        if (key == 'f' || key == 'F') fit(false);
        return 0;
    default:
        return 0;
    }
}

int grey_area_handle(FmObject *obj, int event, float, float, int) {
    if (event == FM_DRAW) fm_rectf(obj->x, obj->y, obj->w, obj->h, FM_BOTTOM_BCOL);
    return 0;
}

void redraw_graphics_view() { request(normal_mode(), true, true); }

void draw_graphics_view(int mode) {
    request(mode, true, true);
    graphics_view_flush();
}

void redraw_keymap() {
    if (FmObject *area = designer_windows().main.keymap_area) fm_redraw_object(area);
}

void redraw_color_area() {
    if (FmObject *area = designer_windows().main.color_area) fm_redraw_object(area);
}

void redraw_views() {
    redraw_graphics_view();
    redraw_keymap();
    redraw_color_area();
    if (redraw_curve_area_hook()) redraw_curve_area_hook()();
}

RedrawHook &redraw_curve_area_hook() {
    static RedrawHook hook = nullptr;
    return hook;
}

void graphics_view_flush() { fm_flush_redraws(); }

}  // namespace vellimor
