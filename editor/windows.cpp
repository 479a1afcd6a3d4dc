// The designer's windows: built once, scaled to the screen, shown and hidden by their buttons.
#include "editor/windows.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <utility>

#include "editor/designer_callbacks.h"
#include "editor/designer_commands.h"
#include "editor/designer_objects.h"
#include "editor/graphics_view.h"
#include "editor/window_layout.h"
#include "forms/forms.h"
#include "host/configuration.h"
#include "host/globals.h"

namespace vellimor {
namespace {

constexpr float kSmallLabelSize = 8.0f;
constexpr int kSmallScreenWidth = 1280;
constexpr int kSmallScreenHeight = 1024;

std::vector<FmForm *> designer_forms() {
    DesignerWindows &w = designer_windows();
    std::vector<FmForm *> forms = {w.main.form, w.display.form, w.help.form, w.status.form, w.selected.form, w.dynamic.form};
    for (FmForm *form : command_forms()) forms.push_back(form);
    return forms;
}

bool is_slider(const FmObject *obj) {
    return obj->objclass == FM_SLIDER || obj->objclass == FM_VALSLIDER || obj->objclass == FM_POSITIONER;
}

bool is_button(const FmObject *obj) {
    return obj->objclass == FM_BUTTON || obj->objclass == FM_LIGHTBUTTON || obj->objclass == FM_ROUNDBUTTON;
}

void restyle(FmForm *form, int screen_w, int screen_h) {
    for (FmObject *obj = form->first; obj; obj = obj->next) {
        if (obj->boxtype == FM_FRAME_BOX) {
            obj->boxtype = FM_UP_BOX;
            if (is_button(obj)) obj->col1 = FM_COL1;
        }
        if (is_slider(obj)) obj->boxtype = FM_DOWN_BOX;
        if (screen_w < kSmallScreenWidth) obj->lsize = kSmallLabelSize;
        if (screen_w < kSmallScreenHeight) obj->lstyle = FM_NORMAL_STYLE;
    }
}

// Toggling windows: shown when hidden, hidden when shown.
void toggle(FmForm *form, const char *title) {
    if (!form) return;
    if (form->visible) {
        fm_hide_form(form);
        return;
    }
    fm_show_form(form, FM_PLACE_POSITION, 1, title);
}

// The settings windows open side by side along the top right of the screen, the status text
// window at the top left; the help window has its own place.
void place_settings_windows(int screen_w) {
    DesignerWindows &w = designer_windows();
    constexpr int kGap = 8;
    int right = screen_w - kGap;
    for (FmForm *form : {w.display.form, w.selected.form, w.dynamic.form}) {
        if (!form || form->x >= 0) continue;  // a window keeps where it was last
        right -= int(form->w);
        fm_set_form_position(form, std::max(0, right), kGap);
        right -= kGap;
    }
    if (w.status.form && w.status.form->x < 0) fm_set_form_position(w.status.form, kGap, kGap);
}

}  // namespace

void designer_screen_size(int &w, int &h) {
    const Config &c = config();
    if (c.window_x > 0 && c.window_y > 0) {
        w = c.window_x;
        h = c.window_y;
        return;
    }
    w = fm_screen_width();
    h = fm_screen_height();
}

void create_windows() {
    DesignerWindows &w = designer_windows();
    if (w.created) return;
    create_main_window();
    create_display_window();
    create_render_settings_windows();
    create_help_window();
    create_status_window();
    create_selected_window();
    create_dynamic_window();
    create_curve_and_scene_windows();  // curve editor, texture file selector, scene menu
    // A window manager's close request does what the window's own control does; on the main
    // window that is the exit question.
    fm_set_form_close(w.main.form, w.main.exit);
    for (const auto &[form, close] : {std::pair{w.display.form, w.display.close}, std::pair{w.help.form, w.help.close},
                                      std::pair{w.status.form, w.status.close}, std::pair{w.selected.form, w.selected.close},
                                      std::pair{w.dynamic.form, w.dynamic.close}})
        fm_set_form_close(form, close);
    w.created = true;
}

void scale_windows_to_screen() {
    static bool scaled = false;  // the windows are built once, so they are scaled once
    int sw = 0, sh = 0;
    designer_screen_size(sw, sh);
    for (FmForm *form : designer_forms()) {
        if (!form) continue;
        restyle(form, sw, sh);
        if (!scaled && (sw != int(kDesignWidth) || sh != int(kDesignHeight)))
            fm_scale_form(form, float(sw) / kDesignWidth, float(sh) / kDesignHeight);
    }
    scaled = true;
    place_settings_windows(sw);
}

std::vector<FmObject *> help_timers() {
    DesignerWindows &w = designer_windows();
    std::vector<FmObject *> timers = {w.main.help_timer, w.display.help_timer, w.help.help_timer,
                                      w.status.help_timer, w.selected.help_timer, w.dynamic.help_timer};
    for (FmObject *timer : command_help_timers()) timers.push_back(timer);
    return timers;
}

void show_window(int code) {
    DesignerWindows &w = designer_windows();
    switch (code) {
    case kWindowDisplay:
        if (!w.display.form->visible) display_settings_fill();
        toggle(w.display.form, "Display settings");
        break;
    case kWindowHelp:
        toggle(w.help.form, "Help text");
        if (w.help.form->visible && !fm_headless()) {
            glutSetWindow(w.help.form->window);
            glutPopWindow();
        }
        break;
    case kWindowSelected:
        if (!w.selected.form->visible) selected_settings_fill();
        toggle(w.selected.form, "Selected Patches settings");
        break;
    case kWindowDynamic:
        if (!w.dynamic.form->visible) dynamic_settings_fill();
        toggle(w.dynamic.form, "Dynamic Patches settings");
        break;
    case kWindowStatus:
        if (!w.status.form->visible) fm_show_form(w.status.form, FM_PLACE_POSITION, 1, "Status text");
        status_text_load();
        break;
    default:
        show_command_window(code);
        break;
    }
}

void window_button_callback(FmObject *, long code) { show_window(int(code)); }

void message_button_callback(FmObject *, long) { show_window(kWindowStatus); }

void close_window_callback(FmObject *, long code) {
    DesignerWindows &w = designer_windows();
    FmForm *form = nullptr;
    switch (code) {
    case kWindowDisplay: form = w.display.form; break;
    case kWindowHelp: form = w.help.form; break;
    case kWindowSelected: form = w.selected.form; break;
    case kWindowDynamic: form = w.dynamic.form; break;
    case kWindowStatus: form = w.status.form; break;
    default: break;
    }
    if (form && form->visible) fm_hide_form(form);
    if (code == kWindowHelp) {
        if (w.main.form) fm_redraw_form(w.main.form);
    } else {
        redraw_graphics_view();
    }
}

}  // namespace vellimor
