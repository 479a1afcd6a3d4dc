#include <gtest/gtest.h>

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/temp_database.h"
#include "support/scene_text.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class SceneReader : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        env.set("TEMP", temp.path());
        ASSERT_EQ(SAA_InitInternal("", 0, "SDKv1.71.6"), 0);
    }
    void TearDown() override {
        free_all();
        close_message_file();
        display_settings_free();
        reset_globals();
    }
    // Writes the scene and reads it through the stand-alone path; returns the result.
    int read(const std::string &text) {
        db.write_scene("s", text);
        CaptureStderr();
        const int rc = MY_read_scene("s", db.path().c_str());
        stderr_text = GetCapturedStderr();
        return rc;
    }
    std::string name_of(const SAA_Elem &e) { return test::element_name(scene_state().scene, e); }

    test::TempDatabase db;
    test::TempDir temp;
    test::ScopedEnv env;
    std::string stderr_text;
};

TEST_F(SceneReader, SortsModelsByTypeAndName) {
    using namespace test;
    const std::string models = patch_model("Skin", 0, false, 2) + "," + plain_model("GravityA", 0) +
                               "," + plain_model("Grav", 0) + "," + plain_model("Windy", 4) + "," +
                               plain_model("Breeze", 4) + "," + nurbs_model("Ball", 3, 2) + "," +
                               plain_model("Null", 0);
    ASSERT_EQ(read(scene_text(models, light("L1") + "," + light("L2"))), 0);
    EXPECT_EQ(stderr_text.rfind("MY_read_scene", 0), 0u);
    const SceneState &s = scene_state();
    ASSERT_EQ(s.patch_count(), 2);
    EXPECT_EQ(name_of(s.models[0]), "Skin");
    EXPECT_EQ(name_of(s.models[1]), "Ball");
    ASSERT_EQ(s.gravity.size(), 1u);
    EXPECT_EQ(name_of(s.gravity[0]), "GravityA");
    EXPECT_EQ(s.gravity_cache.size(), 1u);
    EXPECT_TRUE(s.has_wind_model);
    EXPECT_EQ(name_of(s.wind_model), "Windy");
    ASSERT_EQ(s.other_models.size(), 1u);
    EXPECT_EQ(name_of(s.other_models[0]), "Breeze");
    ASSERT_EQ(s.lights.size(), 2u);
    ASSERT_EQ(s.light_cache.size(), 2u);
    EXPECT_EQ(s.light_cache[1].frame, -1);
    EXPECT_EQ(s.start_frame, 1);
    EXPECT_EQ(s.end_frame, 5);
    EXPECT_EQ(s.current_frame, 1);
    EXPECT_FLOAT_EQ(s.aspect_ratio, 1.5f);
    EXPECT_EQ(s.frame_offset, -1);
    EXPECT_EQ(s.wind_table_length, 5);
    EXPECT_EQ(s.wind_step.size(), 5u);
    EXPECT_TRUE(s.has_graphics_properties);
}

// At most 512 surfaces and 511 lights: one more is refused, after what fits was read.
TEST_F(SceneReader, SurfaceAndLightLimits) {
    run_state().batch = 1;
    std::string models, lights;
    for (int i = 0; i < 513; ++i) models += (i ? "," : "") + test::patch_model("P" + std::to_string(i), 0, false, 2);
    for (int i = 0; i < 511; ++i) lights += (i ? "," : "") + test::light("L" + std::to_string(i));
    open_message_file();
    EXPECT_EQ(read(test::scene_text(models)), 95);
    EXPECT_EQ(scene_state().patch_count(), 512);
    EXPECT_EQ(test::read_file(temp.path() + "/fur_message"), "ERROR: Maximum number of patches is: 512\n\n");
    free_all();
    EXPECT_EQ(read(test::scene_text("", lights)), 0);
    EXPECT_EQ(scene_state().lights.size(), 511u);
    free_all();
    open_message_file();
    EXPECT_EQ(read(test::scene_text(test::patch_model("P", 0, false, 2), lights + "," + test::light("Last"))), 95);
    EXPECT_EQ(scene_state().patch_count(), 1);  // the models are sorted before the lights
    EXPECT_EQ(test::read_file(temp.path() + "/fur_message"), "ERROR: Maximum number of lights is: 512\n\n");
}

TEST_F(SceneReader, PatchExtentsByTypeAndClosedFlag) {
    using namespace test;
    const std::string models =
        patch_model("BsplineClosed", 2, true, 8, 2, false, 8) + "," +
        patch_model("Bezier", 1, false, 7, 0, true, 3) + "," +
        patch_model("Cardinal", 3, false, 5, 1, false, 4) + "," + nurbs_model("Nurbs", 2.5, 4);
    ASSERT_EQ(read(scene_text(models)), 0);
    display_settings_create();
    read_fur_data(0);
    const SceneState &s = scene_state();
    ASSERT_EQ(s.patches.size(), 4u);
    // Closed B-spline n; Bézier trunc((n - 1) / 3 + 0.5), linear closed n - 1 + 1; cardinal n - 3.
    const float extents[4][2] = {{8, 5}, {2, 3}, {2, 1}, {2.5f, 4}};
    for (size_t p = 0; p < 4; ++p) {
        EXPECT_EQ(s.patches[p]->surfacetype, p == 3 ? 10 : 1) << p;
        EXPECT_FLOAT_EQ(s.patches[p]->nbPointsU, extents[p][0]) << p;
        EXPECT_FLOAT_EQ(s.patches[p]->nbPointsV, extents[p][1]) << p;
    }
    EXPECT_EQ(s.patches[3]->name, "Nurbs");
}

TEST_F(SceneReader, FurRecordsGetDefaultsNamesAndTheSwitches) {
    env.set("FUR_USE_IRIS_GL", "1");
    ASSERT_EQ(read(test::scene_text(test::patch_model("Skin", 0, false, 3) + "," +
                                    test::plain_model("GravityA", 0))),
              0);
    CaptureStderr();
    read_fur_data(1);
    const std::string messages = GetCapturedStderr();
    EXPECT_NE(messages.find("Using IrisGL drawing mode\n"), std::string::npos);
    ASSERT_EQ(scene_state().patches.size(), 1u);
    const PatchData &p = *scene_state().patches[0];
    EXPECT_EQ(p.name, "Skin");
    EXPECT_EQ(p.texture_keys.size(), 1u);
    EXPECT_FLOAT_EQ(p.nbPointsU, 2.0f);
    EXPECT_EQ(display_settings()->use_opengl, 0);
    EXPECT_EQ(config().backup, 1);
}

}  // namespace
}  // namespace vellimor
