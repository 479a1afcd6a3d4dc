// "Render" in the render settings window on Xvfb: the "Rendering" window shows the frames being
// rendered, and each frame is saved as "<output>.<frame>.pic".
#include "support/test_prelude.h"

#include <atomic>

#include "editor/command_hooks.h"
#include "editor/render_settings_rules.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "fcurve/fcurve_list.h"
#include "host/globals.h"
#include "support/test_env.h"
#include "support/paths.h"
#include "host/scene.h"
#include "support/fur_square_scene.h"
#include "render/pic_file.h"
#include "support/windowed.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::pump_for;
using test::pump_until;

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
