// The designer on the demo scene on a real X server (Xvfb), driven by XTest pointer and key events
// as a person drives it and judged by its windows' pixels: a session that never loses work, the
// camera, backups, frames, renders, the rendering window and the programs that open it. The
// pictures taken here illustrate docs/designer.md (scripts/designer-images.sh).
#include <GL/freeglut.h>

#include "designer_session.h"
#include "editor/command_hooks.h"
#include "editor/designer_callbacks.h"
#include "editor/render_settings_rules.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "forms/file_selector.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "host/configuration.h"
#include "render/pic_file.h"
#include "support/fur_square_scene.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ScreenPoint;
using test::XDriver;
using test::pump_for;
using test::pump_until;

bool not_black(test::Rgb c) { return c.r + c.g + c.b > 30; }

class DesignerWindowed : public test::DesignerSession {
protected:
    void camera(float eye[3], float interest[3]) {
        SceneState &s = scene_state();
        SAA_cameraGetPosition(&s.scene, &s.camera, eye);
        SAA_cameraGetInterest(&s.scene, &s.camera, interest);
    }
    // Drags across the graphics view with a letter key held.
    void gesture(const char *key, int dx, int dy, int button = 1) {
        const ScreenPoint c = object_screen(main->graphics);
        driver.key_down(key);
        pump_for(100);
        driver.move(c.x, c.y);
        driver.press(button);
        pump_for(50);
        for (int i = 1; i <= 6; ++i) {
            driver.move(c.x + dx * i / 6, c.y + dy * i / 6);
            pump_for(30);
        }
        driver.release(button);
        driver.key_up(key);
        pump_for(200);
    }
    bool drew_fur() { return last_message().find("#hairs") != std::string::npos; }
    // Backups on (every second), read as the scene is read.
    void with_backups() {
        env.unset("FUR_NO_BACKUP");
        env.set("FUR_BACKUP_INTERVAL", "1");
        free_all();
        close_message_file();
        read_scene();
    }
};

std::string picture_path(const char *name) {
    const fs::path dir = fs::path(test::build_dir()) / "artefacts" / "designer";
    fs::create_directories(dir);
    return (dir / name).string();
}

// A length curve on the Sphere's first key: 0.2 at frame 1, 0.8 at frame 30.
int animate_sphere_length(PatchData &sphere) {
    TextureKey &key = sphere.texture_keys.front();
    const int id = fcurve_create(2, 1.0f, std::array<float, 2>{0.2f, key.length.random});
    HermInsertPoint(*fcurve_find(id)->limits[0].curve, 1, 30.0f, 0.8f);
    return key.length.fcurve_id = id;
}


TEST_F(DesignerWindowed, WindowsAndFieldsAnswerWithoutLosingWork) {
    open();
    select_only({});
    EXPECT_STREQ(fm_get_input(main->length_field), "");  // nothing selected: no values shown
    select_only({"Sphere"});
    EXPECT_TRUE(driver.save_png(window(), picture_path("main-window.png")));

    // The close request does what each window's own close control does; its button opens it again.
    DesignerWindows &w = designer_windows();
    const std::pair<FmObject *, FmForm *> toggling[] = {{main->display, w.display.form}, {main->help, w.help.form},
                                                        {main->selected, w.selected.form}, {main->dynamic, w.dynamic.form},
                                                        {main->fcurve, curve_editor().form}};
    for (const auto &[button, form] : toggling) {
        for (int round = 0; round < 2; ++round) {
            click(object_screen(button));
            ASSERT_TRUE(pump_until([&] { return shown(form); })) << button->label;
            if (form == w.display.form) driver.save_png(test::native_window(form), picture_path("display-settings.png"));
            if (form == w.help.form) {  // over the graphics view, clear of the controls below it
                int hx = 0, hy = 0;
                driver.window_origin(test::native_window(form), &hx, &hy);
                EXPECT_LE(hy + int(form->h), int(main->graphics->h));
            }
            driver.close_request(test::native_window(form));
            ASSERT_TRUE(pump_until([&] { return !form->visible; })) << button->label;
        }
    }
    // The modal windows: the close request and Escape cancel them, and the main window answers.
    FmForm *render = render_settings_window().form, *menu = scene_menu_window().form;
    click(object_screen(main->render));
    ASSERT_TRUE(pump_until([&] { return shown(render); }));
    EXPECT_TRUE(driver.save_png(test::native_window(render), picture_path("render-settings.png")));
    driver.close_request(test::native_window(render));
    ASSERT_TRUE(pump_until([&] { return !render->visible && main->form->deactivated == 0; }));
    click(object_screen(main->file));
    ASSERT_TRUE(pump_until([&] { return shown(menu); }));
    driver.move(object_screen(scene_menu_window().close).x, object_screen(scene_menu_window().close).y);
    pump_for(50);
    driver.key("Escape");
    ASSERT_TRUE(pump_until([&] { return !menu->visible && main->form->deactivated == 0; }));
    {  // The main window's close request asks whether to exit; Escape answers "Continue".
        test::Answer escape("Question", [](test::XDriver &d, unsigned long question) {
            d.save_png(question, picture_path("exit-question.png"));
            d.key("Escape");
        });
        driver.close_request(window());
        ASSERT_TRUE(pump_until([&] { return escape.seen() && message("Exit cancled"); }));
    }
    EXPECT_TRUE(editor_state().quit == 0 && shown(main->form) && main->form->deactivated == 0);

    // Letters typed into a field of the selected keys: the keys, their curves and the view stay.
    PatchData &sphere = record("Sphere");
    for (TextureKey &key : sphere.texture_keys) key.selected = &key == &sphere.texture_keys.front();
    keymap_load_sliders();
    display_settings()->autokey_fcurves = 1;
    pump_for(300);
    const float length = sphere.texture_keys.front().length.value;
    const std::string shown_length = fm_get_input(main->length_field);
    const test::Snapshot before = driver.grab(window());
    enter(main->length_field, "abc");
    ASSERT_TRUE(pump_until([&] { return message("WARNING: \"abc\" is not a number: the field keeps its value"); }));
    pump_for(300);
    EXPECT_EQ(sphere.texture_keys.front().length.value, length);
    EXPECT_EQ(fcurve_count(), 0);
    EXPECT_EQ(fm_get_input(main->length_field), shown_length);
    EXPECT_EQ(view_changes(before, driver.grab(window())), 0);
    EXPECT_LE(fm_text_width("0.060", main->length_random_field->lsize, FM_NORMAL_STYLE), main->length_random_field->w - 8);

    // "M" shows the numeric direction fields, which set the selected key's direction.
    click(object_screen(main->direction_fields_mode));
    ASSERT_TRUE(pump_until([&] { return main->dir_u_field->visible && !main->direction->visible; }));
    enter(main->dir_u_field, "0.25");
    ASSERT_TRUE(pump_until([&] { return sphere.texture_keys.front().grow.valueU == 0.25f; }));
    // M held with the middle button is no gesture: the key keeps its colour.
    hold("m");
    click(map_screen(0.5f, 0.5f), 2);
    let_go("m");
    EXPECT_TRUE(sphere.texture_keys.front().color_active[kColorDiffuse]);

    // "Picture" takes the selected colour key's colour from a picture, as the Color row's "T".
    const std::string picture = work.path() + "/red.pic";
    ASSERT_TRUE(pic_save(picture, *pic_create(8, 8, false)));
    {
        test::Answer open("Open texture file", [&](test::XDriver &d, unsigned long) {
            d.release(1);  // the toggle opens the selector as it is pressed
            d.type(picture + "\r");
        });
        click(object_screen(main->color_picture));
        ASSERT_TRUE(pump_until([&] { return open.seen() && sphere.main_color_keys[0][0].this_key_uses_picture; }));
    }
    EXPECT_TRUE(fm_get_button(main->color_picture) && fm_get_button(main->channel_texture[0]));

    // Shift+G1 takes the group from every patch not selected, the deleted ones too.
    record("Flag").group = 1;
    select_only({"Flag"});
    click(object_screen(main->del));
    select_only({"Sphere"});
    hold("Shift_L");
    click(object_screen(main->group[0]));
    let_go("Shift_L");
    ASSERT_TRUE(pump_until([&] { return (record("Sphere").group & 1) != 0; }));
    EXPECT_EQ(record("Flag").deleted, 1);
    EXPECT_EQ(record("Flag").group & 1, 0);

    // "Scene saved ..." stays in view over the drawing that follows it.
    click(object_screen(main->file));
    ASSERT_TRUE(pump_until([&] { return shown(menu); }));
    click(object_screen(scene_menu_window().save_scene));
    ASSERT_TRUE(pump_until([&] { return !menu->visible && message("Scene saved ..."); }));
    pump_for(500);
    EXPECT_TRUE(message("Scene saved ...", true));
}

TEST_F(DesignerWindowed, AFrameChangeShowsTheNewFrameAndARenderKeepsIt) {
    open();
    select_only({"Sphere"});
    animate_sphere_length(record("Sphere"));
    redraw_views();
    pump_for(500);
    const test::Snapshot first = driver.grab(window());
    // The Flag moves to frame 30 in the drawing that shows the fur there; the panel follows.
    enter(main->frame_field, "30");
    ASSERT_TRUE(pump_until([&] { return scene_state().current_frame == 30; }));
    pump_for(1500);
    const test::Snapshot typed = driver.grab(window());
    redraw_graphics_view();
    pump_for(1500);
    EXPECT_GT(view_changes(first, typed), 500);
    EXPECT_EQ(view_changes(typed, driver.grab(window())), 0);
    EXPECT_STREQ(fm_get_input(main->length_field), "0.80");
    enter(main->frame_field, "1x");
    ASSERT_TRUE(pump_until([&] { return message("WARNING: \"1x\" is not a number: the field keeps its value"); }));
    EXPECT_STREQ(fm_get_input(main->frame_field), "30");

    // Frame 15 rendered alone: opaque without "Render alpha", and the frame controls show 15.
    RenderSettingsWindow &r = render_settings_window();
    click(object_screen(main->render));
    ASSERT_TRUE(pump_until([&] { return shown(r.form); }));
    const std::string output = work.path() + "/frame";
    fm_set_input(r.output, output.c_str());
    fm_set_input(r.x, "160");
    render_settings_resolution_changed(r.x, 0);
    fm_set_input(r.start, "15");
    fm_set_input(r.end, "15");
    render_settings_range_changed(r.start, 0);
    ASSERT_FALSE(fm_get_button(r.render_alpha));
    click(object_screen(r.render));
    ASSERT_TRUE(pump_until([&] { return fs::exists(output + ".15.pic") && !r.form->visible; }));
    const auto rendered = pic_read_file(output + ".15.pic");
    ASSERT_TRUE(rendered);
    if (rendered->has_plane(kPicAlpha)) {
        EXPECT_EQ(std::count(rendered->alpha().begin(), rendered->alpha().end(), 255), long(rendered->pixel_count()));
    }
    EXPECT_STREQ(fm_get_input(main->frame_field), "15");
    click(object_screen(main->frame_next));
    ASSERT_TRUE(pump_until([&] { return scene_state().current_frame == 16; }));
}

// Shift held at start, "Yes" and the hold file chosen: the backup's records and curves come back.
TEST_F(DesignerWindowed, ABackupRestoresTheFunctionCurvesAndScenesOpenWhole) {
    open();
    select_only({"Sphere"});
    const int length_curve = animate_sphere_length(record("Sphere"));
    record("Flag").wind_length.active = 1;
    record("Flag").wind_length.fcurve_id = fcurve_create(1, 1.0f, std::array<float, 1>{0.3f});
    config().backup = 1;
    record("Sphere").presistant_rebuild = 1;  // in the backup only
    ASSERT_EQ(write_hold_file(), 1);
    record("Sphere").presistant_rebuild = 0;
    // The designer starts again with Shift held: "Yes" to the question, the hold file chosen.
    designer_close();
    fcurve_delete_all();
    driver.key_down("Shift_L");
    {
        test::Answer yes("Question", [](test::XDriver &d, unsigned long) {
            d.key("Return");
            d.key_up("Shift_L");
        });
        test::Answer chosen("Select holdfile", [&](test::XDriver &d, unsigned long selector) {
            int x = 0, y = 0;
            d.window_origin(selector, &x, &y);
            d.click(x + 100, y + int(kFmFileSelectorHeight) - 72);  // the "File name:" field
            d.type(scene_state().hold_file_path + "\r");
        });
        ASSERT_TRUE(designer_open());
        EXPECT_TRUE(yes.seen() && chosen.seen());
    }
    driver.key_up("Shift_L");
    EXPECT_EQ(record("Sphere").presistant_rebuild, 1);
    EXPECT_EQ(record("Ground").presistant_rebuild, 0);
    ASSERT_EQ(fcurve_count(), 2);
    ASSERT_EQ(record("Sphere").texture_keys.front().length.fcurve_id, length_curve);
    EXPECT_NE(fcurve_find(record("Flag").wind_length.fcurve_id), nullptr);
    // The curve editor lists the animated length and draws its curve (red) across the frames.
    select_only({"Sphere"});
    record("Sphere").texture_keys.front().selected = 1;
    CurveEditor &e = curve_editor();
    fm_set_form_position(e.form, 20, 20);  // wholly on the screen, to be read back
    click(object_screen(main->fcurve));
    ASSERT_TRUE(pump_until([&] { return shown(e.form) && e.initialised; }));
    EXPECT_EQ(std::string(fm_get_browser_line(e.list, 1)), "*Sphere-1-L");
    pump_for(300);
    EXPECT_TRUE(driver.save_png(test::native_window(e.form), picture_path("curve-editor.png")));
    const test::Snapshot area = driver.grab(test::native_window(e.form));
    int red_columns = 0;
    for (int x = 0; x < int(e.area->w); ++x)
        for (int y = 0; y < area.height(); ++y)
            if (red(area.at(x, y))) {
                ++red_columns;
                break;
            }
    EXPECT_GT(red_columns, 200);

    // A scene that can't be opened leaves no selection behind; one that opens has its surfaces
    // and the main window its size again. As the host runs the designer, the database is loaded.
    run_state().run_mode = kRunModeInternal;
    glutSetWindow(main->form->window);
    glutReshapeWindow(640, 480);
    int width = 0, height = 0;
    ASSERT_TRUE(pump_until([&] { return driver.window_size(window(), &width, &height) && width == 640; }));
    EXPECT_FALSE(open_scene_file(database + "/SCENES/missing.dsc"));
    EXPECT_EQ(fm_get_browser_maxline(main->browser), 0);
    EXPECT_STREQ(fm_get_input(main->length_field), "");
    ASSERT_TRUE(open_scene_file(database + "/SCENES/furball.dsc"));
    EXPECT_EQ(fm_get_browser_maxline(main->browser), 3);
    EXPECT_TRUE(pump_until([&] { return driver.window_size(window(), &width, &height) && width == 1280 && height == 1024; }));
}

// One session as a person works through it: the demo shown, its fur previewed, the backups, the
// camera gestures, drawing without fur, "Exit" then "Continue", and last the help window.
TEST_F(DesignerWindowed, ASessionOnTheDemo) {
    with_backups();
    open();
    EXPECT_EQ(fm_get_browser_maxline(main->browser), 3);
    EXPECT_STREQ(fm_get_browser_line(main->browser, 1), "Sphere");
    const test::Snapshot before = driver.grab(window());
    ASSERT_EQ(before.width(), fm_screen_width());  // full screen without FUR_SIZE
    // The control band shows its controls, not a black window; the scene's objects are lit.
    int lit = 0;
    for (int y = before.height() - 257; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) lit += not_black(before.at(x, y));
    EXPECT_GT(lit, int(main->form->first->w) * 257 * 9 / 10);
    EXPECT_GT(count_in(before, main->graphics, not_black), 20000);

    // "All" selects the three surfaces; the view then shows their previewed fur.
    const test::Snapshot without_fur = driver.grab(window());
    click(main->all);
    ASSERT_TRUE(pump_until([&] { return count_selected(0, 0, nullptr, 0) == 3; }));
    ASSERT_TRUE(pump_until([&] { return drew_fur(); })) << last_message();
    pump_for(300);
    EXPECT_GT(view_changes(without_fur, driver.grab(window()), 60), 2000) << "no fur drawn over the scene";

    // "Never" redraws: a drag moves the camera and draws the scene without fur, a plain click
    // draws the fur once.
    DisplayWindowObjects &d = designer_windows().display;
    fm_set_button(d.redraw_never, 1);
    display_settings_callback(d.redraw_never, 0);
    ASSERT_TRUE(pump_until([&] { return !drew_fur(); })) << last_message();
    pump_for(300);
    const test::Snapshot never = driver.grab(window());
    gesture("o", 60, 0);
    EXPECT_FALSE(drew_fur()) << last_message();
    gesture("o", -60, 0);  // back where it was
    pump_for(300);
    click(main->graphics);
    EXPECT_TRUE(pump_until([&] { return drew_fur(); })) << last_message();
    pump_for(300);
    EXPECT_GT(view_changes(never, driver.grab(window()), 60), 1000);

    // A backup appears within the interval, with every surface.
    const std::string hold = scene_state().hold_file_path;
    ASSERT_TRUE(fs::exists(hold));  // the first backup, written at the start
    fs::remove(hold);
    ASSERT_TRUE(pump_until([&] { return fs::exists(hold); }));
    const std::string text = test::read_file(hold);
    for (const char *name : {"Sphere", "Ground", "Flag"})
        EXPECT_NE(text.find(std::string(" ") + name + "\n"), std::string::npos) << name;

    // Orbit, pan and dolly move the host camera.
    driver.focus(window());
    float eye0[3], at0[3], eye1[3], at1[3];
    camera(eye0, at0);
    gesture("o", 120, 0);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(eye1[0] - eye0[0]) + std::fabs(eye1[2] - eye0[2]), 0.05f) << "orbit";
    EXPECT_EQ(editor_state().camera_mode, kCameraIdle);
    camera(eye0, at0);
    gesture("z", 80, 40);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(at1[0] - at0[0]) + std::fabs(at1[1] - at0[1]) + std::fabs(at1[2] - at0[2]), 0.01f) << "pan";
    auto distance = [](const float *a, const float *b) {
        return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
    };
    camera(eye0, at0);
    gesture("p", 0, 120, 3);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(distance(eye1, at1) - distance(eye0, at0)), 0.05f) << "dolly";

    // "Exit", then "Continue", cancels.
    {
        test::Answer answer("Question", [](XDriver &d, unsigned long dialog) {
            test::click_in(d, dialog, test::dialog_answer(3, 2));
        });
        click(main->exit);
        EXPECT_TRUE(pump_until([&] { return message("Exit cancled"); })) << last_message();
    }
    EXPECT_EQ(editor_state().quit, 0);

    // Help shows the text of the control under the pointer, wrapped.
    click(main->help);
    FmForm *help = designer_windows().help.form;
    ASSERT_TRUE(pump_until([&] { return shown(help); }));
    FmObject *help_text = designer_windows().help.text;
    auto first_line = [&] { return std::string(fm_get_browser_maxline(help_text) ? fm_get_browser_line(help_text, 1) : ""); };
    ScreenPoint p = object_screen(main->exit);
    driver.move(p.x, p.y);
    EXPECT_TRUE(pump_until([&] { return first_line() == "This button Exits the program."; })) << first_line();
    p = test::on_screen(driver, main->form, 600, 37);  // an empty place of the window
    driver.move(p.x, p.y);
    EXPECT_TRUE(pump_until([&] { return first_line() == "No help for this object"; })) << first_line();
    p = object_screen(main->group[0]);
    driver.move(p.x, p.y);
    EXPECT_TRUE(pump_until([&] { return first_line().rfind("These are object groups.", 0) == 0; })) << first_line();
    EXPECT_GT(fm_get_browser_maxline(help_text), 3);
    for (int i = 1; i <= fm_get_browser_maxline(help_text); ++i)
        EXPECT_LT(std::string(fm_get_browser_line(help_text, i)).size(), 56u);
}

TEST_F(DesignerWindowed, SaveAndExitWritesTheFurIntoTheScene) {
    open();
    const std::string scene_file = database + "/SCENES/furball.dsc";
    fs::last_write_time(scene_file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const auto before = fs::last_write_time(scene_file);
    click(main->browser, 0.3f, 1.0f - 9.0f / main->browser->h);  // the first line: Sphere
    ASSERT_TRUE(pump_until([&] { return scene_state().current_patch == 0; }));
    click(main->persistent);
    ASSERT_TRUE(pump_until([&] { return scene_state().patches[0]->presistant_rebuild == 1; }));
    {
        test::Answer answer("Question", [](XDriver &d, unsigned long dialog) {
            test::click_in(d, dialog, test::dialog_answer(3, 3));  // "Save+Exit"
        });
        click(main->exit);
        EXPECT_TRUE(pump_until([&] { return editor_state().quit != 0; }));
    }
    designer_close();
    opened = false;
    EXPECT_GT(fs::last_write_time(scene_file), before);

    // The scene holds the change, and every surface keeps its fur.
    free_all();
    close_message_file();
    read_scene();
    read_fur_data(1);
    ASSERT_EQ(scene_state().patches.size(), 3u);
    EXPECT_EQ(scene_state().patches[0]->presistant_rebuild, 1);
    EXPECT_EQ(scene_state().patches[1]->presistant_rebuild, 0);

    // A batch render of the saved scene draws the same fur as one of the demo.
    const std::string saved = test::read_file(batch_frame(database, "saved", 96, 72));
    EXPECT_FALSE(saved.empty());
    EXPECT_EQ(saved, test::read_file(batch_frame(test::demo_database(), "demo", 96, 72)));
}

TEST_F(DesignerWindowed, ShiftHeldAtStartAndNoStartsFromDefaultFur) {
    driver.key_down("Shift_L");
    {
        test::Answer no("Question", [](XDriver &d, unsigned long) {
            d.key("Escape");
            d.key_up("Shift_L");
        });
        ASSERT_TRUE(designer_open());
        opened = true;
        EXPECT_TRUE(no.seen());
    }
    // Default records have one unplaced key, though the scene stores keyed fur.
    for (const auto &p : scene_state().patches) {
        ASSERT_EQ(p->texture_keys.size(), 1u) << p->name;
        EXPECT_LT(p->texture_keys.front().u, 0.0f) << p->name;
    }
}

// The programs open the designer as a person starts it; "Exit" and the dialog's "Exit" end it.
TEST(DesignerPrograms, StandAloneInternalAndEditOpenTheDesigner) {
    test::TempDir work;
    const std::string db = work.path() + "/db";
    fs::copy(test::demo_database(), db, fs::copy_options::recursive);
    for (const auto &[program, command] : std::vector<std::pair<std::string, std::string>>{
             {"vellimor", ""}, {"vellimor-host", "internal"}, {"vellimor-host", "edit"}}) {
        std::vector<std::string> args = {"-d", db, "-s", "furball"};
        if (!command.empty()) args.insert(args.begin(), command);
        test::ProgramResult result;
        std::atomic<bool> done{false};
        std::thread runner([&] {
            // The GL driver is unloaded before the leak check, which then can't tell its
            // allocations from ours; the in-process tests check ours.
            result = test::run_program(program, args,
                                       {{"TEMP", work.path()}, {"FUR_SIZE", "800, 640"},
                                        {"VELLIMOR_PLUGIN", std::nullopt}, {"ASAN_OPTIONS", "detect_leaks=0"}},
                                       work.path());
            done = true;
        });
        XDriver x;
        const int windows_before = x.mapped_toplevel_count();
        unsigned long window = 0;
        test::Snapshot shot;
        const bool shown = test::wait_for([&] {
            return done || (x.mapped_toplevel_count() > windows_before && (window = x.topmost_toplevel()) != 0);
        });
        if (shown && !done) {
            test::sleep_ms(2000);  // the first drawing of the view
            shot = x.grab(window);
            // "Exit" is the last button of the bottom row (design 1280 x 1024 scaled to 800 x 640),
            // then "Exit" in the dialog.
            test::click_in(x, window, {800 - 15, 640 - 8});
            unsigned long dialog = 0;
            if (test::wait_for([&] { return (dialog = x.topmost_toplevel()) != window && dialog != 0; })) {
                test::sleep_ms(500);
                test::click_in(x, dialog, test::dialog_answer(3, 1));
            }
        }
        runner.join();
        EXPECT_EQ(result.status, 0) << program << ": " << result.err;
        ASSERT_EQ(shot.width(), 800) << program;
        ASSERT_EQ(shot.height(), 640) << program;
        // The window shows the scene above and the controls below, not a black window.
        int lit = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x0 = 0; x0 < shot.width(); ++x0) lit += not_black(shot.at(x0, y));
        EXPECT_GT(lit, 800 * 640 / 3) << program;
    }
}

// Pixels of the fur's red colour.
int fur_pixels(const test::Snapshot &image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const test::Rgb c = image.at(x, y);
            count += c.r > 60 && c.r > c.g + 30 && c.r > c.b + 30;
        }
    return count;
}

int fur_pixels(PicImage &picture) {
    int count = 0;
    for (size_t i = 0; i < picture.pixel_count(); ++i)
        count += picture.red()[i] > 60 && picture.red()[i] > picture.green()[i] + 30;
    return count;
}

// "Render" in the render settings window: the "Rendering" window shows the frames being rendered,
// and each frame is saved as "<output>.<frame>.pic".
TEST(RenderWindow, ShowsTheRenderedFramesAndSavesThem) {
    fm_init();
    ASSERT_FALSE(fm_headless());
    test::XDriver driver;
    test::TempDir work;
    const std::string database = work.path() + "/db";
    testing::FurSceneOptions options;
    options.end = 4;
    testing::write_fur_scene(database, options);
    ASSERT_TRUE(open_scene_file(database + "/SCENES/fur.dsc"));
    render_settings_state_reset();
    command_hooks() = {};

    RenderSettingsWindow &w = render_settings_window();
    fm_set_form_position(create_render_settings_window(), 30, 30);
    render_settings_show();
    ASSERT_TRUE(pump_until([&] { return w.form->window > 0 && driver.window_viewable(test::native_window(w.form)); }));
    pump_for(200);
    const std::string output = work.path() + "/shot";
    fm_set_input(w.output, output.c_str());
    fm_set_input(w.x, "240");
    w.x->callback(w.x, 0);
    pump_for(100);

    // A second connection watches the "Rendering" window while the loop renders.
    std::atomic<int> best{0};
    std::atomic<bool> seen{false}, stop{false};
    std::thread watcher([&] {
        test::XDriver screen;
        const auto end = test::Clock::now() + std::chrono::seconds(60);
        while (!stop && test::Clock::now() < end) {
            if (unsigned long window = screen.find_window("Rendering frame")) {
                seen = true;
                best = std::max(best.load(), fur_pixels(screen.grab(window)));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const test::ScreenPoint render = test::on_screen(driver, w.render);
    driver.click(render.x, render.y);
    const bool rendered = pump_until([&] { return fs::exists(output + ".4.pic"); }, test::toolkit_turn, 60);
    pump_for(100);
    stop = true;
    watcher.join();

    ASSERT_TRUE(rendered);
    EXPECT_TRUE(seen);
    EXPECT_GT(best.load(), 200);
    for (int frame = 1; frame <= 4; ++frame) {
        auto picture = pic_read_file(output + "." + std::to_string(frame) + ".pic");
        ASSERT_TRUE(picture) << frame;
        EXPECT_EQ(picture->width, 240);
        EXPECT_EQ(picture->height, 180);
        EXPECT_GT(fur_pixels(*picture), 200);
    }
    EXPECT_FALSE(w.form->visible);
    EXPECT_EQ(scene_state().start_frame, 1);
    free_all();
    fcurve_delete_all();
    reset_globals();
}

}  // namespace
}  // namespace vellimor
