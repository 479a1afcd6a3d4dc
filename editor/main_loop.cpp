// The designer's start, its event loop and its end.
#include "editor/main_loop.h"

#include <GL/gl.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "editor/designer_callbacks.h"
#include "editor/designer_commands.h"
#include "editor/designer_objects.h"
#include "editor/graphics_view.h"
#include "editor/keymap_editor.h"
#include "editor/slider_panel.h"
#include "editor/window_layout.h"
#include "editor/windows.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "hair/placement.h"
#include "host/configuration.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "platform/window_system.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr const char *kProductName = "Vellimor";
// The help window's corner in the design, counted from the lower left as the forms are: over
// the graphics view, clear of the controls below it.
constexpr float kHelpDesignX = 20.0f, kHelpDesignY = 700.0f;
constexpr std::chrono::milliseconds kIdlePause{2};

bool full_screen() { return config().window_x == 0 || config().window_y == 0; }

void set_frame_controls() {
    frame_controls_update();
}

// Step 4: the fur records from the scene, or from a hold file when Shift is held.
void load_fur_data() {
    if (!platform::key_is_down(platform::Key::Shift)) {
        read_fur_data(1);
        return;
    }
    const bool fetch = fm_show_question("Fetch Fur data from a previous session", "", "") == 1;
    read_fur_data(0);  // default records: the scene's stored fur is not read
    if (!fetch) return;
    // The hold files are written beside the message file, so the selector starts there.
    const std::string &hold = scene_state().hold_file_path;
    const std::string directory =
        hold.empty() ? std::string("/tmp") : std::filesystem::path(hold).parent_path().string();
    const auto chosen = fm_show_file_selector("Select holdfile. Date and time is appended to the filename",
                                              directory.c_str(), "fur_hold*", "");
    if (chosen) fetch_all(chosen->c_str());
}

// Window positions count from the top of the screen.
void place_help_window() {
    FmForm *help = designer_windows().help.form;
    int sw = 0, sh = 0;
    designer_screen_size(sw, sh);
    const float top = float(sh) - kHelpDesignY * float(sh) / kDesignHeight - help->h;
    fm_set_form_position(help, int(kHelpDesignX * float(sw) / kDesignWidth), std::max(0, int(top)));
}

void set_initial_control_states() {
    DesignerWindows &w = designer_windows();
    MainWindowObjects &m = w.main;
    fm_set_timer(m.backup_timer, config().backup_interval);
    for (FmObject *timer : help_timers()) fm_set_timer(timer, kHelpInterval);
    place_help_window();
    help_fill();
    fm_set_button(m.channel[1], 1);
    editor_state().current_channel = 1;
    fm_set_button(m.diffuse, 1);
    editor_state().current_color_type = 0;
    slider_panel_init();
    fm_hide_object(m.preview_sel);
    fm_hide_object(m.thickness_slider);
    fm_hide_object(m.thickness_field);
    for (FmObject *field : {m.dir_u_field, m.dir_v_field, m.bend_u_field, m.bend_v_field})
        fm_hide_object(field);
    fm_hide_object(w.display.use_irisgl);
    fm_hide_object(w.display.use_opengl);
}

void connect_designer_output() {
    DesignerOutput out;
    out.message_box = [](const char *text) { fm_show_message(kProductName, text, ""); };
    out.browser_add_line = message_area_add;
    out.browser_line_count = [] { return fm_get_browser_maxline(designer_windows().main.message_area); };
    out.browser_delete_first_line = [] { fm_delete_browser_line(designer_windows().main.message_area, 1); };
    out.freeze_form = [] { fm_freeze_form(designer_windows().main.form); };
    out.unfreeze_form = [] { fm_unfreeze_form(designer_windows().main.form); };
    out.set_progress = [](float fraction) {
        FmObject *bar = designer_windows().main.progress;
        // While the view draws the scene the window is not drawn over it.
        if (!bar || graphics_view_drawing()) return;
        fm_set_slider_value(bar, fraction);
        fm_flush_redraws();  // long work does not return to the loop meanwhile
    };
    out.show_patch_list = [](const std::vector<PatchListLine> &) { browser_fill(); };
    out.refresh_controls = designer_refresh_controls;
    designer_connect(std::move(out));
}

void show_main_window() {
    EditorState &e = editor_state();
    FmForm *form = designer_windows().main.form;
    fm_show_form(form, FM_PLACE_POSITION, 1, kProductName);
    if (!fm_headless()) {
        platform::window_system_set_main_window(form->window);
        if (full_screen()) place_main_window();
        glutHandleEvents();
    }
    e.gui_up = 1;
    connect_designer_output();
}

void reset_gl_state() {
    if (fm_headless()) return;
    for (GLenum cap : {GL_LIGHTING, GL_BLEND, GL_DEPTH_TEST, GL_FOG, GL_STENCIL_TEST, GL_SCISSOR_TEST,
                       GL_DITHER, GL_NORMALIZE, GL_TEXTURE_1D, GL_TEXTURE_2D})
        glDisable(cap);
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE, GL_DEPTH_SCALE})
        glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS, GL_DEPTH_BIAS})
        glPixelTransferf(bias, 0.0f);
    glPixelTransferi(GL_INDEX_SHIFT, 0);
    glPixelTransferi(GL_INDEX_OFFSET, 0);
}

void write_banner() {
    const RunState &run = run_state();
    status_message(kStatusPlain, "%s, Build %d", run.program_title.c_str(), run.build_number);
}

void hide_if_shown(FmForm *form) {
    if (form && form->visible) fm_hide_form(form);
}

void reset_gl_clear_state() {
    if (fm_headless()) return;
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClearStencil(1);
    glClearAccum(0, 0, 0, 0);
}

}  // namespace

void message_area_add(const char *line) {
    FmObject *area = designer_windows().main.message_area;
    if (!area || !line) return;
    const int count = fm_get_browser_maxline(area);
    const char *last = count > 0 ? fm_get_browser_line(area, count) : nullptr;
    if (last && std::string(last) == line) return;  // a repeat is shown once
    // The progress of the view's drawings shares one line, the last step of the last drawing:
    // so it never pushes the answer of the command that asked for a drawing out of the area.
    // Errors and warnings met while drawing keep lines of their own.
    bool &last_from_drawing = editor_state().last_message_from_drawing;
    const std::string_view text = line;
    const bool from_drawing =
        graphics_view_drawing() && !text.starts_with("ERROR: ") && !text.starts_with("WARNING: ");
    const bool replace = from_drawing && last_from_drawing && count > 0;
    last_from_drawing = from_drawing;
    if (replace) {
        fm_replace_browser_line(area, count, line);
        return;
    }
    fm_add_browser_line(area, line);
    while (fm_get_browser_maxline(area) > kMessageLines) fm_delete_browser_line(area, 1);
    const int lines = fm_get_browser_maxline(area);
    fm_set_browser_topline(area, std::max(1, lines - fm_get_browser_screenlines(area) + 1));
}

void designer_refresh_controls() {
    if (!editor_state().gui_up) return;
    frame_controls_update();
    display_settings_fill();
    selection_sync(1);
}

bool designer_open() {
    EditorState &e = editor_state();
    e.quit = 0;
    fm_init();
    fm_set_refused_input_handler(report_refused_input);
    create_windows();                     // 1, 2: windows and drawing areas
    keymap_editor_attach();               //       the KeyMap and colour areas' editors
    designer_commands_attach();           //       curve editor, scene and render commands
    e.double_buffer = 1;                  // 3
    config().single_buffer = 1;
    set_frame_controls();
    load_fur_data();                      // 4
    build_all_patches(0, 0);              // 5
    scale_windows_to_screen();            // 6
    set_initial_control_states();         // 7
    attach_shortcuts();                   // 8
    SAA_selectlistClear(&scene_state().scene);
    browser_fill();
    display_settings_fill();              // 9
    show_main_window();                   // 10
    reset_gl_state();                     // 11
    selection_sync(0);                    // 12
    write_banner();
    write_hold_file();
    return true;
}

void designer_turn() {
    if (!fm_headless()) glutHandleEvents();
    fm_check_forms();
    if (graphics_view_take_window_changes()) fm_redraw_object(designer_windows().main.message_area);
}

void designer_close() {
    DesignerWindows &w = designer_windows();
    hide_if_shown(w.dynamic.form);
    hide_if_shown(w.selected.form);
    hide_if_shown(w.display.form);
    hide_if_shown(w.help.form);
    hide_if_shown(w.status.form);
    reset_gl_clear_state();
    // The main window goes too: a later start shows it again.
    if (w.main.form) {
        while (w.main.form->frozen > 0) fm_unfreeze_form(w.main.form);
        hide_if_shown(w.main.form);
    }
    if (w.main.backup_timer) fm_set_timer(w.main.backup_timer, 0);
    designer_disconnect();
    editor_state().gui_up = 0;
    graphics_view_forget_pixels();
}

void event_loop() {
    while (!editor_state().quit) {
        designer_turn();
        std::this_thread::sleep_for(kIdlePause);
    }
}

void designer_start() {
    designer_failed() = false;
    if (!platform::window_system_require(kProductName) || !designer_open()) {
        designer_failed() = true;
        return;
    }
    event_loop();
    designer_close();
}

bool &designer_failed() {
    static bool failed = false;
    return failed;
}

void place_main_window() {
    FmForm *form = designer_windows().main.form;
    if (fm_headless() || !form || !form->visible || form->window <= 0) return;
    glutSetWindow(form->window);
    if (full_screen()) {
        glutFullScreen();
        return;
    }
    glutPositionWindow(0, 0);
    glutReshapeWindow(config().window_x, config().window_y);
}

void designer_quit() {
    EditorState &e = editor_state();
    e.quit = 1;
    if (FmForm *form = designer_windows().main.form) fm_freeze_form(form);
}

void exit_callback(FmObject *, long) {
    switch (fm_show_choice("Exit program?", "", "", 3, "Exit", "Continue", "Save+Exit", 2)) {
    case 1:
        designer_quit();
        break;
    case 3:
        designer_quit();
        write_fur_data(run_state().run_mode == kRunModeStandAlone ? 1 : 0);
        break;
    default:
        status_line("Exit cancled");
        redraw_graphics_view();
        break;
    }
}

void backup_timer_callback(FmObject *timer, long) {
    write_hold_file();
    fm_set_timer(timer, config().backup_interval);
}

}  // namespace vellimor
