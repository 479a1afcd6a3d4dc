// The render settings' checks: resolution and aspect ratio, the frame range against the scene's,
// the scene range while the window is up, and the window's fields without a display.
#include "support/test_prelude.h"

#include "editor/command_hooks.h"
#include "editor/render_settings_rules.h"
#include "editor/render_settings_window.h"
#include "forms/forms.h"
#include "host/scene.h"
#include "support/message_log.h"

namespace vellimor {
namespace {

class RenderSettingsRules : public ::testing::Test {
protected:
    void SetUp() override {
        render_settings_state_reset();
        SceneState &s = scene_state();
        s.start_frame = 1;
        s.end_frame = 30;
        s.frame_step = 1;
        s.current_frame = 4;
    }
    void TearDown() override { command_hooks() = {}; }
    RenderSettingsWindow &w() { return render_settings_window(); }
    void type(FmObject *field, const char *text) {
        fm_set_input(field, text);
        field->callback(field, field->argument);
    }
    std::string text(FmObject *field) { return fm_get_input(field); }

    test::MessageLog log;
};

TEST_F(RenderSettingsRules, ResolutionFollowsTheAspectRatio) {
    RenderResolution r = apply_resolution({640, 0, 1.6f}, ResolutionField::kX, 1.25f);
    EXPECT_EQ(r.x, 640);
    EXPECT_EQ(r.y, 400);  // trunc(640.5 / 1.6)
    r = apply_resolution({0, 300, 1.6f}, ResolutionField::kY, 1.25f);
    EXPECT_EQ(r.x, 480);  // trunc(300.5 * 1.6)
    EXPECT_EQ(r.y, 300);
    EXPECT_EQ(log.text(), "");

    // X of 1 becomes 2 and Y follows; Y of 0 becomes 2 and X follows.
    r = apply_resolution({1, 999, 1.0f}, ResolutionField::kX, 1.25f);
    EXPECT_EQ(r.x, 2);
    EXPECT_EQ(r.y, 2);
    r = apply_resolution({999, 0, 2.0f}, ResolutionField::kY, 1.25f);
    EXPECT_EQ(r.y, 2);
    EXPECT_EQ(r.x, 5);

    // A very wide aspect ratio still leaves one row.
    r = apply_resolution({2, 999, 100.0f}, ResolutionField::kAspect, 1.25f);
    EXPECT_EQ(r.y, 1);

    // A changed aspect ratio recomputes Y from X.
    r = apply_resolution({400, 999, 2.0f}, ResolutionField::kAspect, 1.25f);
    EXPECT_EQ(r.y, 200);
}

TEST_F(RenderSettingsRules, FrameRangeIsRepairedWithItsMessages) {
    RenderFrameRange r = apply_frame_range({5, 20, 0}, 1, 30);
    EXPECT_EQ(r.step, 1);
    EXPECT_TRUE(log.has("ERROR: Frame step is Zero. Changed to 1"));
    r = apply_frame_range({5, 20, -3}, 1, 30);
    EXPECT_EQ(r.step, 3);
    EXPECT_TRUE(log.has("ERROR: Can't render backwards. Frame step changed to -Frame step"));

    // End below start: exchanged without a message.
    const std::string before = log.text();
    r = apply_frame_range({20, 5, 2}, 1, 30);
    EXPECT_EQ(r.start, 5);
    EXPECT_EQ(r.end, 20);
    EXPECT_EQ(r.step, 2);
    EXPECT_EQ(log.text(), before);

    // Outside the scene's range: clamped with warnings.
    r = apply_frame_range({-4, 99, 1}, 1, 30);
    EXPECT_EQ(r.start, 1);
    EXPECT_EQ(r.end, 30);
    EXPECT_TRUE(log.has("WARNING: Start frame clamped to start frame set in the host"));
    EXPECT_TRUE(log.has("WARNING: End frame clamped to end frame set in the host"));
}

TEST_F(RenderSettingsRules, CancelRestoresTheSceneRangeAndRemembersTheEditedOne) {
    render_settings_open(1.25f);
    RenderSettingsState &state = render_settings_state();
    EXPECT_FLOAT_EQ(state.resolution.aspect, 1.25f);
    EXPECT_EQ(state.resolution.x, 384);
    EXPECT_EQ(state.resolution.y, 307);  // trunc(384.5 / 1.25)
    EXPECT_EQ(scene_state().start_frame, 1);  // nothing remembered yet

    render_settings_close({10, 20, 2});
    EXPECT_EQ(scene_state().start_frame, 1);
    EXPECT_EQ(scene_state().end_frame, 30);
    EXPECT_EQ(scene_state().frame_step, 1);

    // Offered again the next time; the scene's own range is saved underneath.
    render_settings_open(2.0f);
    EXPECT_FLOAT_EQ(state.resolution.aspect, 1.25f);  // taken from the scene only once
    EXPECT_EQ(scene_state().start_frame, 10);
    EXPECT_EQ(scene_state().end_frame, 20);
    EXPECT_EQ(scene_state().frame_step, 2);
    EXPECT_EQ(state.saved_scene.start, 1);
    EXPECT_EQ(state.saved_scene.end, 30);
    // Opening again while up keeps the scene's range saved.
    render_settings_open(2.0f);
    EXPECT_EQ(state.saved_scene.end, 30);
    render_settings_close({12, 14, 1});
    EXPECT_EQ(scene_state().start_frame, 1);
    EXPECT_EQ(scene_state().end_frame, 30);
    EXPECT_EQ(state.remembered.start, 12);
}

TEST_F(RenderSettingsRules, WindowFrameFieldsAndCancel) {
    unsetenv("DISPLAY");
    fm_init();
    scene_state().aspect_ratio = 1.5f;
    int activations = 0;
    command_hooks() = {};
    command_hooks().activate_main = [&] { ++activations; };
    render_settings_fill();
    EXPECT_EQ(text(w().start), "1");
    EXPECT_EQ(text(w().end), "30");
    fm_set_input(w().start, "40");
    type(w().end, "12");
    EXPECT_EQ(text(w().start), "12");
    EXPECT_EQ(text(w().end), "30");
    for (const auto &[step, shown] : {std::pair{"-2", "2"}, std::pair{"0", "1"}}) {
        type(w().step, step);
        EXPECT_EQ(text(w().step), shown) << step;
    }
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
