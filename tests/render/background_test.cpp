#include "render/background.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

// A width x height picture whose red value is 10 x row + column + 1 and whose green is 200.
void write_picture(const std::string &path, int width, int height, uint8_t green = 200) {
    auto picture = pic_create(width, height, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            picture->red()[size_t(y * width + x)] = uint8_t(10 * y + x + 1);
            picture->green()[size_t(y * width + x)] = green;
        }
    ASSERT_TRUE(pic_write_file(path, *picture));
}

class BackgroundTest : public ::testing::Test {
protected:
    void SetUp() override {
        run_state().batch = 1;  // status lines go to stderr
        background_cache_reset();
    }
    void TearDown() override {
        offscreen_target_destroy();
        background_cache_reset();
        reset_globals();
    }
    std::string path(const std::string &name) const { return dir_.path() + "/" + name; }

    void make_target(int width, int height) {
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(offscreen_target_create(width, height, OffscreenKind::PBuffer));
        ::testing::internal::GetCapturedStderr();
        glViewport(0, 0, width, height);
    }

    // Draws and returns what went to stderr.
    std::string draw(const DisplaySettings &settings, int frame, int width, int height) {
        ::testing::internal::CaptureStderr();
        draw_background(settings, frame, width, height);
        return ::testing::internal::GetCapturedStderr();
    }

    test::TempDir dir_;
};

TEST_F(BackgroundTest, NumberedNamesFollowTheFrameOnlyAfterASeparator) {
    for (const char *file : {"stem.12.pic", "plain.0001.pic", "dir\\stem.12.pic"}) std::ofstream(path(file)) << "x";
    EXPECT_EQ(resolve_background_file_name(path("stem.0001.pic"), 12), path("stem.12.pic"));
    EXPECT_EQ(resolve_background_file_name(path("stem.7.pic"), 12), path("stem.12.pic"));
    // Backslashes separate as well (a relative name is resolved in the working directory).
    fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    EXPECT_EQ(resolve_background_file_name("dir\\stem.0001.pic", 12), std::optional<std::string>("dir\\stem.12.pic"));
    // Without a separator the name is never a sequence.
    EXPECT_EQ(resolve_background_file_name("plain.0001.pic", 12), std::optional<std::string>("plain.0001.pic"));
    fs::current_path(previous);
    EXPECT_EQ(resolve_background_file_name("", 3), std::nullopt);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(resolve_background_file_name(path("stem.0001.pic"), 13), std::nullopt);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "WARNING: Background image: " + path("stem.13.pic") + " does not exist\n\n");
}

TEST_F(BackgroundTest, PictureIsScaledByNearestNeighbourWithRounding) {
    write_picture(path("bg.pic"), 2, 2);
    make_target(4, 3);
    DisplaySettings settings;
    settings.use_background_image = 1;
    settings.background_image_name = path("bg.pic");
    std::string messages = draw(settings, 1, 4, 3);
    EXPECT_EQ(messages, "Background image set to " + path("bg.pic") + "\n\n");
    auto shown = offscreen_target_read_picture(nullptr);
    ASSERT_TRUE(shown);
    // Columns 0,1 | 2,3 take picture columns 0 | 1; the top row takes picture row 0, the two
    // lower rows picture row 1.
    const std::vector<uint8_t> expected_red{1, 1, 2, 2, 11, 11, 12, 12, 11, 11, 12, 12};
    EXPECT_EQ(shown->red(), expected_red);
    EXPECT_EQ(shown->green(), std::vector<uint8_t>(12, 200));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(BackgroundTest, MissingOrUnreadablePicturesWarnAndClearToTheColour) {
    make_target(3, 3);
    DisplaySettings settings;
    settings.background_color = int(0xFF2040C0u);  // red 0xC0, green 0x40, blue 0x20
    settings.use_background_image = 1;
    settings.background_image_name = path("missing.pic");
    EXPECT_EQ(draw(settings, 1, 3, 3), "WARNING: Background image: " + path("missing.pic") + " does not exist\n\n");
    auto shown = offscreen_target_read_picture(nullptr);
    EXPECT_EQ(shown->red(), std::vector<uint8_t>(9, 0xC0));
    EXPECT_EQ(shown->green(), std::vector<uint8_t>(9, 0x40));
    EXPECT_EQ(shown->blue(), std::vector<uint8_t>(9, 0x20));
    EXPECT_FALSE(background_cache_state().has_pixels);

    std::ofstream(path("broken.pic")) << "not a picture";
    settings.background_image_name = path("broken.pic");
    EXPECT_EQ(draw(settings, 1, 3, 3), "WARNING: Read background error: " + path("broken.pic") + "\n\n");
    EXPECT_EQ(background_cache_state().frame, kNoBackgroundFrame);
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 0xC0);
    // The next drawing tries again, and finds the mended file.
    write_picture(path("broken.pic"), 1, 1);
    EXPECT_NE(draw(settings, 1, 3, 3).find("Background image set to"), std::string::npos);
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 1);

    // Without "Use image" only the colour is drawn.
    settings.use_background_image = 0;
    EXPECT_EQ(draw(settings, 1, 3, 3), "");
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 0xC0);
}

}  // namespace
}  // namespace vellimor
