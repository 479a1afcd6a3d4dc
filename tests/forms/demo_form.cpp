#include "demo_form.h"

#include <GL/gl.h>

#include <cmath>
#include <map>

namespace vellimor {
namespace {

std::map<const FmObject *, int> g_calls;
int g_free_presses = 0;
float g_mark_x = -1, g_mark_y = -1;

void count(FmObject *obj, long) {
    ++g_calls[obj];
}

void slider_moved(FmObject *obj, long arg) {
    count(obj, arg);
    auto *progress = reinterpret_cast<FmObject *>(arg);
    float lo, hi;
    fm_get_slider_bounds(obj, &lo, &hi);
    fm_set_slider_value(progress, (fm_get_slider_value(obj) - lo) / (hi - lo));
}

// A drawing area: a colour wheel with a mark where it was last pressed.
int handle_free_area(FmObject *obj, int event, float mx, float my, int) {
    switch (event) {
    case FM_DRAW: {
        fm_draw_box(FM_DOWN_BOX, obj->x, obj->y, obj->w, obj->h, FM_BLACK);
        float cx = obj->x + obj->w / 2, cy = obj->y + obj->h / 2, r = std::min(obj->w, obj->h) * 0.4f;
        glBegin(GL_TRIANGLE_FAN);
        glColor3f(1, 1, 1);
        glVertex2f(cx, cy);
        for (int i = 0; i <= 36; ++i) {
            float a = static_cast<float>(2 * M_PI * i / 36);
            glColor3f(0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::cos(a - 2.09f), 0.5f + 0.5f * std::cos(a + 2.09f));
            glVertex2f(cx + r * std::cos(a), cy + r * std::sin(a));
        }
        glEnd();
        if (g_mark_x >= 0) fm_rectf(g_mark_x - 3, g_mark_y - 3, 7, 7, FM_WHITE);
        fm_draw_object_label(obj);
        return 0;
    }
    case FM_PUSH:
        ++g_free_presses;
        g_mark_x = mx;
        g_mark_y = my;
        fm_redraw_object(obj);
        return 1;
    default:
        return 0;
    }
}

}  // namespace

int demo_calls(const FmObject *obj) {
    auto it = g_calls.find(obj);
    return it == g_calls.end() ? 0 : it->second;
}

int demo_free_presses() { return g_free_presses; }

DemoForm make_demo_form() {
    DemoForm d;
    d.form = fm_bgn_form(FM_UP_BOX, kDemoWidth, kDemoHeight);
    FmObject *title = fm_add_text(0, 20, 480, 400, 30, "Vellimor forms");
    fm_set_object_lsize(title, 18);
    fm_set_object_lstyle(title, FM_BOLD_STYLE);

    d.button = fm_add_button(FM_NORMAL_BUTTON, 20, 430, 120, 30, "Button");
    d.push = fm_add_button(FM_PUSH_BUTTON, 20, 392, 120, 30, "Push");
    d.toggle = fm_add_lightbutton(FM_TOGGLE_BUTTON, 20, 354, 120, 30, "Toggle");
    FmObject *frame = fm_add_box(FM_FRAME_BOX, 20, 250, 120, 94, "");
    (void)frame;
    fm_bgn_group();
    const char *colours[] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i)
        d.radio[i] = fm_add_roundbutton(FM_RADIO_BUTTON, 26, 314 - i * 28.0f, 108, 26, colours[i]);
    fm_end_group();

    d.slider = fm_add_slider(FM_HOR_SLIDER, 170, 440, 220, 22, "Slider");
    d.valslider = fm_add_valslider(FM_HOR_SLIDER, 170, 388, 220, 22, "Value slider");
    d.progress = fm_add_slider(FM_HOR_FILL_SLIDER, 170, 342, 220, 14, "Progress");
    d.counter = fm_add_counter(FM_NORMAL_COUNTER, 170, 284, 220, 26, "Counter");
    d.vslider = fm_add_valslider(FM_VERT_SLIDER, 410, 250, 26, 212, "Vert");
    d.positioner = fm_add_positioner(0, 460, 290, 176, 172, "Positioner");

    d.input = fm_add_input(FM_NORMAL_INPUT, 250, 214, 140, 26, "Input:");
    d.choice = fm_add_choice(0, 250, 176, 140, 26, "Choice:");
    d.timer = fm_add_timer(FM_VALUE_TIMER, 460, 214, 80, 26, "");
    FmObject *timer_label = fm_add_text(0, 546, 214, 90, 26, "Timer");
    (void)timer_label;

    d.browser = fm_add_browser(FM_SELECT_BROWSER, 20, 40, 160, 176, "Browser");
    d.box = fm_add_box(FM_SHADOW_BOX, 220, 96, 170, 64, "Shadow box");
    const char *symbols[] = {"@<", "@>", "@returnarrow", "@circle", "@square", "@plus"};
    for (int i = 0; i < 6; ++i) fm_add_button(FM_NORMAL_BUTTON, 220 + i * 28.5f, 56, 26, 26, symbols[i]);
    d.free_area = fm_add_free(FM_NORMAL_FREE, 460, 40, 176, 150, "Free", handle_free_area);
    fm_set_object_align(d.free_area, FM_ALIGN_BOTTOM);

    d.file_button = fm_add_button(FM_NORMAL_BUTTON, 220, 14, 80, 28, "File...");
    d.question_button = fm_add_button(FM_NORMAL_BUTTON, 310, 14, 80, 28, "Question");
    d.quit_button = fm_add_button(FM_NORMAL_BUTTON, 556, 480, 80, 28, "Quit");
    fm_end_form();

    fm_set_slider_bounds(d.slider, 0, 100);
    fm_set_slider_value(d.slider, 25);
    fm_set_slider_value(d.progress, 0.25f);
    fm_set_slider_bounds(d.valslider, -1, 1);
    fm_set_slider_value(d.valslider, 0);
    fm_set_slider_precision(d.valslider, 3);
    fm_set_slider_bounds(d.vslider, 0, 10);
    fm_set_slider_value(d.vslider, 5);
    fm_set_slider_precision(d.vslider, 1);
    fm_set_positioner_xbounds(d.positioner, -1, 1);
    fm_set_positioner_ybounds(d.positioner, -1, 1);
    fm_set_positioner_xvalue(d.positioner, 0);
    fm_set_positioner_yvalue(d.positioner, 0);
    fm_set_counter_bounds(d.counter, 0, 100);
    fm_set_counter_step(d.counter, 1, 10);
    fm_set_counter_precision(d.counter, 0);
    fm_set_counter_value(d.counter, 10);
    fm_set_input(d.input, "hello");
    for (const char *entry : {"Wire", "Shade", "Textured", "Zbuffer", "Hidden", "Matte"}) fm_addto_choice(d.choice, entry);
    for (int i = 1; i <= 30; ++i) fm_add_browser_line(d.browser, ("Patch " + std::to_string(i)).c_str());
    fm_set_button(d.radio[0], 1);
    fm_set_button(d.toggle, 1);

    for (FmObject *obj : {d.button, d.push, d.toggle, d.radio[0], d.radio[1], d.radio[2], d.valslider, d.vslider,
                          d.positioner, d.counter, d.input, d.choice, d.timer, d.browser})
        fm_set_call_back(obj, count, 0);
    fm_set_call_back(d.slider, slider_moved, reinterpret_cast<long>(d.progress));
    return d;
}

}  // namespace vellimor
