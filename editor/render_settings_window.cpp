#include "editor/render_settings_window.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "editor/command_hooks.h"
#include "editor/render_settings_rules.h"
#include "forms/forms.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/frame_render.h"

namespace vellimor {
namespace {

constexpr const char *kTitle = "Render settings";
constexpr float kFieldW = 90, kFieldH = 28, kButtonW = 110, kButtonH = 30;

void set_int(FmObject *field, int value) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    fm_set_input(field, text);
}

void set_float(FmObject *field, float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    fm_set_input(field, text);
}

int get_int(FmObject *field) { return std::atoi(fm_get_input(field)); }
float get_float(FmObject *field) { return static_cast<float>(std::atof(fm_get_input(field))); }

float scene_aspect() { return scene_state().aspect_ratio; }

void show_resolution(const RenderResolution &r) {
    RenderSettingsWindow &w = render_settings_window();
    set_int(w.x, r.x);
    set_int(w.y, r.y);
    set_float(w.aspect, r.aspect);
}

void show_range(const RenderFrameRange &r) {
    RenderSettingsWindow &w = render_settings_window();
    set_int(w.start, r.start);
    set_int(w.end, r.end);
    set_int(w.step, r.step);
}

RenderFrameRange range_in_fields() {
    RenderSettingsWindow &w = render_settings_window();
    return {get_int(w.start), get_int(w.end), get_int(w.step)};
}

// The scene's own range: saved while the window is up.
RenderFrameRange scene_range() {
    const RenderSettingsState &state = render_settings_state();
    const SceneState &s = scene_state();
    return state.open ? state.saved_scene : RenderFrameRange{s.start_frame, s.end_frame, s.frame_step};
}

RenderFrameRange checked_range() {
    RenderSettingsState &state = render_settings_state();
    if (state.resolution.aspect <= 0.0f) state.resolution.aspect = scene_aspect();
    const RenderFrameRange scene = scene_range();
    RenderFrameRange r = apply_frame_range(range_in_fields(), scene.start, scene.end);
    // While the window is up the render range stands in for the scene's.
    SceneState &s = scene_state();
    s.start_frame = r.start;
    s.end_frame = r.end;
    s.frame_step = r.step;
    return r;
}

// "Cancel" and after "Render": the range shown is remembered and the scene's is back.
void finish() {
    render_settings_close(range_in_fields());
    run_hook(command_hooks().show_frame);
    run_hook(command_hooks().activate_main);
    run_hook(command_hooks().redraw_graphics);
}

void hide_window() {
    RenderSettingsWindow &w = render_settings_window();
    if (w.form && w.form->visible) fm_hide_form(w.form);
}

void on_browser(FmObject *, long) {
    const std::string dir = database_subdirectory("RENDER_PICTURES");
    std::optional<std::string> chosen =
        fm_show_file_selector("Render filename", dir.empty() ? nullptr : dir.c_str(), "*.pic", "");
    if (chosen) fm_set_input(render_settings_window().output, chosen->c_str());
}

FmObject *labelled_input(int type, float x, float y, const char *label) {
    FmObject *field = fm_add_input(type, x, y, kFieldW, kFieldH, label);
    fm_set_object_align(field, FM_ALIGN_LEFT);
    return field;
}

}  // namespace

RenderSettingsWindow &render_settings_window() {
    static RenderSettingsWindow window;
    return window;
}

FmForm *create_render_settings_window() {
    RenderSettingsWindow &w = render_settings_window();
    if (w.form) return w.form;
    w.form = fm_bgn_form(FM_UP_BOX, kRenderSettingsWidth, kRenderSettingsHeight);
    w.form->title = kTitle;
    fm_add_box(FM_FLAT_BOX, 10, 258, 300, 30, "Resolution");
    w.x = labelled_input(FM_INT_INPUT, 40, 222, "X");
    w.y = labelled_input(FM_INT_INPUT, 170, 222, "Y");
    w.aspect = labelled_input(FM_FLOAT_INPUT, 350, 222, "Aspect");
    for (FmObject *f : {w.x, w.y, w.aspect}) fm_set_call_back(f, render_settings_resolution_changed, 0);
    fm_add_box(FM_FLAT_BOX, 10, 180, 300, 30, "Frames");
    w.start = labelled_input(FM_INT_INPUT, 70, 146, "Start");
    w.end = labelled_input(FM_INT_INPUT, 220, 146, "End");
    w.step = labelled_input(FM_INT_INPUT, 370, 146, "Step");
    for (FmObject *f : {w.start, w.end, w.step}) fm_set_call_back(f, render_settings_range_changed, 0);
    w.output = fm_add_input(FM_NORMAL_INPUT, 130, 100, 480, kFieldH, "Output filename");
    fm_set_object_align(w.output, FM_ALIGN_LEFT);
    w.browser = fm_add_button(FM_NORMAL_BUTTON, 620, 100, kButtonW, kFieldH, "Browser");
    fm_set_call_back(w.browser, on_browser, 0);
    w.render_alpha = fm_add_lightbutton(FM_TOGGLE_BUTTON, 10, 58, 140, kButtonH, "Render alpha");
    w.preview_render = fm_add_lightbutton(FM_TOGGLE_BUTTON, 160, 58, 140, kButtonH, "Preview render");
    fm_bgn_group();
    w.single_buffer = fm_add_roundbutton(FM_RADIO_BUTTON, 320, 58, 130, kButtonH, "Single buffer");
    w.double_buffer = fm_add_roundbutton(FM_RADIO_BUTTON, 460, 58, 130, kButtonH, "Double buffer");
    fm_end_group();
    w.call_save_plugin = fm_add_lightbutton(FM_TOGGLE_BUTTON, 600, 58, 130, kButtonH, "Call save plugin");
    w.render = fm_add_button(FM_NORMAL_BUTTON, 10, 10, kButtonW, kButtonH, "Render");
    w.cancel = fm_add_button(FM_NORMAL_BUTTON, 620, 10, kButtonW, kButtonH, "Cancel");
    fm_set_call_back(w.render, render_settings_render, 0);
    fm_set_call_back(w.cancel, render_settings_cancel, 0);
    fm_set_object_shortcut(w.cancel, kFmEscapeShortcut);
    w.help_timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_end_form();
    fm_set_form_close(w.form, w.cancel);
    // The save plug-in is an option only where the environment allows it.
    if (!config().save_plugin) fm_hide_object(w.call_save_plugin);
    fm_set_button(w.double_buffer, 1);
    return w.form;
}

void render_settings_fill() {
    RenderSettingsWindow &w = render_settings_window();
    create_render_settings_window();
    render_settings_open(scene_aspect());
    RenderSettingsState &state = render_settings_state();
    show_resolution(state.resolution);
    const SceneState &s = scene_state();
    show_range({s.start_frame, s.end_frame, s.frame_step});
    const int double_buffered = command_hooks().double_buffer ? command_hooks().double_buffer() : 1;
    fm_set_button(w.single_buffer, double_buffered ? 0 : 1);
    fm_set_button(w.double_buffer, double_buffered ? 1 : 0);
}

void render_settings_show() {
    render_settings_fill();
    run_hook(command_hooks().deactivate_main);
    fm_show_form(render_settings_window().form, FM_PLACE_CENTER, 1, kTitle);
}

void render_settings_resolution_changed(FmObject *field, long) {
    RenderSettingsWindow &w = render_settings_window();
    RenderResolution typed{get_int(w.x), get_int(w.y), get_float(w.aspect)};
    const ResolutionField changed = field == w.y ? ResolutionField::kY
                                    : field == w.aspect ? ResolutionField::kAspect
                                                        : ResolutionField::kX;
    RenderSettingsState &state = render_settings_state();
    state.resolution = apply_resolution(typed, changed, scene_aspect());
    show_resolution(state.resolution);
}

void render_settings_range_changed(FmObject *, long) { show_range(checked_range()); }

void render_settings_render(FmObject *, long) {
    RenderSettingsWindow &w = render_settings_window();
    RenderSettings &settings = render_settings();
    const std::string output = fm_get_input(w.output);
    settings.call_save_plugin = fm_get_button(w.call_save_plugin) != 0;
    if (output.empty() && !settings.call_save_plugin) {
        status_message(kStatusError, "Enter a render filename");
        return;
    }
    const RenderFrameRange range = checked_range();
    show_range(range);
    const RenderResolution &r = render_settings_state().resolution;
    settings.width = r.x;
    settings.height = r.y;
    settings.start = range.start;
    settings.end = range.end;
    settings.step = range.step;
    settings.output_name = output;
    settings.render_alpha = fm_get_button(w.render_alpha) != 0;
    settings.preview_render = fm_get_button(w.preview_render) != 0;
    settings.single_buffer = fm_get_button(w.single_buffer) != 0;
    hide_window();
    render_frames_interactive();
    finish();
}

void render_settings_cancel(FmObject *, long) {
    hide_window();
    finish();
}

}  // namespace vellimor
