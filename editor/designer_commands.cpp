#include "editor/designer_commands.h"

#include "editor/command_hooks.h"
#include "editor/designer_objects.h"
#include "editor/fur_settings_io.h"
#include "editor/main_loop.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "editor/texture_file_select.h"
#include "fcurve/curve_editor.h"
#include "forms/forms.h"

namespace vellimor {
namespace {

FmForm *main_form() { return designer_windows().main.form; }

CurveListChannel designer_channel() {
    const EditorState &e = editor_state();
    const int type = e.current_color_type >= 0 && e.current_color_type < kColorTypeCount ? e.current_color_type : 0;
    return {e.current_channel, type, e.current_color_key[static_cast<size_t>(type)]};
}

void fill_help_texts() {
    const CurveEditor &c = curve_editor();
    help_set(c.area, "The curve area. Press on a key or handle and drag it; hold Alt to snap a key onto the "
                     "current, first or last frame. Z with the left, middle, right mouse button pans, zooms "
                     "in, zooms out; P with a button zooms by dragging up and down; the A key frames all curves.");
    help_set(c.list, "The animatable values of the selected objects. A '*' marks a value with a function curve. "
                     "Selected lines show their curves.");
    help_set(c.texture, "Lists the texture keys' values of the current channel.");
    help_set(c.dynamics, "Lists each selected object's dynamics and wind values.");
    help_set(c.animate, "Gives every selected line without a curve a function curve keyed at the first frame.");
    help_set(c.make_static, "Removes the function curves of the selected lines. The values stay as the curves left them.");
    help_set(c.all, "Selects every line.");
    help_set(c.none, "Unselects every line.");
    help_set(c.invert, "Inverts the selection of the lines.");
    help_set(c.del, "Has no effect.");
    const char *tool = "Chooses what the next press in the curve area does; afterwards Move is chosen again.";
    for (FmObject *b : c.tools) help_set(b, tool);
    help_set(c.frame_field, "The frame of the key or handle being edited. Type a frame to move it.");
    help_set(c.value_field, "The value of the key or handle being edited. Type a value to move it.");
    help_set(c.close, "Hides the function curve editor.");
    const RenderSettingsWindow &r = render_settings_window();
    help_set(r.x, "The width of the rendered pictures in pixels. The height follows the aspect ratio.");
    help_set(r.y, "The height of the rendered pictures in pixels. The width follows the aspect ratio.");
    help_set(r.aspect, "The aspect ratio (width / height) of the rendered pictures.");
    help_set(r.start, "The first frame to render, within the frame range set in the host.");
    help_set(r.end, "The last frame to render, within the frame range set in the host.");
    help_set(r.step, "Renders every n-th frame.");
    help_set(r.output, "The pictures are written as this name followed by the frame number and .pic.");
    help_set(r.browser, "Chooses the output file name with a file selector.");
    help_set(r.render_alpha, "Renders an alpha channel into the pictures.");
    help_set(r.preview_render, "Renders with the preview drawing instead of the full render.");
    help_set(r.render, "Renders the frames into a Rendering window and saves each as a picture.");
    help_set(r.cancel, "Closes the window without rendering. The frame range is offered again next time.");
    const SceneMenuWindow &m = scene_menu_window();
    help_set(m.open_scene, "Opens another scene of a database. Only scenes in a SCENES directory can be opened.");
    help_set(m.save_scene, "Saves the fur settings into the scene.");
    help_set(m.save_hairs, "Saves the hairs of every object as a model file.");
    help_set(m.close, "Closes this menu.");
}

}  // namespace

void create_render_settings_windows() { create_render_settings_window(); }

void create_curve_and_scene_windows() {
    create_curve_editor();
    texture_file_selector_objects();
    create_scene_menu();
}

std::vector<FmForm *> command_forms() {
    return {render_settings_window().form, curve_editor().form, texture_file_selector_objects().form,
            scene_menu_window().form};
}

std::vector<FmObject *> command_help_timers() {
    return {render_settings_window().help_timer, curve_editor().help_timer, scene_menu_window().help_timer};
}

bool show_command_window(int code) {
    switch (code) {
    case kWindowFile: scene_menu_show(); return true;
    case kWindowRender: render_settings_show(); return true;
    case kWindowFCurve: curve_editor_toggle(); return true;
    default: return false;
    }
}

void designer_commands_attach() {
    CommandHooks &hooks = command_hooks();
    hooks.activate_main = [] {
        if (FmForm *form = main_form(); form && form->deactivated > 0) fm_activate_form(form);
    };
    hooks.deactivate_main = [] {
        if (FmForm *form = main_form()) fm_deactivate_form(form);
    };
    hooks.redraw_graphics = redraw_graphics_view;
    hooks.after_scene_open = [](bool opened) {
        if (opened) {
            place_main_window();
            if (!fm_headless()) fm_process_events(false);
        }
        browser_fill();
        selection_sync(0);
    };
    hooks.refresh_controls = designer_refresh_controls;
    hooks.show_frame = frame_controls_update;
    hooks.double_buffer = [] { return editor_state().double_buffer; };

    curve_editor_set_hooks({redraw_views, redraw_keymap, designer_channel});
    redraw_curve_area_hook() = [] {
        if (curve_editor_shown()) curve_editor_redraw_area();
    };
    fcurve_list_refresh_hook() = [] {
        if (curve_editor_shown()) fill_list();
    };

    for (FmObject *timer : command_help_timers()) fm_set_call_back(timer, help_timer_callback, 0);
    fill_help_texts();

    DesignerWindows &w = designer_windows();
    if (w.main.load_object) fm_set_call_back(w.main.load_object, load_settings_callback, 0);
    if (w.main.save_object) fm_set_call_back(w.main.save_object, save_settings_callback, 0);
    if (w.display.background_browser)
        fm_set_call_back(w.display.background_browser, background_browser_callback,
                         reinterpret_cast<long>(w.display.background_image));
}

}  // namespace vellimor
