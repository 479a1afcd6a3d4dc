#include "render/scene_draw.h"

#include <GL/gl.h>
#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "host/scene.h"
#include "platform/window_system.h"
#include "render/background.h"
#include "render/draw.h"

namespace vellimor {
namespace {

// The host's display modes of its graphics properties.
enum HostDisplayMode { kHostWireframe = 0, kHostDepthOnly = 1, kHostShaded = 2, kHostMatte = 3 };

constexpr float kOverlayAxisLength[3] = {2.0f, 2.0f, 1.0f};
constexpr float kMarkerWidth = 3.0f;
constexpr float kWindCrossHalfLength = 1.0f;
constexpr int kCircleSegments = 48;
constexpr float kPi = 3.14159265358979f;

SAA_GrProps &properties() { return scene_state().graphics_properties; }

void set_host_mode(int mode) {
    SceneState &s = scene_state();
    SAA_gpropsSetDisplayMode(&properties(), mode);
    SAA_grStateInit(&s.scene, &properties());
}

bool in_modes(int value, std::initializer_list<int> modes) {
    for (int m : modes)
        if (value == m) return true;
    return false;
}

// Draws every surface whose display mode is one of `surface_modes`, and every other object when
// the other objects' display mode is one of them.
void draw_objects(std::initializer_list<int> surface_modes) {
    SceneState &s = scene_state();
    const DisplaySettings *settings = display_settings();
    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p) {
        const PatchData *record = s.patches[size_t(p)].get();
        if (record && in_modes(record->Patch_display_mode, surface_modes))
            SAA_elementDraw(&s.scene, &properties(), &s.models[size_t(p)]);
    }
    const int other_mode = settings ? int(settings->other_display_mode) : int(kDisplayWire);
    if (!in_modes(other_mode, surface_modes)) return;
    for (const SAA_Elem &model : s.other_models) SAA_elementDraw(&s.scene, &properties(), &model);
}

bool is_interactive_view(int frame, int mode) {
    return frame == -1 && !in_modes(mode, {kDrawRenderSelected, kDrawRenderAll, kDrawRenderAlpha, kDrawRender});
}

// The scene's textured surfaces drawn shaded with every other surface's wire type set to 0 for
// the time of the drawing.
void draw_textured_surfaces() {
    SceneState &s = scene_state();
    bool any = false;
    for (const auto &record : s.patches)
        if (record && record->Patch_display_mode == kDisplayTextured) any = true;
    if (!any) return;
    std::vector<int> saved(s.models.size(), 0);
    for (size_t p = 0; p < s.models.size(); ++p) {
        if (s.patches[p] && s.patches[p]->Patch_display_mode == kDisplayTextured) continue;
        SAA_elementGetWireType(&s.scene, &s.models[p], &saved[p]);
        SAA_elementSetWireType(&s.scene, &s.models[p], 0);
    }
    SAA_sceneDraw(&s.scene, &properties());
    for (size_t p = 0; p < s.models.size(); ++p) {
        if (s.patches[p] && s.patches[p]->Patch_display_mode == kDisplayTextured) continue;
        SAA_elementSetWireType(&s.scene, &s.models[p], saved[p]);
    }
}

void viewport_size(int &width, int &height) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = viewport[2];
    height = viewport[3];
}

void cross(const float c[3], const float half[3]) {
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; ++axis) {
        float a[3] = {c[0], c[1], c[2]}, b[3] = {c[0], c[1], c[2]};
        a[axis] -= half[axis];
        b[axis] += half[axis];
        glVertex3fv(a);
        glVertex3fv(b);
    }
    glEnd();
}

void draw_axes() {
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; ++axis) {
        float color[3] = {0, 0, 0}, end[3] = {0, 0, 0};
        color[axis] = 1.0f;
        end[axis] = kOverlayAxisLength[axis];
        glColor3fv(color);
        glVertex3f(0, 0, 0);
        glVertex3fv(end);
    }
    glEnd();
}

void draw_gravity_nulls() {
    for (const GravityNull &null : scene_state().gravity_cache) {
        if (null.scaling[0] > 0.0f) glColor3f(0, 1, 0);
        else glColor3f(1, 0, 0);
        cross(null.position, null.scaling);
    }
}

void draw_wind() {
    const SceneState &s = scene_state();
    const int i = s.current_frame + s.frame_offset;
    if (i < 0 || i >= int(s.wind_offset.size()) || i >= int(s.wind_step.size())) return;
    const auto &offset = s.wind_offset[size_t(i)];
    const auto &step = s.wind_step[size_t(i)];
    const float half[3] = {kWindCrossHalfLength, kWindCrossHalfLength, kWindCrossHalfLength};
    glColor3f(1, 1, 0);
    cross(offset.data(), half);
    glLineWidth(kMarkerWidth);
    glColor3f(1, 0, 1);
    glBegin(GL_LINES);
    glVertex3fv(offset.data());
    glVertex3f(offset[0] + step[0], offset[1] + step[1], offset[2] + step[2]);
    glEnd();
    glLineWidth(1.0f);
}

// A surface point and normal at (u, v) of the KeyMap, in world space; false when the host
// can't evaluate it.
bool surface_point(int p, float u, float v, float point[3], float normal[3]) {
    SceneState &s = scene_state();
    const PatchData &record = *s.patches[size_t(p)];
    if (record.surfacetype == 1) u = 1.0f - u;
    const double pu = double(u) * record.nbPointsU, pv = double(v) * record.nbPointsV;
    double position[4] = {0, 0, 0, 1}, n[3] = {0, 0, 0};
    if (SAA_surfaceEvalPosition(&s.scene, &s.models[size_t(p)], 0, 0, pu, pv, position) != SAA_OK) return false;
    if (SAA_surfaceEvalNormal(&s.scene, &s.models[size_t(p)], 0, 0, pu, pv, n) != SAA_OK) return false;
    float m[4][4];
    if (SAA_modelGetMatrix(&s.scene, &s.models[size_t(p)], 1, m) != SAA_OK) return false;
    const double w = position[3] != 0.0 ? position[3] : 1.0;
    for (int c = 0; c < 3; ++c) {
        point[c] = float(position[0] / w * m[0][c] + position[1] / w * m[1][c] + position[2] / w * m[2][c] + m[3][c]);
        normal[c] = float(n[0] * m[0][c] + n[1] * m[1][c] + n[2] * m[2][c]);
    }
    return true;
}

void label(const float at[3], int number) {
    if (!platform::window_system_ready()) return;  // bitmap fonts need the windowing library
    char text[32];
    std::snprintf(text, sizeof text, " %d", number);
    glRasterPos3fv(at);
    for (const char *c = text; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, *c);
}

}  // namespace

void ensure_graphics_properties() {
    SceneState &s = scene_state();
    if (s.has_graphics_properties) return;
    SAA_gpropsAlloc(&s.graphics_properties);
    SAA_gpropsReset(&s.graphics_properties);
    s.has_graphics_properties = true;
}

void draw_scene(int frame, int mode) {
    ensure_graphics_properties();
    const DisplaySettings *settings = display_settings();
    const bool opengl = !settings || settings->use_opengl != 0;
    glLineWidth(1.0f);
    if (opengl) {
        glEnable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDepthRange(0.0, 1.0);
    }
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);

    set_host_mode(kHostDepthOnly);
    draw_objects({kDisplayZbuffer, kDisplayShade, kDisplayTextured, kDisplayMatte});

    if (settings) {
        int width = 0, height = 0;
        viewport_size(width, height);
        draw_background(*settings, frame, width, height);
    }
    glEnable(GL_DEPTH_TEST);

    if (is_interactive_view(frame, mode)) {
        glDisable(GL_DEPTH_TEST);
        set_host_mode(kHostWireframe);
        draw_objects({kDisplayWire});
        glEnable(GL_DEPTH_TEST);
    }
    set_host_mode(kHostShaded);
    draw_objects({kDisplayShade});
    draw_textured_surfaces();
    set_host_mode(kHostMatte);
    draw_objects({kDisplayMatte});

    if (opengl) glDisable(GL_LIGHTING);
    else glColor3f(1, 0, 0);
}

void draw_overlays() {
    ensure_graphics_properties();
    SceneState &s = scene_state();
    const DisplaySettings *settings = display_settings();
    glDisable(GL_DEPTH_TEST);
    set_host_mode(kHostWireframe);
    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p) {
        const PatchData *record = s.patches[size_t(p)].get();
        if (record && record->is_selected && !record->deleted &&
            in_modes(record->Patch_display_mode, {kDisplayShade, kDisplayTextured}))
            SAA_elementDraw(&s.scene, &properties(), &s.models[size_t(p)]);
    }
    glDisable(GL_LIGHTING);
    draw_axes();
    for (const SAA_Elem &light : s.lights) {
        int valid = 0;
        SAA_elementIsValid(&s.scene, &light, &valid);
        if (valid) SAA_elementDraw(&s.scene, &properties(), &light);
    }
    draw_gravity_nulls();
    if (settings && settings->show_wind_vector) draw_wind();
    glEnable(GL_DEPTH_TEST);
}

void draw_texture_key_marker(int p, const TextureKey &key, int key_number) {
    SceneState &s = scene_state();
    if (p < 0 || p >= s.patch_count() || p >= int(s.patches.size()) || !s.patches[size_t(p)]) return;
    float point[3], normal[3];
    if (!surface_point(p, key.u, key.v, point, normal)) return;
    SAA_grCameraApply(&s.scene, &s.camera);
    glDisable(GL_LIGHTING);
    const float end[3] = {point[0] + normal[0], point[1] + normal[1], point[2] + normal[2]};
    const float bright = key.selected ? 1.0f : 0.5f;
    glLineWidth(kMarkerWidth);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) {
            glDisable(GL_DEPTH_TEST);
            glColor3f(bright, 0, 0);
        } else {
            glEnable(GL_DEPTH_TEST);
            glColor3f(0, bright, 0);
        }
        glBegin(GL_LINES);
        glVertex3fv(point);
        glVertex3fv(end);
        glEnd();
        label(end, key_number);
    }
    glLineWidth(1.0f);
    if (key.key_mode == 1) {
        glBegin(GL_LINE_STRIP);
        for (int k = 0; k <= kCircleSegments; ++k) {
            const float a = 2.0f * kPi * float(k) / float(kCircleSegments);
            const float u = key.u + key.w * std::cos(a), v = key.v + key.w * std::sin(a);
            if (u < 0.0f || u > 1.0f || v < 0.0f || v > 1.0f) continue;
            float q[3], n[3];
            if (surface_point(p, u, v, q, n)) glVertex3fv(q);
        }
        glEnd();
    }
    glFlush();
}

}  // namespace vellimor
