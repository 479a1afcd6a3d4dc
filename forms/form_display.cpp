#include "forms/form_display.h"

#include "forms/dispatch.h"
#include "forms/native_window.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"
#include "forms/window_events.h"
#include "platform/window_system.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vellimor {
namespace {

constexpr int kDesignScreenW = 1280;
constexpr int kDesignScreenH = 1024;

bool present(const FmForm *form, const char *where, const char *message) {
    if (form) return true;
    fm_show_error(where, message);
    return false;
}

bool drawable(const FmForm *form) {
    return form->visible && form->frozen == 0 && !fm_toolkit().headless && form->window > 0 && !form->window_lost;
}

void mark_clean(FmForm *form) {
    form->dirty = false;
    form->dirty_whole = false;
    form->dirty_area = {};
}

void place_window(FmForm *form, int place, int &x, int &y) {
    int sw = fm_screen_width(), sh = fm_screen_height();
    int w = static_cast<int>(std::lround(form->w)), h = static_cast<int>(std::lround(form->h));
    x = form->x;
    y = form->y;
    switch (place) {
    case FM_PLACE_CENTER:
        x = (sw - w) / 2;
        y = (sh - h) / 2;
        break;
    case FM_PLACE_MOUSE:
        x = static_cast<int>(getvaluator(0)) - w / 2;
        y = sh - 1 - static_cast<int>(getvaluator(1)) - h / 2;
        break;
    case FM_PLACE_POSITION:
        break;
    default:
        return;  // free: keep a stored position, -1 lets the window system choose
    }
    x = std::clamp(x, 0, std::max(0, sw - w));
    y = std::clamp(y, 0, std::max(0, sh - h));
}

int open_window(FmForm *form, int x, int y, bool border) {
    FmToolkit &tk = fm_toolkit();
    if (tk.headless) return tk.next_headless_window++;
    // Drawing areas draw depth-tested scenes, so every form window has a depth buffer.
    glutInitDisplayMode(GLUT_RGBA | GLUT_DEPTH | (form->doublebuf ? GLUT_DOUBLE : GLUT_SINGLE));
    glutInitWindowPosition(x, y);
    glutInitWindowSize(static_cast<int>(std::lround(form->w)), static_cast<int>(std::lround(form->h)));
    int window = glutCreateWindow(form->title.c_str());
    if (tk.first_window == 0) tk.first_window = window;
    if (!border) fm_remove_decorations();
    fm_register_window_callbacks();
    form->native_window = glutGetHWND(0);
    return window;
}

// Form units map to pixels with a half-pixel offset so that integer coordinates hit pixel centres.
void set_form_projection(const FmForm *form) {
    glViewport(0, 0, form->window_w, form->window_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-0.5, form->w - 0.5, -0.5, form->h - 0.5);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_TEXTURE_1D, GL_TEXTURE_2D, GL_BLEND, GL_FOG, GL_CULL_FACE,
                       GL_STENCIL_TEST, GL_ALPHA_TEST, GL_SCISSOR_TEST})
        glDisable(cap);
    glDrawBuffer(form->doublebuf ? GL_BACK : GL_FRONT);
}

// Depth is cleared to the far plane for the drawing areas, colour to black so that nothing of an
// earlier frame survives where no object draws; within the scissor box when one is on.
void clear_buffers() {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
}

// Saves the GL state of the current context and gives it back; matrices are kept by value so
// that nested drawings do not depend on the depth of the matrix stacks.
class GlStateScope {
public:
    GlStateScope() {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glGetIntegerv(GL_MATRIX_MODE, &mode_);
        glGetFloatv(GL_PROJECTION_MATRIX, projection_);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
        glGetFloatv(GL_TEXTURE_MATRIX, texture_);
    }
    ~GlStateScope() {
        load(GL_TEXTURE, texture_);
        load(GL_MODELVIEW, modelview_);
        load(GL_PROJECTION, projection_);
        glMatrixMode(static_cast<GLenum>(mode_));
        glPopClientAttrib();
        glPopAttrib();
    }
    GlStateScope(const GlStateScope &) = delete;
    GlStateScope &operator=(const GlStateScope &) = delete;

private:
    static void load(GLenum mode, const GLfloat *m) {
        glMatrixMode(mode);
        glLoadMatrixf(m);
    }
    GLint mode_ = GL_MODELVIEW;
    GLfloat projection_[16], modelview_[16], texture_[16];
};

// Free objects may change any GL state while drawing; each object starts from the form's.
void draw_object(FmObject *obj) {
    GlStateScope scope;
    if (obj->handle) obj->handle(obj, FM_DRAW, 0, 0, 0);
    obj->redraw = false;
}

bool overlaps(const FmRect &a, const FmRect &b) {
    return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

FmRect united(const FmRect &a, const FmRect &b) {
    float x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    float x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Draws the whole form, or (single-buffered) the objects that meet `area`, and shows the result.
// The form counts as clean from the start, so that changes made while it draws are drawn next.
// A redraw asked for while an object of the same form draws (a progress bar moved by a drawing
// area) is drawn at once, nested, with the drawing object's GL state kept; deeper nesting waits.
void paint(FmForm *form, const FmRect *area) {
    if (form->drawing > 1) return;
    glutSetWindow(form->window);
    std::optional<GlStateScope> outer;
    if (form->drawing > 0) outer.emplace();
    ++form->drawing;
    mark_clean(form);
    set_form_projection(form);
    if (area) {
        glEnable(GL_SCISSOR_TEST);
        int x0 = static_cast<int>(std::floor(area->x)), y0 = static_cast<int>(std::floor(area->y));
        glScissor(x0, y0, static_cast<int>(std::ceil(area->x + area->w)) - x0 + 1,
                  static_cast<int>(std::ceil(area->y + area->h)) - y0 + 1);
    }
    clear_buffers();
    fm_for_each_object(form, [&](FmObject *obj) {
        if (obj->visible && (!area || overlaps(fm_object_extent(obj), *area))) draw_object(obj);
    });
    glDisable(GL_SCISSOR_TEST);
    if (form->doublebuf)
        glutSwapBuffers();
    else
        glFlush();
    --form->drawing;
}

void rescale_to_window(FmForm *form) {
    if (form->window_w <= 0 || form->window_h <= 0) return;
    if (form->window_w == std::lround(form->w) && form->window_h == std::lround(form->h)) return;
    fm_scale_form(form, form->window_w / form->w, form->window_h / form->h);
}

}  // namespace

int fm_screen_width() {
    return fm_headless() ? kDesignScreenW : glutGet(GLUT_SCREEN_WIDTH);
}

int fm_screen_height() {
    return fm_headless() ? kDesignScreenH : glutGet(GLUT_SCREEN_HEIGHT);
}

int fm_show_form(FmForm *form, int place, int border, const char *title) {
    if (!present(form, "fm_show_form", "Trying to display NULL form.")) return -1;
    fm_init();
    FmToolkit &tk = fm_toolkit();
    if (form->visible) {
        if (!tk.headless && !form->window_lost) {
            glutSetWindow(form->window);
            glutPopWindow();
        }
        return form->window;
    }
    if (static_cast<int>(tk.shown.size()) >= kFmMaxForms) {
        fm_show_error("fm_show_form", "Can show only 40 forms.");
        return -1;
    }
    form->title = title && *title ? title : kFmDefaultTitle;
    form->border = border != 0;
    int x = -1, y = -1;
    place_window(form, place, x, y);
    form->window = open_window(form, x, y, border != 0);
    form->window_w = static_cast<int>(std::lround(form->w));
    form->window_h = static_cast<int>(std::lround(form->h));
    form->visible = true;
    tk.shown.push_back(form);
    fm_invalidate_form(form);
    fm_post_device_event({FM_DEV_REDRAW, form->window, form->window});
    return form->window;
}

void fm_hide_form(FmForm *form) {
    if (!present(form, "fm_hide_form", "Hiding NULL form.")) return;
    if (!form->visible) {
        fm_show_error("fm_hide_form", "Hiding invisible form.");
        return;
    }
    FmToolkit &tk = fm_toolkit();
    auto it = std::find(tk.shown.begin(), tk.shown.end(), form);
    if (it != tk.shown.end()) {
        *it = tk.shown.back();
        tk.shown.pop_back();
    }
    if (tk.mouse_obj && tk.mouse_obj->form == form) {
        FmObject *obj = tk.mouse_obj;
        tk.mouse_obj = nullptr;
        fm_handle_object(obj, FM_LEAVE, 0, 0, 0);
    }
    if (tk.pushed_obj && tk.pushed_obj->form == form) {
        FmObject *obj = tk.pushed_obj;
        tk.pushed_obj = nullptr;
        fm_handle_object(obj, FM_RELEASE, 0, 0, 0);
    }
    if (FmObject *focus = form->focusobj) {
        fm_handle_object(focus, FM_UNFOCUS, 0, 0, 0);
        fm_handle_object(focus, FM_FOCUS, 0, 0, 0);
    }
    // A window the window system took down keeps the last position known.
    if (!tk.headless && form->window > 0 && !form->window_lost) {
        glutSetWindow(form->window);
        form->x = glutGet(GLUT_WINDOW_X);
        form->y = glutGet(GLUT_WINDOW_Y);
        glutDestroyWindow(form->window);
    }
    if (tk.mouse_form == form) tk.mouse_form = nullptr;
    form->window = -1;
    form->native_window = 0;
    form->window_lost = false;
    form->visible = false;
    mark_clean(form);
}

void fm_set_form_position(FmForm *form, int x, int y) {
    if (!present(form, "fm_set_form_position", "Changing position NULL form.")) return;
    form->x = x;
    form->y = y;
    if (form->visible && !fm_toolkit().headless && !form->window_lost) {
        glutSetWindow(form->window);
        glutPositionWindow(x, y);
    }
}

void fm_set_form_close(FmForm *form, FmObject *close_object) {
    if (!present(form, "fm_set_form_close", "Object is NULL.")) return;
    form->close_object = close_object;
}

void fm_set_form_callback(FmForm *form, FmCallback callback, long argument) {
    if (!present(form, "fm_set_form_callback", "Object is NULL.")) return;
    form->callback = callback;
    form->argument = argument;
}

void fm_activate_form(FmForm *form) {
    if (!present(form, "fm_activate_form", "Activating NULL form.")) return;
    if (form->deactivated > 0) --form->deactivated;
}

void fm_deactivate_form(FmForm *form) {
    if (!present(form, "fm_deactivate_form", "Deactivating NULL form.")) return;
    FmToolkit &tk = fm_toolkit();
    if (form->deactivated++ == 0 && tk.pushed_obj && tk.pushed_obj->form == form) {
        FmObject *obj = tk.pushed_obj;
        tk.pushed_obj = nullptr;
        fm_handle_object(obj, FM_RELEASE, 0, 0, 0);
    }
}

void fm_activate_all_forms() {
    for (FmForm *form : std::vector<FmForm *>(fm_toolkit().shown)) fm_activate_form(form);
}

void fm_deactivate_all_forms() {
    for (FmForm *form : std::vector<FmForm *>(fm_toolkit().shown)) fm_deactivate_form(form);
}

void fm_redraw_form(FmForm *form) {
    if (!present(form, "fm_redraw_form", "Drawing NULL form.")) return;
    fm_invalidate_form(form);
}

void fm_freeze_form(FmForm *form) {
    if (!present(form, "fm_freeze_form", "Freezing NULL form.")) return;
    ++form->frozen;
}

void fm_unfreeze_form(FmForm *form) {
    if (!present(form, "fm_unfreeze_form", "Unfreezing NULL form.")) return;
    if (form->frozen > 0 && --form->frozen == 0) fm_invalidate_form(form);
}

void fm_scale_form(FmForm *form, float sx, float sy) {
    if (!form) return;
    fm_for_each_object(form, [&](FmObject *obj) {
        obj->x *= sx;
        obj->y *= sy;
        obj->w *= sx;
        obj->h *= sy;
    });
    form->w *= sx;
    form->h *= sy;
}

FmForm *fm_form_of_window(int window) {
    for (FmForm *form : fm_toolkit().shown)
        if (form->window == window) return form;
    return nullptr;
}

FmForm *fm_form_of_native_window(unsigned long native_window) {
    if (native_window == 0) return nullptr;
    for (FmForm *form : fm_toolkit().shown)
        if (form->native_window == native_window) return form;
    return nullptr;
}

int fm_shown_form_count() { return static_cast<int>(fm_toolkit().shown.size()); }

void fm_draw_form(FmForm *form) {
    if (!form || !form->visible) return;
    rescale_to_window(form);
    if (form->frozen > 0) return;
    if (drawable(form))
        paint(form, nullptr);
    else
        mark_clean(form);  // windowless: nothing to draw, nothing waits
}

void fm_invalidate_form(FmForm *form) {
    if (!form) return;
    form->dirty = form->dirty_whole = true;
    fm_for_each_object(form, [](FmObject *obj) { obj->redraw = true; });
}

void fm_invalidate_area(FmForm *form, FmRect area) {
    if (!form) return;
    form->dirty_area = form->dirty && !form->dirty_whole ? united(form->dirty_area, area) : area;
    form->dirty = true;
}

void fm_flush_redraws() {
    FmToolkit &tk = fm_toolkit();
    int current = tk.headless ? 0 : glutGetWindow();
    bool switched = false;
    for (FmForm *form : std::vector<FmForm *>(tk.shown)) {
        if (!form->dirty || form->frozen > 0) continue;
        switched = switched || drawable(form);
        if (form->dirty_whole || form->doublebuf || !drawable(form) ||
            form->window_w != std::lround(form->w) || form->window_h != std::lround(form->h)) {
            fm_draw_form(form);
        } else {
            FmRect area = form->dirty_area;
            paint(form, &area);
        }
    }
    if (switched && current > 0 && glutGetWindow() != current) glutSetWindow(current);
}

bool fm_form_needs_redraw(const FmForm *form) { return form && form->dirty; }

}  // namespace vellimor
