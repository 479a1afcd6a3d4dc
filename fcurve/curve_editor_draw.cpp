// Drawing of the curve area: the framed range with its frame lines and labels, and every
// displayed curve with its keys and handles, in pixels of the area.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "fcurve/curve_editor.h"
#include "forms/forms.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr float kBackgroundGrey = 0x77 / 255.0f;
constexpr float kRangeGrey = 0xaa / 255.0f;
constexpr float kFrameLineGrey = 0x99 / 255.0f;
constexpr float kShadowGrey = 0x33 / 255.0f;
constexpr float kFarAway = 9999.0f;
constexpr float kKeyHalf = 2.0f;  // keys and handle ends are squares of +-2 pixels
constexpr float kLabelGap = 4.0f;
void *const kLabelFont = GLUT_BITMAP_HELVETICA_10;
constexpr float kLabelHeight = 10.0f;

// Colours of the keys by point type (red, green, blue bytes).
constexpr unsigned char kTypeColors[4][3] = {{34, 34, 187}, {34, 187, 34}, {187, 34, 34}, {187, 34, 187}};

struct Pixels {
    const CurveView &v;
    float x(float data) const { return view_pixel_x(v, data); }
    float y(float data) const { return view_pixel_y(v, data); }
};

float text_width(const std::string &text) {
    float w = 0;
    for (unsigned char c : text) w += static_cast<float>(glutBitmapWidth(kLabelFont, c));
    return w;
}

void label(float x, float y, const std::string &text) {
    glRasterPos2f(x, y);
    for (unsigned char c : text) glutBitmapCharacter(kLabelFont, c);
}

void square(float x, float y) {
    glRectf(x - kKeyHalf, y - kKeyHalf, x + kKeyHalf + 1, y + kKeyHalf + 1);
}

void vertical(float x, float y0, float y1) {
    glBegin(GL_LINES);
    glVertex2f(x, y0);
    glVertex2f(x, y1);
    glEnd();
}

// Decimals of a y label: fewer for larger values.
std::string value_label(float y) {
    const float a = std::fabs(y);
    const int decimals = a > 10 ? 0 : a > 1 ? 1 : a > 0.1f ? 2 : 3;
    char format[16], text[64];
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    std::snprintf(text, sizeof text, format, static_cast<double>(y));
    return text;
}

void draw_range(const Pixels &p, const FrameSpan &frames) {
    const CurveView &v = p.v;
    const float left = p.x(v.a), right = p.x(v.b), bottom = p.y(v.c), top = p.y(v.d);
    glColor3f(kRangeGrey, kRangeGrey, kRangeGrey);
    glRectf(left, bottom, right, top);

    glColor3f(0, 0, 0);
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(v.a));
    label(left, bottom - kLabelHeight - kLabelGap, text);
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(v.b));
    label(right - text_width(text), bottom - kLabelHeight - kLabelGap, text);
    const std::string low = value_label(v.c), high = value_label(v.d);
    label(left - text_width(low) - kLabelGap, bottom, low);
    label(left - text_width(high) - kLabelGap, top - kLabelHeight, high);

    if (v.c < 0 && v.d > 0) {
        glBegin(GL_LINES);
        glVertex2f(left, p.y(0));
        glVertex2f(right, p.y(0));
        glEnd();
    }

    glLineWidth(1);
    glColor3f(kFrameLineGrey, kFrameLineGrey, kFrameLineGrey);
    for (int f = frames.first; f < frames.last; ++f) {
        const float x = p.x(static_cast<float>(f));
        if (x >= left && x <= right) vertical(x, bottom, top);
    }
    glColor3f(1, 0, 0);
    vertical(p.x(static_cast<float>(frames.first) + 0.001f), bottom, top);
    glColor3f(0, 1, 0);
    vertical(p.x(static_cast<float>(frames.last) - 0.001f), bottom, top);
    glLineWidth(2);
    glColor3f(0, 0, 0);
    const float current = p.x(static_cast<float>(frames.current));
    vertical(current, bottom, top);
    std::snprintf(text, sizeof text, "%d", frames.current);
    label(current - text_width(text) / 2, top + kLabelGap, text);
    glLineWidth(1);

    // A white border with a dark shadow below and to the right.
    glColor3f(kShadowGrey, kShadowGrey, kShadowGrey);
    glBegin(GL_LINE_STRIP);
    glVertex2f(left + 2, bottom - 2);
    glVertex2f(right + 2, bottom - 2);
    glVertex2f(right + 2, top - 2);
    glEnd();
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_LOOP);
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glVertex2f(left, top);
    glEnd();
}

void draw_curve(const Pixels &p, Herm &curve) {
    const int n = curve.nb_points();
    if (n == 0) return;
    if (curve.dirty) HermRecompute(curve);
    const auto &pts = curve.points;
    glColor3f(curve.color[0], curve.color[1], curve.color[2]);
    glBegin(GL_LINE_STRIP);
    float start = -kFarAway, end = kFarAway;
    if ((curve.limit_flags & herm::kXMin) && curve.x_min > start) start = curve.x_min;
    if ((curve.limit_flags & herm::kXMax) && curve.x_max < end) end = curve.x_max;
    glVertex2f(p.x(start), p.y(clamp_to_limits(curve, pts.front().y)));
    for (int k = 0; k + 1 < n; ++k) {
        const HermKey &key = pts[static_cast<size_t>(k)];
        for (int i = 0; i <= kCurveDrawSamples; ++i) {
            const float t = static_cast<float>(i) / kCurveDrawSamples;
            const float x = ((key.coef_x[0] * t + key.coef_x[1]) * t + key.coef_x[2]) * t + key.coef_x[3];
            const float y = ((key.coef_y[0] * t + key.coef_y[1]) * t + key.coef_y[2]) * t + key.coef_y[3];
            glVertex2f(p.x(x), p.y(clamp_to_limits(curve, y)));
        }
    }
    if (n == 1) glVertex2f(p.x(pts.front().x), p.y(clamp_to_limits(curve, pts.front().y)));
    glVertex2f(p.x(end), p.y(clamp_to_limits(curve, pts.back().y)));
    glEnd();

    for (int k = 0; k < n; ++k) {
        const HermKey &key = pts[static_cast<size_t>(k)];
        const float kx = p.x(key.x), ky = p.y(key.y);
        if (k + 1 < n && key.type != herm::Linear) {
            const float hx = p.x(key.x + key.out_dx), hy = p.y(key.y + key.out_dy);
            glColor3f(1, 0, 0);
            glBegin(GL_LINES);
            glVertex2f(kx, ky);
            glVertex2f(hx, hy);
            glEnd();
            square(hx, hy);
        }
        if (k > 0 && pts[static_cast<size_t>(k - 1)].type != herm::Linear) {
            const float hx = p.x(key.x - key.in_dx), hy = p.y(key.y - key.in_dy);
            glColor3f(0, 1, 0);
            glBegin(GL_LINES);
            glVertex2f(kx, ky);
            glVertex2f(hx, hy);
            glEnd();
            square(hx, hy);
        }
    }
    for (const HermKey &key : pts) {
        const int type = key.type >= 0 && key.type < 4 ? key.type : 0;
        glColor3ub(kTypeColors[type][0], kTypeColors[type][1], kTypeColors[type][2]);
        square(p.x(key.x), p.y(key.y));
    }
}

}  // namespace

void draw_curve_area(const FmObject *area, CurveEditor &editor) {
    const SceneState &s = scene_state();
    const FrameSpan frames{s.start_frame, s.end_frame, s.current_frame};
    CurveView &view = editor.view;
    if (!editor.initialised) {
        editor.initialised = true;
        status_line("Initalizing edit subwindow");
        view.x0 = static_cast<float>(frames.first);
        view.x1 = static_cast<float>(frames.last);
        view.y0 = 0;
        view.y1 = 1;
        fm_set_input(editor.frame_field, "");
        fm_set_input(editor.value_field, "");
    }
    const FmForm *form = area->form;
    const float sx = form && form->w > 0 && form->window_w > 0 ? form->window_w / form->w : 1.0f;
    const float sy = form && form->h > 0 && form->window_h > 0 ? form->window_h / form->h : 1.0f;
    const int px = static_cast<int>(std::lround(area->x * sx)), py = static_cast<int>(std::lround(area->y * sy));
    const int width = static_cast<int>(std::lround(area->w * sx)), height = static_cast<int>(std::lround(area->h * sy));
    derive_view(view, width, height, frames);

    glViewport(px, py, width, height);
    glScissor(px, py, width, height);
    glEnable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-0.5, width - 0.5, -0.5, height - 0.5);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    glClearColor(kBackgroundGrey, kBackgroundGrey, kBackgroundGrey, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const Pixels pixels{view};
    draw_range(pixels, frames);
    for (Herm *curve : curve_editor_displayed())
        if (curve) draw_curve(pixels, *curve);
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace vellimor
