// The designer on the demo scene on a real X server (Xvfb), driven by XTest pointer and key events
// as a person drives it, and checked by reading the window's pixels back.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

#include "designer_session.h"
#include "editor/designer_callbacks.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ScreenPoint;
using test::XDriver;

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

// One session as a person works through it: the demo shown, its fur previewed, the backups, the
// camera gestures, "Exit" then "Continue", and last the help window.
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

TEST_F(DesignerWindowed, NeverDrawsFurOnlyOnAPlainClick) {
    open();
    click(main->all);
    ASSERT_TRUE(pump_until([&] { return drew_fur(); }));
    DisplayWindowObjects &d = designer_windows().display;
    fm_set_button(d.redraw_never, 1);
    display_settings_callback(d.redraw_never, 0);
    ASSERT_TRUE(pump_until([&] { return !drew_fur(); })) << last_message();
    pump_for(300);
    const test::Snapshot without_fur = driver.grab(window());
    // A drag moves the camera and draws the scene without fur.
    gesture("o", 60, 0);
    EXPECT_FALSE(drew_fur()) << last_message();
    gesture("o", -60, 0);  // back where it was
    pump_for(300);
    // A plain click draws the fur once.
    click(main->graphics);
    EXPECT_TRUE(pump_until([&] { return drew_fur(); })) << last_message();
    pump_for(300);
    EXPECT_GT(view_changes(without_fur, driver.grab(window()), 60), 1000);
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

}  // namespace
}  // namespace vellimor
