#include "render/offscreen_target.h"

#include <GL/gl.h>
#include "support/test_prelude.h"

#include "platform/accumulation_buffer.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

constexpr int kSize = 10;

// Blue everywhere, red in the lower-left 5 x 5 pixels (OpenGL's origin is the bottom).
void draw_test_picture() {
    glViewport(0, 0, kSize, kSize);
    glClearColor(0.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kSize, 0, kSize, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1.0f, 0.0f, 0.0f);
    glRecti(0, 0, 5, 5);
}

void clear_to_grey(float level) {
    glClearColor(level, level, level, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

int red_at(int x, int y_from_bottom) {
    uint8_t pixel[4];
    glReadPixels(x, y_from_bottom, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return pixel[0];
}

class OffscreenTargetTest : public ::testing::TestWithParam<OffscreenKind> {
protected:
    // Creates the target; returns what it listed.
    std::string create() {
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(offscreen_target_create(kSize, kSize, GetParam()));
        return ::testing::internal::GetCapturedStderr();
    }
    void TearDown() override { offscreen_target_destroy(); }
};

TEST_P(OffscreenTargetTest, DrawingReadsBackTopRowFirstWithOpaqueAlpha) {
    const std::string listing = create();
    EXPECT_EQ(listing.rfind("Offscreen renderer\nPixelformat ", 0), 0u) << listing;
    EXPECT_NE(listing.find("   PFD_DRAW_TO_BITMAP\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("   PFD_SUPPORT_OPENGL\n   RGBA\n   Color bits 24\n"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("PFD_DOUBLEBUFFER"), std::string::npos);

    draw_test_picture();
    auto picture = offscreen_target_read_picture(nullptr);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, kSize);
    ASSERT_EQ(picture->height, kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            bool red = x < 5 && y >= 5;  // the bottom half of the picture's rows
            size_t i = size_t(y * kSize + x);
            ASSERT_EQ(picture->red()[i], red ? 255 : 0) << x << "," << y;
            ASSERT_EQ(picture->blue()[i], red ? 0 : 255) << x << "," << y;
            ASSERT_EQ(picture->green()[i], 0);
            ASSERT_EQ(picture->alpha()[i], 255);  // a 24-bit target returns opaque alpha
        }
    }

    // A stored alpha image replaces what the target returns.
    std::vector<uint8_t> alpha(kSize * kSize);
    for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = uint8_t(i);
    picture = offscreen_target_read_picture(alpha.data());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->alpha(), alpha);
}

TEST_P(OffscreenTargetTest, SavesAPicFileAndSurvivesDoubleDestroy) {
    create();
    draw_test_picture();
    fs::path base = fs::temp_directory_path() / ("offscreen_" + std::to_string(::getpid()) + "_" +
                                                 std::to_string(int(GetParam())) + ".7");
    ASSERT_EQ(offscreen_target_save(base.string(), nullptr), 1);
    auto back = pic_load(base.string());
    fs::remove(base.string() + ".pic");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields, 0);
    EXPECT_EQ(back->red()[9 * kSize], 255);
    EXPECT_EQ(back->red()[0], 0);
    EXPECT_EQ(offscreen_target_save("/nonexistent-dir/x", nullptr), 0);

    offscreen_target_destroy();
    offscreen_target_destroy();
    EXPECT_FALSE(offscreen_target_exists());
    EXPECT_FALSE(offscreen_target_make_current());
    EXPECT_FALSE(offscreen_target_read_picture(nullptr));
    EXPECT_EQ(offscreen_target_save(base.string(), nullptr), -1);
}

TEST_P(OffscreenTargetTest, AccumulatesPassesNativelyAndInSoftware) {
    create();
    glViewport(0, 0, kSize, kSize);
    for (bool software : {false, true}) {
        SCOPED_TRACE(software ? "software" : "native");
        platform::AccumulationBuffer sum(software);
        // Two passes of 0.2 and 1.0 at weight 1/2 give 0.6.
        clear_to_grey(0.2f);
        sum.load(0.5f);
        clear_to_grey(1.0f);
        sum.accumulate(0.5f);
        glEnable(GL_BLEND);  // the return must not blend with what is in the buffer
        glBlendFunc(GL_ONE, GL_ONE);
        sum.return_scaled(1.0f);
        glDisable(GL_BLEND);
        EXPECT_NEAR(red_at(3, 3), 153, 1);
        // Stopped after one pass of a planned four: scaled by 4 / 1 back to full brightness.
        platform::AccumulationBuffer early(software);
        clear_to_grey(0.4f);
        early.load(0.25f);
        clear_to_grey(0.0f);
        early.return_scaled(4.0f);
        EXPECT_NEAR(red_at(9, 9), 102, 1);
        // Sums above one are clamped.
        early.return_scaled(16.0f);
        EXPECT_EQ(red_at(0, 0), 255);
    }
    // The previous matrices and viewport are left as they were.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kSize);
}

INSTANTIATE_TEST_SUITE_P(BothTargets, OffscreenTargetTest,
                         ::testing::Values(OffscreenKind::PBuffer, OffscreenKind::PixMap),
                         [](const auto &info) { return info.param == OffscreenKind::PBuffer ? "PBuffer" : "PixMap"; });

}  // namespace
}  // namespace vellimor
