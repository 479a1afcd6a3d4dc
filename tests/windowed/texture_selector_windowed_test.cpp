// The texture file selector on a real X server: a file picked from the list with its texture
// options, and "Cancel", which gives nothing.
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "forms_windowed_support.h"
#include "editor/texture_file_select.h"
#include "forms/forms.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

// Clicks the given form positions of the selector once its window is up (on a driver thread).
std::thread click_in_selector(test::XDriver &driver, std::vector<std::pair<float, float>> clicks, float form_h) {
    return test::on_next_window(driver, [=](test::XDriver &x) {
        test::sleep_ms(150);
        int ox = 0, oy = 0;
        x.window_origin(x.topmost_toplevel(), &ox, &oy);
        for (const auto &[fx, fy] : clicks) {
            x.click(ox + int(fx), oy + int(form_h - 1 - fy));
            test::sleep_ms(150);
        }
    });
}

std::pair<float, float> centre(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
    return {obj->x + obj->w * fx, obj->y + obj->h * fy};
}

TEST(TextureFileSelector, AFileIsPickedWithItsOptionsAndCancelGivesNothing) {
    fm_init();
    ASSERT_FALSE(fm_headless());
    char pattern[] = "/tmp/vellimor_texture_select_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "skin.1.pic") << "x";
    std::ofstream(dir / "notes.txt") << "x";
    const fs::path saved = fs::current_path();
    fs::current_path(dir);

    const TextureSelectorObjects objects = texture_file_selector_objects();
    ASSERT_TRUE(objects.form);
    const float h = objects.form->h;
    // Lines: "D ..", "D sub", then the one picture; the text file is not listed.
    const float line = fm_browser_line_height(kFmDefaultLabelSize);
    const float third = 1.0f - (kFmBrowserTopMargin + 2.5f * line) / objects.list->h;
    test::XDriver x;
    std::thread picker = click_in_selector(
        x, {centre(objects.use_sequence, 0.2f), centre(objects.list, 0.3f, third), centre(objects.ready)}, h);
    const auto chosen = texture_file_select("Open texture file", "*.pic", "");
    picker.join();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(fs::path(*chosen), fs::canonical(dir) / "skin.1.pic");
    EXPECT_EQ(fm_get_browser_maxline(objects.list), 3);
    const PictureChoice options = texture_file_options();
    EXPECT_TRUE(options.use_sequence);
    EXPECT_EQ(options.error_handling, 0);

    std::thread canceller = click_in_selector(x, {centre(objects.cancel)}, h);
    PictureChoice choice;
    choice.file_name = "kept";
    EXPECT_FALSE(texture_file_choose("Open texture file", choice));
    canceller.join();
    EXPECT_EQ(choice.file_name, "kept");

    fs::current_path(saved);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vellimor
