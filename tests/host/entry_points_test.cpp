#include "host/entry_points.h"

#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "host/command_line.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/mesh_export.h"
#include "support/paths.h"
#include "support/temp_database.h"
#include "support/scene_text.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
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

// initPer reads the host's scene and grows nothing; savePer passes the host's failure on;
// cleanupPer frees. (What updates build, and the banner, are checked on the demo's surfaces.)
TEST_F(PersistentMode, InitReadsTheSceneSaveFailsWithTheHostAndCleanupFrees) {
    SAA_CustomContext context{};
    CaptureStderr();
    ASSERT_EQ(run_init_persistent(&context), 0);
    GetCapturedStderr();
    EXPECT_EQ(run_state().run_mode, kRunModePersistent);
    ASSERT_EQ(scene_state().patches.size(), 2u);
    EXPECT_EQ(scene_state().patches[1]->name, "Tail");
    for (const auto &p : scene_state().patches) EXPECT_TRUE(p->hairs.empty());
    EXPECT_NE(run_save_persistent(nullptr), 0);
    run_cleanup_persistent(&context);
    EXPECT_TRUE(scene_state().patches.empty());
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

constexpr int kFlag = 2;  // the demo's moving surface, third in the surface table

// The persistent effect's hair mesh on a copy of the demo scene: the start grows nothing, every
// frame builds the marked surface (the moving Flag) alone, the first frame creates the mesh, later
// frames edit it, savePer removes or rewrites it and cleanupPer takes it away.
class PersistentMesh : public EntryPoints {
protected:
    void SetUp() override {
        EntryPoints::SetUp();
        fs::copy(test::demo_database() + "/SCENES", db.path() / "SCENES",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        ASSERT_EQ(db.load("furball"), SAA_OK);
        CaptureStderr();
        ASSERT_EQ(run_init_persistent(&context), 0);
        GetCapturedStderr();
        ASSERT_EQ(scene_state().patches.size(), 3u);
    }
    void TearDown() override {
        run_cleanup_persistent(&context);
        EntryPoints::TearDown();
    }
    std::vector<SAA_Elem> meshes() { return test::models_of_type(db.scene, SAA_MODEL_MESH); }
    int polygons_of(const SAA_Elem &mesh) { return test::polygon_count(db.scene, mesh); }
    void update_at(int frame) {
        ASSERT_EQ(SAA_sceneSetPlayCtrlCurrentFrame(&db.scene, frame), SAA_OK);
        double seconds = 0.0;
        SAA_frame2Seconds(&db.scene, frame, &seconds);
        SAA_updatelistEvalScene(&db.scene, seconds);
        ASSERT_EQ(run_update_persistent(&context), 0);
    }

    SAA_CustomContext context{};
};

TEST_F(PersistentMesh, FramesEditOneMeshAndSavePerRemovesOrRewritesIt) {
    // The demo stores the mark on its moving surface only; the start grew no hairs.
    const auto &patches = scene_state().patches;
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(patches[size_t(p)]->presistant_rebuild, p == kFlag ? 1 : 0) << p;
        EXPECT_TRUE(patches[size_t(p)]->hairs.empty()) << p;
    }
    EXPECT_TRUE(meshes().empty());

    update_at(2);
    ASSERT_EQ(meshes().size(), 1u);
    const SAA_Elem mesh = meshes()[0];
    const int polygons = polygons_of(mesh);
    EXPECT_GT(polygons, 0);
    EXPECT_EQ(polygons % 4, 0);
    const std::vector<HairRoot> flag_roots = patches[kFlag]->hairs;
    ASSERT_FALSE(flag_roots.empty());

    update_at(3);
    ASSERT_EQ(meshes().size(), 1u);
    EXPECT_EQ(meshes()[0].id, mesh.id);  // edited, not created again
    EXPECT_EQ(patches[kFlag]->last_built_frame, 3);
    // Only the marked surface was built; its roots moved with it.
    for (int p = 0; p < kFlag; ++p) {
        EXPECT_TRUE(patches[size_t(p)]->hairs.empty()) << p;
        EXPECT_EQ(patches[size_t(p)]->last_built_frame, -1) << p;
    }
    const std::vector<HairRoot> &moved = patches[kFlag]->hairs;
    ASSERT_EQ(moved.size(), flag_roots.size());
    for (std::size_t i = 0; i < moved.size(); i += 25) {
        float distance = 0.0f;
        for (int k = 0; k < 3; ++k) distance += std::abs(moved[i].position[k] - flag_roots[i].position[k]);
        EXPECT_GT(distance, 1e-4f) << i;
    }

    const int last_polygons = polygons_of(mesh);
    context.state = 7;
    EXPECT_EQ(run_save_persistent(&context), 0);
    EXPECT_TRUE(meshes().empty());
    EXPECT_FALSE(hair_mesh_exists());
    context.state = 8;
    EXPECT_EQ(run_save_persistent(&context), 0);
    ASSERT_EQ(meshes().size(), 1u);
    EXPECT_EQ(polygons_of(meshes()[0]), last_polygons);

    run_cleanup_persistent(&context);
    EXPECT_TRUE(meshes().empty());
    EXPECT_FALSE(hair_mesh_exists());
}

// The stand-alone path's scene reader on the same ground.
class SceneReader : public EntryPoints {
protected:
    void SetUp() override {
        EntryPoints::SetUp();
        run_state().run_mode = kRunModeStandAlone;
        ASSERT_EQ(SAA_InitInternal("", 0, "SDKv1.71.6"), 0);
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

}  // namespace
}  // namespace vellimor
