// The "Render settings" window's fields and buttons without a display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "editor/command_hooks.h"
#include "editor/render_settings_rules.h"
#include "editor/render_settings_window.h"
#include "forms/forms.h"
#include "host/scene.h"
#include "render/frame_render.h"
#include "support/message_log.h"

namespace vellimor {
namespace {

class RenderSettingsWindowFields : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("DISPLAY");
        fm_init();
        render_settings_state_reset();
        SceneState &s = scene_state();
        s.start_frame = 1;
        s.end_frame = 30;
        s.frame_step = 1;
        s.current_frame = 1;
        s.aspect_ratio = 1.5f;
        command_hooks() = {};
        command_hooks().activate_main = [this] { ++activations; };
        render_settings_fill();
    }
    void TearDown() override { command_hooks() = {}; }
    RenderSettingsWindow &w() { return render_settings_window(); }
    void type(FmObject *field, const char *text) {
        fm_set_input(field, text);
        field->callback(field, field->argument);
    }
    std::string text(FmObject *field) { return fm_get_input(field); }

    test::MessageLog log;
    int activations = 0;
};

TEST_F(RenderSettingsWindowFields, FrameFieldsAndCancel) {
    EXPECT_EQ(text(w().start), "1");
    EXPECT_EQ(text(w().end), "30");
    fm_set_input(w().start, "40");
    type(w().end, "12");
    EXPECT_EQ(text(w().start), "12");
    EXPECT_EQ(text(w().end), "30");
    type(w().step, "-2");
    EXPECT_EQ(text(w().step), "2");
    type(w().step, "0");
    EXPECT_EQ(text(w().step), "1");
    type(w().start, "-5");
    EXPECT_EQ(text(w().start), "1");
    EXPECT_TRUE(log.has("WARNING: Start frame clamped to start frame set in the host"));
    type(w().start, "5");
    type(w().end, "9");

    render_settings_cancel(w().cancel, 0);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(scene_state().start_frame, 1);
    EXPECT_EQ(scene_state().end_frame, 30);
    render_settings_fill();
    EXPECT_EQ(text(w().start), "5");
    EXPECT_EQ(text(w().end), "9");
    // The clamp still uses the scene's own range while the edited one is offered.
    type(w().end, "29");
    EXPECT_EQ(text(w().end), "29");
    render_settings_cancel(w().cancel, 0);
}

}  // namespace
}  // namespace vellimor
