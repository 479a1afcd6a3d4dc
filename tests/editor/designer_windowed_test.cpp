// The designer on the demo scene on a real X server (Xvfb), driven by XTest pointer and key events
// as a person drives it, and checked by reading the window's pixels back.
#include <GL/freeglut.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

#include "e2e/run_program.h"
#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/main_loop.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "host/test_env.h"
#include "platform/window_system.h"
#include "support/paths.h"
#include "forms/x_driver.h"

// The GL driver stays loaded, so that the leak suppressions can name what it keeps.
const bool kDriverKept = [] {
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(path, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE)) return true;
    return false;
}();

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::XDriver;

constexpr auto kTimeout = std::chrono::seconds(20);

struct Point {
    int x, y;
};

struct Image {
    std::vector<unsigned char> rgb;
    int w = 0, h = 0;
    const unsigned char *at(int x, int y) const { return &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
};

unsigned long native(const FmForm *form) {
    glutSetWindow(form->window);
    return glutGetHWND(0);
}

// Polls from a driver thread (no toolkit calls there) until the condition holds.
bool wait_for(const std::function<bool()> &done) {
    const auto end = Clock::now() + kTimeout;
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The centre of answer n (from 1) of a choice dialog with `count` answers and short lines, in
// the dialog window's pixels.
Point dialog_answer(int count, int n) {
    constexpr float kWidth = 400, kHeight = 138, kButton = 100, kMargin = 14;
    const float spacing = (kWidth - float(count) * kButton) / float(count + 1);
    return {int(spacing + float(n - 1) * (kButton + spacing) + kButton / 2), int(kHeight - kMargin - 15)};
}

// Answers the next dialog from a thread of its own while the designer's thread waits in it.
class DialogAnswerer {
public:
    DialogAnswerer(unsigned long main_window, std::function<void(XDriver &, unsigned long)> answer)
        : thread_([this, main_window, answer] {
              XDriver x;
              unsigned long dialog = 0;
              if (!wait_for([&] {
                      dialog = x.topmost_toplevel();
                      return dialog && dialog != main_window && x.window_viewable(dialog);
                  }))
                  return;
              std::this_thread::sleep_for(std::chrono::milliseconds(300));
              answer(x, dialog);
              answered_ = true;
          }) {}
    ~DialogAnswerer() { thread_.join(); }
    bool answered() const { return answered_; }

private:
    std::atomic<bool> answered_{false};
    std::thread thread_;
};

void click_in(XDriver &x, unsigned long window, Point p) {
    int ox = 0, oy = 0;
    x.window_origin(window, &ox, &oy);
    x.click(ox + p.x, oy + p.y);
}

// Answers the two-answer question box that opens while Shift is held at start, letting Shift go
// first. Windows the designer creates are mapped for a moment, so the box is told by its size, and
// the click is repeated until the box is gone: a click that lands while it is being mapped is lost.
bool answer_start_question(XDriver &d, int answer) {
    auto question_on_top = [&]() -> unsigned long {
        const unsigned long top = d.topmost_toplevel();
        int w = 0, h = 0;
        return top && d.window_viewable(top) && d.window_size(top, &w, &h) && w == 400 && h == 138 ? top : 0;
    };
    if (!wait_for([&] { return question_on_top() != 0; })) return false;
    d.key_up("Shift_L");
    for (int tries = 0; tries < 40; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const unsigned long question = question_on_top();
        if (!question) return true;
        click_in(d, question, dialog_answer(2, answer));
    }
    return false;
}

class DesignerWindowed : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::window_system_init("Vellimor")) << "no X display";
        ASSERT_TRUE(x.ok());
        env.set("TEMP", work.path());
        env.set("FUR_BACKUP_INTERVAL", "1");
        env.unset("FUR_NO_BACKUP");
        env.unset("FUR_SIZE");
        env.unset("FUR_DONT_MOVE_MOUSE");
        database = work.path() + "/db";
        fs::copy(test::demo_database(), database, fs::copy_options::recursive);
        read_scene();
    }

    void read_scene() {
        reset_globals();
        run_state().run_mode = kRunModeStandAlone;
        version_banner();
        open_message_file();
        ASSERT_EQ(MY_read_scene("furball", database.c_str()), 0);
    }

    void open_designer() {
        ASSERT_TRUE(designer_open());
        opened = true;
        ASSERT_TRUE(pump_until([&] { return x.window_viewable(main_window()); }));
        // The full-screen window settles, then the first drawing of the view is done.
        pump_for(500);
    }

    void TearDown() override {
        if (opened) {
            if (!editor_state().quit) designer_quit();
            designer_close();
        }
        free_all();
        close_message_file();
        status_reset();
        reset_globals();
    }

    bool pump_until(const std::function<bool()> &done) {
        const auto end = Clock::now() + kTimeout;
        while (Clock::now() < end) {
            designer_turn();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    void pump_for(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            designer_turn();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    MainWindowObjects &main() { return designer_windows().main; }
    unsigned long main_window() { return native(main().form); }

    // The screen pixel of a point given as fractions of the object's rectangle.
    Point on_screen(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        int ox = 0, oy = 0;
        x.window_origin(native(obj->form), &ox, &oy);
        const float px = obj->x + obj->w * fx, py = obj->y + obj->h * fy;
        return {ox + int(std::lround(px)), oy + int(std::lround(obj->form->h - 1 - py))};
    }

    void click(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        const Point p = on_screen(obj, fx, fy);
        x.click(p.x, p.y);
    }

    Image grab() {
        Image image;
        image.rgb = x.grab_rgb(main_window(), &image.w, &image.h);
        return image;
    }

    // Pixels of the object's rectangle (window pixels) that satisfy `test`.
    int count_in(const Image &image, const FmObject *obj, const std::function<bool(const unsigned char *)> &test) {
        int n = 0;
        const int x0 = int(obj->x), x1 = int(obj->x + obj->w);
        const int y0 = int(obj->form->h - (obj->y + obj->h)), y1 = int(obj->form->h - obj->y);
        for (int y = std::max(0, y0); y < std::min(image.h, y1); ++y)
            for (int xx = std::max(0, x0); xx < std::min(image.w, x1); ++xx) n += test(image.at(xx, y)) ? 1 : 0;
        return n;
    }

    std::string last_message() {
        FmObject *area = main().message_area;
        const int n = fm_get_browser_maxline(area);
        return n > 0 ? fm_get_browser_line(area, n) : "";
    }

    bool shown_message(const std::string &text) {
        FmObject *area = main().message_area;
        for (int i = 1; i <= fm_get_browser_maxline(area); ++i)
            if (text == fm_get_browser_line(area, i)) return true;
        return false;
    }

    void camera(float eye[3], float interest[3]) {
        SceneState &s = scene_state();
        SAA_cameraGetPosition(&s.scene, &s.camera, eye);
        SAA_cameraGetInterest(&s.scene, &s.camera, interest);
    }

    // Drags across the graphics view with a letter key held.
    void gesture(const char *key, int dx, int dy, int button = 1) {
        const Point c = on_screen(main().graphics);
        x.key_down(key);
        pump_for(100);
        x.move(c.x, c.y);
        x.press(button);
        pump_for(50);
        for (int i = 1; i <= 6; ++i) {
            x.move(c.x + dx * i / 6, c.y + dy * i / 6);
            pump_for(30);
        }
        x.release(button);
        x.key_up(key);
        pump_for(200);
    }

    test::ScopedEnv env;
    test::TempDir work;
    XDriver x;
    std::string database;
    bool opened = false;
};

TEST_F(DesignerWindowed, StartsOnTheDemoAndPreviewsTheSelectedFur) {
    open_designer();
    EXPECT_EQ(fm_get_browser_maxline(main().browser), 3);
    EXPECT_STREQ(fm_get_browser_line(main().browser, 1), "Sphere");

    auto not_black = [](const unsigned char *p) { return p[0] + p[1] + p[2] > 30; };
    const Image before = grab();
    ASSERT_EQ(before.w, fm_screen_width());  // full screen without FUR_SIZE
    EXPECT_TRUE(x.save_png(main_window(), (fs::path(test::build_dir()) / "designer-start.png").string()));
    // The control band shows its controls, not a black window.
    FmObject *band = main().form->first;  // the background box covers the whole window
    const int band_pixels = int(band->w) * 257;
    int lit = 0;
    for (int y = before.h - 257; y < before.h; ++y)
        for (int xx = 0; xx < before.w; ++xx) lit += not_black(before.at(xx, y)) ? 1 : 0;
    EXPECT_GT(lit, band_pixels * 9 / 10);
    // The scene is drawn in the view: its objects are lit.
    EXPECT_GT(count_in(before, main().graphics, not_black), 20000);

    // "All" selects the three surfaces; the view then shows their previewed fur.
    click(main().all);
    ASSERT_TRUE(pump_until([&] { return count_selected(0, 0, nullptr, 0) == 3; }));
    ASSERT_TRUE(pump_until([&] { return last_message().find("#hairs") != std::string::npos; })) << last_message();
    pump_for(300);
    const Image after = grab();
    EXPECT_TRUE(x.save_png(main_window(), (fs::path(test::build_dir()) / "designer-fur.png").string()));
    int changed = 0;
    const FmObject *view = main().graphics;
    for (int y = int(main().form->h - view->y - view->h); y < int(main().form->h - view->y); ++y)
        for (int xx = 0; xx < after.w; ++xx) {
            const unsigned char *a = before.at(xx, y), *b = after.at(xx, y);
            changed += std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 60 ? 1 : 0;
        }
    EXPECT_GT(changed, 2000) << "no fur drawn over the scene";
    EXPECT_NE(last_message().find("#hairs"), std::string::npos);
}

TEST_F(DesignerWindowed, OrbitPanAndDollyMoveTheHostCamera) {
    open_designer();
    x.focus(main_window());
    float eye0[3], at0[3], eye1[3], at1[3];
    camera(eye0, at0);
    gesture("o", 120, 0);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(eye1[0] - eye0[0]) + std::fabs(eye1[2] - eye0[2]), 0.05f) << "orbit";
    EXPECT_EQ(editor_state().camera_mode, kCameraIdle);

    camera(eye0, at0);
    gesture("z", 80, 40);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(at1[0] - at0[0]) + std::fabs(at1[1] - at0[1]) + std::fabs(at1[2] - at0[2]), 0.01f)
        << "pan";

    auto distance = [](const float *a, const float *b) {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
    };
    camera(eye0, at0);
    gesture("p", 0, 120, 3);
    camera(eye1, at1);
    EXPECT_GT(std::fabs(distance(eye1, at1) - distance(eye0, at0)), 0.05f) << "dolly";
}

TEST_F(DesignerWindowed, NeverDrawsFurOnlyOnAPlainClick) {
    open_designer();
    x.focus(main_window());
    click(main().all);
    ASSERT_TRUE(pump_until([&] { return last_message().find("#hairs") != std::string::npos; }));
    DisplayWindowObjects &d = designer_windows().display;
    fm_set_button(d.redraw_never, 1);
    display_settings_callback(d.redraw_never, 0);
    ASSERT_TRUE(pump_until([&] { return last_message().find("#hairs") == std::string::npos; })) << last_message();
    const FmObject *view = main().graphics;
    auto view_pixels = [&] {
        const Image image = grab();
        std::vector<unsigned char> part;
        for (int y = int(main().form->h - view->y - view->h); y < int(main().form->h - view->y); ++y)
            part.insert(part.end(), image.at(0, y), image.at(0, y) + image.w * 3);
        return part;
    };
    pump_for(300);
    const auto without_fur = view_pixels();
    // A drag moves the camera and draws the scene without fur.
    gesture("o", 60, 0);
    EXPECT_EQ(last_message().find("#hairs"), std::string::npos) << last_message();
    gesture("o", -60, 0);  // back where it was
    pump_for(300);
    // A plain click draws the fur once.
    click(main().graphics);
    EXPECT_TRUE(pump_until([&] { return last_message().find("#hairs") != std::string::npos; })) << last_message();
    pump_for(300);
    const auto with_fur = view_pixels();
    ASSERT_EQ(with_fur.size(), without_fur.size());
    int changed = 0;
    for (size_t i = 0; i < with_fur.size(); i += 3)
        changed += std::abs(with_fur[i] - without_fur[i]) + std::abs(with_fur[i + 1] - without_fur[i + 1]) > 60 ? 1 : 0;
    EXPECT_GT(changed, 1000);
}

TEST_F(DesignerWindowed, FrameFieldClampsToThePlayRange) {
    open_designer();
    const SceneState &s = scene_state();
    click(main().frame_field);
    x.type("\b\b\b\b-50\r");
    ASSERT_TRUE(pump_until([&] { return std::string(fm_get_input(main().frame_field)) == std::to_string(s.start_frame); }))
        << fm_get_input(main().frame_field);
    EXPECT_EQ(s.current_frame, s.start_frame);
    click(main().frame_next);
    ASSERT_TRUE(pump_until([&] { return s.current_frame == s.start_frame + 1; }));
    EXPECT_EQ(std::string(fm_get_input(main().frame_field)), std::to_string(s.start_frame + 1));
}

TEST_F(DesignerWindowed, BackupAppearsWithinTheIntervalWithEverySurface) {
    open_designer();
    const std::string hold = scene_state().hold_file_path;
    ASSERT_TRUE(fs::exists(hold));  // the first backup, written at the start
    fs::remove(hold);
    ASSERT_TRUE(pump_until([&] { return fs::exists(hold); }));
    const std::string text = test::read_file(hold);
    for (const char *name : {"Sphere", "Ground", "Flag"})
        EXPECT_NE(text.find(std::string(" ") + name + "\n"), std::string::npos) << name;
}

TEST_F(DesignerWindowed, ExitThenContinueCancels) {
    open_designer();
    {
        DialogAnswerer answer(main_window(), [](XDriver &d, unsigned long dialog) {
            click_in(d, dialog, dialog_answer(3, 2));  // "Continue"
        });
        click(main().exit);
        EXPECT_TRUE(pump_until([&] { return shown_message("Exit cancled"); })) << last_message();
    }
    EXPECT_EQ(editor_state().quit, 0);
}

TEST_F(DesignerWindowed, SaveAndExitWritesTheFurIntoTheScene) {
    open_designer();
    const std::string scene_file = database + "/SCENES/furball.dsc";
    fs::last_write_time(scene_file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const auto before = fs::last_write_time(scene_file);
    click(main().browser, 0.3f, 1.0f - 9.0f / main().browser->h);  // the first line: Sphere
    ASSERT_TRUE(pump_until([&] { return scene_state().current_patch == 0; }));
    click(main().persistent);
    ASSERT_TRUE(pump_until([&] { return scene_state().patches[0]->presistant_rebuild == 1; }));
    {
        DialogAnswerer answer(main_window(), [](XDriver &d, unsigned long dialog) {
            click_in(d, dialog, dialog_answer(3, 3));  // "Save+Exit"
        });
        click(main().exit);
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
    auto render = [&](const std::string &db, const std::string &out) {
        return test::run_program("vellimor", {"-b", "-d", db, "-s", "furball", "-n", "1", "1", "1", "-S", "96", "72", "-o", out},
                                 {{"TEMP", work.path()}, {"DISPLAY", std::nullopt}}, work.path());
    };
    const test::ProgramResult saved = render(database, work.path() + "/saved");
    const test::ProgramResult demo = render(test::demo_database(), work.path() + "/demo");
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_EQ(demo.status, 0) << demo.err;
    const std::string saved_pic = test::read_file(work.path() + "/saved.1.pic");
    EXPECT_FALSE(saved_pic.empty());
    EXPECT_EQ(saved_pic, test::read_file(work.path() + "/demo.1.pic"));
}

TEST_F(DesignerWindowed, ShiftHeldAtStartLoadsTheHoldFile) {
    // A backup in which the sphere is persistent; the scene itself says it is not.
    read_fur_data(1);
    scene_state().patches[0]->presistant_rebuild = 1;
    ASSERT_EQ(write_hold_file(), 1);
    const std::string hold = work.path() + "/chosen_hold";
    fs::copy_file(scene_state().hold_file_path, hold);
    free_all();
    close_message_file();
    read_scene();

    x.key_down("Shift_L");
    std::atomic<bool> released{false};
    std::thread driver([&] {
        XDriver d;
        released = answer_start_question(d, 1);  // "Yes"
        if (!released) return;
        unsigned long selector = 0;
        int w = 0, h = 0;
        if (!wait_for([&] {
                return (selector = d.topmost_toplevel()) != 0 && d.window_viewable(selector) &&
                       d.window_size(selector, &w, &h) && !(w == 400 && h == 138);
            }))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        click_in(d, selector, {300, 480 - 72});  // "File name:"
        d.type(hold + "\r");
    });
    const bool opened_ok = designer_open();
    driver.join();
    if (!released) x.key_up("Shift_L");
    ASSERT_TRUE(opened_ok);
    opened = true;
    EXPECT_EQ(scene_state().patches[0]->presistant_rebuild, 1);
    EXPECT_EQ(scene_state().patches[1]->presistant_rebuild, 0);
}

TEST_F(DesignerWindowed, ShiftHeldAndNoStartsFromDefaultFur) {
    x.key_down("Shift_L");
    std::atomic<bool> released{false};
    std::thread driver([&] {
        XDriver d;
        released = answer_start_question(d, 2);  // "No"
    });
    const bool opened_ok = designer_open();
    driver.join();
    if (!released) x.key_up("Shift_L");
    ASSERT_TRUE(opened_ok);
    opened = true;
    // The scene stores keyed fur for every surface; default records have one unplaced key.
    for (const auto &p : scene_state().patches) {
        ASSERT_EQ(p->texture_keys.size(), 1u) << p->name;
        EXPECT_LT(p->texture_keys.front().u, 0.0f) << p->name;
    }
}

TEST_F(DesignerWindowed, HelpShowsTheTextOfTheControlUnderThePointer) {
    open_designer();
    click(main().help);
    FmForm *help = designer_windows().help.form;
    ASSERT_TRUE(pump_until([&] { return help->visible && x.window_viewable(native(help)); }));
    FmObject *text = designer_windows().help.text;
    auto first_line = [&] { return std::string(fm_get_browser_maxline(text) ? fm_get_browser_line(text, 1) : ""); };
    Point exit_button = on_screen(main().exit);
    x.move(exit_button.x, exit_button.y);
    EXPECT_TRUE(pump_until([&] { return first_line() == "This button Exits the program."; })) << first_line();
    // An empty place of the window has no help.
    int ox = 0, oy = 0;
    x.window_origin(main_window(), &ox, &oy);
    x.move(ox + 600, oy + int(main().form->h) - 38);
    EXPECT_TRUE(pump_until([&] { return first_line() == "No help for this object"; })) << first_line();
    // A long text is wrapped in the help window.
    Point group = on_screen(main().group[0]);
    x.move(group.x, group.y);
    EXPECT_TRUE(pump_until([&] { return first_line().rfind("These are object groups.", 0) == 0; })) << first_line();
    EXPECT_GT(fm_get_browser_maxline(text), 3);
    for (int i = 1; i <= fm_get_browser_maxline(text); ++i) EXPECT_LT(std::string(fm_get_browser_line(text, i)).size(), 56u);
}

}  // namespace
}  // namespace vellimor

namespace vellimor {
namespace {

// The programs open the designer as a person starts it; "Exit" and Return (the dialog's first
// answer, "Exit") end it.
class DesignerPrograms : public testing::Test {
protected:
    // Runs the program on its own thread, waits for its window, leaves through "Exit".
    test::ProgramResult open_and_exit(const std::string &program, std::vector<std::string> args) {
        const std::string db = work.path() + "/db";
        if (!fs::exists(db)) fs::copy(test::demo_database(), db, fs::copy_options::recursive);
        args.insert(args.end(), {"-d", db, "-s", "furball"});
        test::ProgramResult result;
        std::atomic<bool> done{false};
        std::thread runner([&] {
            result = test::run_program(program, args,
                                       // The GL driver is unloaded before the leak check, which then can't
                                       // tell its allocations from ours; the in-process tests check ours.
                                       {{"TEMP", work.path()}, {"FUR_SIZE", "800, 640"}, {"VELLIMOR_PLUGIN", std::nullopt},
                                        {"ASAN_OPTIONS", "detect_leaks=0"}},
                                       work.path());
            done = true;
        });
        XDriver x;
        const int before = x.mapped_toplevel_count();
        unsigned long window = 0;
        const bool shown = wait_for([&] {
            return done || (x.mapped_toplevel_count() > before && (window = x.topmost_toplevel()) != 0);
        });
        if (shown && !done) {
            std::this_thread::sleep_for(std::chrono::seconds(2));  // the first drawing of the view
            shot = x.grab_rgb(window, &shot_w, &shot_h);
            int ox = 0, oy = 0;
            x.window_origin(window, &ox, &oy);
            // "Exit" is the last button of the bottom row (design 1280 x 1024 scaled to 800 x 640),
            // then "Exit" in the dialog.
            x.click(ox + 800 - 15, oy + 640 - 8);
            unsigned long dialog = 0;
            if (wait_for([&] { return (dialog = x.topmost_toplevel()) != window && dialog != 0; })) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                click_in(x, dialog, dialog_answer(3, 1));
            }
        }
        runner.join();
        return result;
    }

    test::TempDir work;
    std::vector<unsigned char> shot;
    int shot_w = 0, shot_h = 0;
};

TEST_F(DesignerPrograms, StandAloneInternalAndEditOpenTheDesigner) {
    for (const auto &[program, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"vellimor", {}}, {"vellimor-host", {"internal"}}, {"vellimor-host", {"edit"}}}) {
        const test::ProgramResult r = open_and_exit(program, args);
        EXPECT_EQ(r.status, 0) << program << ": " << r.err;
        ASSERT_EQ(shot_w, 800) << program;
        ASSERT_EQ(shot_h, 640) << program;
        // The window shows the scene above and the controls below, not a black window.
        int lit = 0;
        for (size_t i = 0; i + 2 < shot.size(); i += 3) lit += shot[i] + shot[i + 1] + shot[i + 2] > 30 ? 1 : 0;
        EXPECT_GT(lit, shot_w * shot_h / 3) << program;
    }
}

}  // namespace
}  // namespace vellimor
