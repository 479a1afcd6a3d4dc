#include "host/entry_points.h"

#include <gtest/gtest.h>

#include "furdata/display_settings.h"
#include "host/command_line.h"
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
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class EntryPoints : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        env.set("TEMP", temp.path());
        env.set("SI_LOCATION", temp.path());
        env.set("FUR_LOCATION", temp.path());
        env.unset("DISPLAY");
        db.write_scene("s", test::scene_text(test::patch_model("Skin", 0, false, 2) + "," +
                                             test::patch_model("Tail", 0, false, 3)));
    }
    void TearDown() override {
        free_all();
        close_message_file();
        display_settings_free();
        reset_globals();
    }
    int init(std::vector<const char *> args) {
        args.insert(args.begin(), "vellimor");
        return run_init(static_cast<int>(args.size()), args.data());
    }
    std::string message_file() { return test::read_file(temp.path() + "/fur_message"); }

    test::TempDir temp;
    test::TempDatabase db;
    test::ScopedEnv env;
};

TEST_F(EntryPoints, AntialiasLevelOutOfRangeBecomesZero) {
    CaptureStderr();
    EXPECT_EQ(init({"-b", "-d", db.path().c_str(), "-s", "s", "-j", "9"}), 0);
    EXPECT_EQ(display_settings()->antialias_level, 0);
    EXPECT_EQ(init({"-b", "-d", db.path().c_str(), "-s", "s", "-j", "7", "-S", "20", "10"}), 0);
    EXPECT_EQ(display_settings()->antialias_level, 7);
    EXPECT_EQ(run_state().render_xres, 20);
    EXPECT_EQ(config().single_buffer, 1);
    EXPECT_EQ(display_settings()->use_opengl, 1);
    GetCapturedStderr();
    EXPECT_EQ(scene_state().patch_count(), 0);  // freed after the render
}

class PersistentMode : public EntryPoints {
protected:
    void SetUp() override {
        EntryPoints::SetUp();
        ASSERT_EQ(db.load("s"), 0);
    }
};

TEST_F(PersistentMode, InitPerReadsTheHostSceneWithOneBanner) {
    SAA_CustomContext context{};
    CaptureStderr();
    EXPECT_EQ(run_init_persistent(&context), 0);
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(err.find("Fur internal version"), std::string::npos);
    EXPECT_EQ(err.find("Fur build: 2000"), err.rfind("Fur build: 2000"));
    EXPECT_EQ(run_state().run_mode, kRunModePersistent);
    ASSERT_EQ(scene_state().patches.size(), 2u);
    EXPECT_EQ(scene_state().patches[1]->name, "Tail");
    run_cleanup_persistent(&context);
    EXPECT_TRUE(scene_state().patches.empty());
}

TEST_F(PersistentMode, UpdateRebuildsOnlyMarkedPatches) {
    SAA_CustomContext context{};
    CaptureStderr();
    ASSERT_EQ(run_init_persistent(&context), 0);
    GetCapturedStderr();
    ASSERT_EQ(SAA_sceneSetPlayCtrlCurrentFrame(&db.scene, 3), 0);
    EXPECT_EQ(run_update_persistent(&context), 0);
    EXPECT_EQ(scene_state().current_frame, 3);
    // The start only reads the records; nothing is marked, so nothing has grown.
    for (const auto &p : scene_state().patches) {
        EXPECT_EQ(p->last_built_frame, -1);
        EXPECT_TRUE(p->hairs.empty());
    }
    scene_state().patches[1]->presistant_rebuild = 1;
    ASSERT_EQ(SAA_sceneSetPlayCtrlCurrentFrame(&db.scene, 4), 0);
    EXPECT_EQ(run_update_persistent(&context), 0);
    EXPECT_EQ(scene_state().patches[0]->last_built_frame, -1);
    EXPECT_TRUE(scene_state().patches[0]->hairs.empty());
    EXPECT_EQ(scene_state().patches[1]->last_built_frame, 4);
    const std::string file = message_file();
    EXPECT_NE(file.find("Update Persistent\n"), std::string::npos);
    EXPECT_NE(file.find("Save Persistent\n"), std::string::npos);
    context.state = 5;
    EXPECT_EQ(run_save_persistent(&context), 0);
    EXPECT_NE(run_save_persistent(nullptr), 0);  // the host's failure is passed on
    run_cleanup_persistent(&context);
}

// The scene is read; the designer can't open without a display, which initInt reports.
TEST_F(PersistentMode, InternalModeWithoutADisplayReadsTheSceneAndFails) {
    SAA_CustomContext context{};
    CaptureStderr();
    EXPECT_EQ(run_init_internal(&context), kUsageError);
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(err.rfind("Fur internal version\nFur build: 2000", 0), 0u);
    EXPECT_NE(err.find("Can't open a window: no X display available\n"), std::string::npos);
    EXPECT_EQ(run_state().run_mode, kRunModeInternal);
    EXPECT_EQ(scene_state().patch_count(), 2);
    EXPECT_EQ(run_cleanup_internal(&context), 0);
    EXPECT_EQ(scene_state().patch_count(), 0);
}

}  // namespace
}  // namespace vellimor
