// The designer started on a copy of the demo database, with the helpers that drive it as a
// person would (pointer, keys) and look at its drawing areas' pixels.
#pragma once

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "../forms/x_driver.h"
#include "editor/designer_objects.h"
#include "editor/keymap_editor.h"
#include "editor/main_loop.h"
#include "forms/forms.h"
#include "platform/window_system.h"
#include "furdata/display_settings.h"
#include "hair/noise.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "saa/saa.h"
#include "support/paths.h"

// The GL driver keeps allocations for the process lifetime and is unloaded before the leak check,
// which then cannot name it; kept loaded, the suppressions recognise it.
inline const bool kDriverKept = [] {
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(path, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE)) return true;
    return false;
}();

namespace vellimor::test {

using Clock = std::chrono::steady_clock;

struct ScreenPoint {
    int x = 0, y = 0;
};

// A connection to the X server held for the session: a server whose last client leaves resets
// itself and refuses connections for a moment, so the session waits for the server once and
// keeps it from resetting between its own connections.
class XServerHold {
public:
    XServerHold();
    ~XServerHold();
    XServerHold(const XServerHold &) = delete;
    XServerHold &operator=(const XServerHold &) = delete;
    bool ok() const { return display_ != nullptr; }

private:
    _XDisplay *display_ = nullptr;
};

class DesignerSession : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hold_server.ok()) << "no X display";
        ASSERT_TRUE(driver.ok()) << "no second X connection";
        char pattern[] = "/tmp/vellimor_keymap_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        database = dir / "furball";
        std::filesystem::copy(demo_database(), database, std::filesystem::copy_options::recursive);
        setenv("TEMP", dir.c_str(), 1);
        setenv("FUR_NO_BACKUP", "1", 1);
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        config().window_x = 1280;
        config().window_y = 1024;
        noise_init();
        SAA_InitInternal("", 0, "SDKv1.71.6");
        ASSERT_EQ(MY_read_scene("furball", database.c_str()), 0);
        ASSERT_TRUE(designer_open());
        display_settings()->beep_on_error = 0;
        main = &designer_windows().main;
        ASSERT_TRUE(pump_until([&] { return driver.window_viewable(window()); }));
        driver.focus(window());
        pump_for(200);
    }

    void TearDown() override {
        if (!driver.ok()) return;  // nothing was started
        for (const char *k : {"z", "m", "t", "s", "r", "b", "v", "Delete", "Shift_L"}) driver.key_up(k);
        designer_close();
        free_all();
        reset_globals();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Runs the designer's loop until `done` holds (10 s at most).
    bool pump_until(const std::function<bool()> &done) {
        const auto end = Clock::now() + std::chrono::seconds(10);
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

    unsigned long window() {
        glutSetWindow(main->form->window);
        return glutGetHWND(0);
    }

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

    // Window pixel (origin upper left) of a form position.
    ScreenPoint window_point(float fx, float fy) {
        return {int(std::lround(fx)), int(std::lround(main->form->h - 1 - fy))};
    }
    ScreenPoint screen_point(float fx, float fy) {
        int ox = 0, oy = 0;
        driver.window_origin(window(), &ox, &oy);
        const ScreenPoint w = window_point(fx, fy);
        return {ox + w.x, oy + w.y};
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
        return screen_point(fx, fy);
    }
    Rgb map_pixel(float u, float v) {
        float fx, fy;
        map_position(u, v, &fx, &fy);
        const ScreenPoint p = window_point(fx, fy);
        return pixel(p);
    }
    // A window pixel, read back from the X server.
    Rgb pixel(const ScreenPoint &p) { return driver.grab(window()).at(p.x, p.y); }
    ScreenPoint object_screen(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        return screen_point(obj->x + obj->w * fx, obj->y + obj->h * fy);
    }
    Rgb object_pixel(const FmObject *obj, float fx, float fy) {
        return pixel(window_point(obj->x + obj->w * fx, obj->y + obj->h * fy));
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

    static bool red(Rgb c) { return c.r > 200 && c.g < 70 && c.b < 70; }
    static bool yellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 70; }

    XServerHold hold_server;
    XDriver driver;
    std::filesystem::path dir, database;
    MainWindowObjects *main = nullptr;
};

}  // namespace vellimor::test
