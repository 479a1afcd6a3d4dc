// The designer started on a copy of the demo database under Xvfb, with the helpers that drive it
// as a person would (pointer, keys, dialogs) and look at its windows' pixels.
#pragma once

#include "support/test_prelude.h"

#include <atomic>
#include <thread>

#include "editor/designer_objects.h"
#include "editor/keymap_editor.h"
#include "editor/main_loop.h"
#include "fcurve/fcurve_list.h"
#include "furdata/display_settings.h"
#include "hair/noise.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/test_env.h"
#include "platform/window_system.h"
#include "saa/saa.h"
#include "support/paths.h"
#include "support/run_program.h"
#include "support/windowed.h"

namespace vellimor::test {

// The centre of answer n (from 1) of a choice dialog with `count` answers and short lines, in
// the dialog window's pixels.
inline ScreenPoint dialog_answer(int count, int n) {
    constexpr float kWidth = 400, kHeight = 138, kButton = 100, kMargin = 14;
    const float spacing = (kWidth - float(count) * kButton) / float(count + 1);
    return {int(spacing + float(n - 1) * (kButton + spacing) + kButton / 2), int(kHeight - kMargin - 15)};
}

inline void click_in(XDriver &x, unsigned long window, ScreenPoint p) {
    int ox = 0, oy = 0;
    x.window_origin(window, &ox, &oy);
    x.click(ox + p.x, oy + p.y);
}

// Answers the next window whose title begins with `title` from a thread of its own, as a person
// would while the designer's loop waits in it (a question, a file selector).
class Answer {
public:
    Answer(std::string title, std::function<void(XDriver &, unsigned long window)> answer)
        : thread_([this, title, answer] {
              XDriver driver;
              unsigned long window = 0;
              if (!wait_for([&] { return (window = driver.find_window(title)) != 0; })) return;
              sleep_ms(300);  // drawn, taking input
              int x = 0, y = 0;
              driver.window_origin(window, &x, &y);
              driver.move(x + 20, y + 20);
              answer(driver, window);
              seen_ = true;
          }) {}
    ~Answer() { thread_.join(); }
    bool seen() const { return seen_; }

private:
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

class DesignerSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(driver.ok()) << "no X display";
        ASSERT_TRUE(platform::window_system_init("Vellimor"));
        database = work.path() + "/furball";
        std::filesystem::copy(demo_database(), database, std::filesystem::copy_options::recursive);
        env.set("TEMP", work.path());
        env.set("FUR_NO_BACKUP", "1");
        for (const char *name : {"FUR_SIZE", "FUR_DONT_MOVE_MOUSE", "FUR_BACKUP_INTERVAL"}) env.unset(name);
        read_scene();
    }
    void read_scene() {
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        config().window_x = 1280;
        config().window_y = 1024;
        version_banner();
        open_message_file();
        noise_init();
        SAA_InitInternal("", 0, "SDKv1.71.6");
        ASSERT_EQ(MY_read_scene("furball", database.c_str()), 0);
    }
    // Opens the designer and waits until its window has been drawn.
    void open() {
        ASSERT_TRUE(designer_open());
        opened = true;
        display_settings()->beep_on_error = 0;
        main = &designer_windows().main;
        ASSERT_TRUE(pump_until([&] { return driver.window_viewable(window()); }));
        driver.focus(window());
        pump_for(500);
    }
    void TearDown() override {
        for (int button : {1, 2, 3}) driver.release(button);  // a failed step leaves none held
        for (const char *k : {"z", "m", "t", "s", "r", "b", "v", "o", "p", "Delete", "Shift_L"}) driver.key_up(k);
        if (opened) {
            if (!editor_state().quit) designer_quit();
            designer_close();
        }
        free_all();
        close_message_file();
        status_reset();
        reset_globals();
        fcurve_delete_all();
    }

    // The designer's loop until `done` holds, or for a while.
    bool pump_until(const std::function<bool()> &done) { return test::pump_until(done, designer_turn); }
    void pump_for(int ms) { test::pump_for(ms, designer_turn); }

    unsigned long window() { return native_window(main->form); }
    int patch_index(const char *name) {
        for (size_t i = 0; i < scene_state().patches.size(); ++i)
            if (scene_state().patches[i]->name == name) return int(i);
        return -1;
    }
    PatchData &record(const char *name) { return *scene_state().patches[size_t(patch_index(name))]; }

    // Selects exactly the named surfaces in the object browser.
    void select_only(std::initializer_list<const char *> names) {
        fm_deselect_browser(main->browser);
        for (int line = 1; line <= fm_get_browser_maxline(main->browser); ++line)
            for (const char *name : names)
                if (std::string(fm_get_browser_line(main->browser, line)) == name)
                    fm_select_browser_line(main->browser, line);
        selection_sync(1);
        pump_for(100);
    }

    // The form position of a map point in the KeyMap area.
    void map_position(float u, float v, float *fx, float *fy) {
        const FmObject *a = main->keymap_area;
        keymap_view().to_pixel(u, v, a->w, a->h, fx, fy);
        *fx += a->x;
        *fy += a->y;
    }
    ScreenPoint map_screen(float u, float v) {
        float fx, fy;
        map_position(u, v, &fx, &fy);
        return on_screen(driver, main->form, fx, fy);
    }
    Rgb map_pixel(float u, float v) {
        float fx, fy;
        map_position(u, v, &fx, &fy);
        return pixel(window_pixel(main->form, fx, fy));
    }
    // A window pixel, read back from the X server.
    Rgb pixel(const ScreenPoint &p) { return driver.grab(window()).at(p.x, p.y); }
    ScreenPoint object_screen(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        return on_screen(driver, obj, fx, fy);
    }
    Rgb object_pixel(const FmObject *obj, float fx, float fy) {
        return pixel(window_pixel(main->form, obj->x + obj->w * fx, obj->y + obj->h * fy));
    }
    // Pixels of the object's rectangle that satisfy `test`.
    int count_in(const Snapshot &image, const FmObject *obj, const std::function<bool(Rgb)> &test) {
        int n = 0;
        const int x0 = int(obj->x), x1 = int(obj->x + obj->w);
        const int y0 = int(obj->form->h - (obj->y + obj->h)), y1 = int(obj->form->h - obj->y);
        for (int y = std::max(0, y0); y < std::min(image.height(), y1); ++y)
            for (int x = std::max(0, x0); x < std::min(image.width(), x1); ++x) n += test(image.at(x, y)) ? 1 : 0;
        return n;
    }

    // Gestures step by step, with the designer's loop running between the steps, as it does
    // while a person works: keys held and buttons are seen in the state they have at each step.
    void click(const ScreenPoint &p, int button = 1) {
        driver.move(p.x, p.y);
        pump_for(30);
        driver.press(button);
        pump_for(30);
        driver.release(button);
        pump_for(30);
    }
    void click(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) { click(object_screen(obj, fx, fy)); }
    void drag(const ScreenPoint &from, const ScreenPoint &to, int button = 1) {
        driver.move(from.x, from.y);
        pump_for(30);
        driver.press(button);
        pump_for(30);
        constexpr int kSteps = 8;
        for (int i = 1; i <= kSteps; ++i) {
            driver.move(from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps);
            pump_for(20);
        }
        driver.release(button);
        pump_for(30);
    }
    void hold(const char *key) {
        driver.key_down(key);
        pump_for(30);
    }
    void let_go(const char *key) {
        driver.key_up(key);
        pump_for(30);
    }
    // Types a value into a numeric field and ends it with Return.
    void enter(FmObject *field, const std::string &text) {
        click(object_screen(field, 0.9f));
        pump_for(50);
        for (int i = 0; i < 12; ++i) driver.key("BackSpace");
        driver.type(text + "\r");
    }

    std::string last_message() {
        FmObject *area = main->message_area;
        const int n = fm_get_browser_maxline(area);
        return n > 0 ? fm_get_browser_line(area, n) : "";
    }
    // Whether the message area holds the line (with `in_view`, in the lines it shows).
    bool message(const std::string &text, bool in_view = false) {
        FmObject *area = main->message_area;
        const int first = in_view ? fm_get_browser_topline(area) : 1;
        const int last = in_view ? first + fm_get_browser_screenlines(area) - 1 : fm_get_browser_maxline(area);
        for (int n = first; n <= std::min(last, fm_get_browser_maxline(area)); ++n)
            if (fm_get_browser_line(area, n) == text) return true;
        return false;
    }
    bool shown(const FmForm *form) { return form->visible && form->window > 0 && driver.window_viewable(native_window(form)); }
    // Pixels of the graphics view (the window's top rows) that differ by more than `tolerance`
    // (summed over the channels) between two pictures of the main window.
    int view_changes(const Snapshot &a, const Snapshot &b, int tolerance = 0) {
        int count = 0;
        for (int y = 0; y < std::min(int(main->graphics->h), std::min(a.height(), b.height())); ++y)
            for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
                const Rgb p = a.at(x, y), q = b.at(x, y);
                count += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > tolerance;
            }
        return count;
    }

    // The path of frame 1 of a database's scene rendered by the batch program at width x height.
    std::string batch_frame(const std::string &db, const std::string &name, int width, int height) {
        const std::string out = work.path() + "/" + name;
        const ProgramResult r = run_program(
            "vellimor", {"-b", "-d", db, "-s", "furball", "-n", "1", "1", "1", "-S", std::to_string(width),
                         std::to_string(height), "-o", out},
            {{"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"DISPLAY", std::nullopt},
             {"VELLIMOR_PLUGIN", std::nullopt}},
            work.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return out + ".1.pic";
    }

    static bool red(Rgb c) { return c.r > 200 && c.g < 70 && c.b < 70; }
    static bool yellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 70; }

    XDriver driver;
    ScopedEnv env;
    TempDir work;
    std::string database;
    MainWindowObjects *main = nullptr;
    bool opened = false;
};

}  // namespace vellimor::test
