// The persistent effect's hair mesh through the entry points, on a copy of the demo scene: the
// start grows nothing, every frame builds the marked surface (the moving Flag) alone, the first
// frame creates the mesh, later frames edit it, savePer removes or rewrites it and cleanupPer
// takes it away.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "furdata/display_settings.h"
#include "host/configuration.h"
#include "host/entry_points.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/mesh_export.h"
#include "support/temp_database.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr int kFlag = 2;  // the demo's moving surface, third in the surface table

class PersistentMesh : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        env.set("TEMP", temp.path());
        env.set("SI_LOCATION", temp.path());
        env.set("FUR_LOCATION", temp.path());
        env.unset("DISPLAY");
        const char *source = std::getenv("VELLIMOR_SOURCE_DIR");
        ASSERT_TRUE(source);
        fs::copy(fs::path(source) / "examples/furball/SCENES", db.path() / "SCENES",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        ASSERT_EQ(db.load("furball"), SAA_OK);
        CaptureStderr();
        ASSERT_EQ(run_init_persistent(&context), 0);
        GetCapturedStderr();
        ASSERT_EQ(scene_state().patches.size(), 3u);
    }
    void TearDown() override {
        run_cleanup_persistent(&context);
        display_settings_free();
        reset_globals();
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

    test::ScopedEnv env;
    test::TempDir temp;
    test::TempDatabase db;
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

}  // namespace
}  // namespace vellimor
