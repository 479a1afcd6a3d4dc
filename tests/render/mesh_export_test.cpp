#include "render/mesh_export.h"

#include "support/test_prelude.h"

#include <limits>

#include "host/globals.h"
#include "host/scene.h"
#include "support/scene_text.h"
#include "host/status.h"
#include "support/test_env.h"
#include "support/ply_reader.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// Hairs laid out as the drawing pipeline leaves them: the points of all hairs one after the
// other in one block, each hair's points linked, and the polygon list naming the first point of
// every segment.
struct HandMadeHairs {
    std::vector<HairPoint> points;
    std::vector<HairPoint *> polygons;

    // segments per hair; point i of hair h sits at (h, i, 0) with side (w, 0, 0) and normal
    // (0, 0, w), w = 0.1 (i + 1).
    explicit HandMadeHairs(std::vector<int> segments, float color = 0.5f) {
        size_t total = 0;
        for (int n : segments) total += size_t(n + 1);
        points.resize(total);
        HairPoint *p = points.data();
        for (size_t h = 0; h < segments.size(); ++h)
            for (int i = 0; i <= segments[h]; ++i, ++p) {
                p->position[0] = float(h);
                p->position[1] = float(i);
                p->side[0] = p->normal[2] = 0.1f * float(i + 1);
                p->color[0] = p->color[1] = p->color[2] = color;
                p->color[3] = 1.0f;
                if (i < segments[h]) {
                    p->next = p + 1;
                    polygons.push_back(p);
                }
            }
    }
    long count() const { return static_cast<long>(polygons.size()); }
};

std::vector<int> tube(int b) {
    return {b + 5, b + 4, b, b + 1, b + 6, b + 5, b + 1, b + 2,
            b + 7, b + 6, b + 2, b + 3, b + 4, b + 7, b + 3, b};
}

// One hair of two segments shares its middle ring; hairs adjacent in memory like consecutive
// strands, but not linked, share nothing.
TEST(HairMeshArrays, ConnectedSegmentsShareTheirRingsAndSeparateHairsNothing) {
    const struct {
        std::vector<int> segments;
        int vertices, second_tube;
    } cases[] = {{{2}, 12, 4}, {{1, 1}, 16, 8}};
    for (const auto &c : cases) {
        HandMadeHairs hairs(c.segments);
        HairMeshArrays a;
        ASSERT_TRUE(build_hair_mesh_arrays(hairs.polygons, hairs.count(), a));
        EXPECT_EQ(a.vertex_count(), c.vertices);
        EXPECT_EQ(a.polygon_count(), 8);
        EXPECT_EQ(a.sizes, std::vector<int>(8, 4));
        std::vector<int> expected = tube(0);
        const std::vector<int> second = tube(c.second_tube);
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(a.indices, expected);
        EXPECT_EQ(a.positions.size(), 4u * c.vertices);
        EXPECT_EQ(a.normals.size(), 4u * c.vertices);
    }
}

TEST(HairMeshArrays, RingsSitAroundThePointWithOutwardNormals) {
    HandMadeHairs hairs({1});
    HairMeshArrays a;
    ASSERT_TRUE(build_hair_mesh_arrays(hairs.polygons, hairs.count(), a));
    // Ring of point 1 at (0, 1, 0), side (0.2, 0, 0), normal (0, 0, 0.2): -S, -N, +S, +N.
    const double expected_positions[4][3] = {{-0.2, 1, 0}, {0, 1, -0.2}, {0.2, 1, 0}, {0, 1, 0.2}};
    // Normals of unit length, the thickness beside them.
    const double expected_normals[4][3] = {{-1, 0, 0}, {0, 0, -1}, {1, 0, 0}, {0, 0, 1}};
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(a.normals[(4 + c) * 4 + 3], 0.2, 1e-6) << c;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(a.positions[(4 + c) * 4 + k], expected_positions[c][k], 1e-6) << c << k;
            EXPECT_NEAR(a.normals[(4 + c) * 4 + k], expected_normals[c][k], 1e-6) << c << k;
        }
    }
}

TEST(HairMeshArrays, BrokenListsAreRefused) {
    HandMadeHairs hairs({1});
    HairMeshArrays a;
    EXPECT_FALSE(build_hair_mesh_arrays(hairs.polygons, 5, a));  // more than the list holds
    EXPECT_FALSE(build_hair_mesh_arrays(hairs.polygons, -1, a));
    hairs.points[0].next = nullptr;
    EXPECT_FALSE(build_hair_mesh_arrays(hairs.polygons, 1, a));
    EXPECT_TRUE(build_hair_mesh_arrays({}, 0, a));
    EXPECT_EQ(a.vertex_count(), 0);
}

// The mesh handed to a real host scene.
class HairMeshInScene : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        ASSERT_EQ(db.load_text(test::scene_text(test::plain_model("Null", 0)), "furry"), SAA_OK);
        scene_state().scene = db.scene;
        run_state().run_mode = kRunModePersistent;
    }
    void TearDown() override {
        destroy_hair_mesh_element();
        set_hair_mesh_output_name("");
        reset_globals();
    }
    std::vector<SAA_Elem> meshes() { return test::models_of_type(db.scene, SAA_MODEL_MESH); }
    int polygons_of(const SAA_Elem &mesh) { return test::polygon_count(db.scene, mesh); }
    std::optional<test::PlyMesh> saved(const SAA_Elem &mesh, const std::string &name) {
        if (SAA_elementSaveAs(&db.scene, &mesh, name.c_str()) != SAA_OK) return std::nullopt;
        return test::read_ply(test::read_file((db.path() / "MODELS" / (name + ".ply")).string()));
    }

    test::TempDatabase db;
};

// A mesh the host refuses is a failed save; the first sound call creates the mesh, later calls
// edit the same one.
TEST_F(HairMeshInScene, ARefusedMeshFailsTheFirstSoundCallCreatesAndLaterCallsEdit) {
    HandMadeHairs broken({1});
    broken.points[1].position[2] = std::numeric_limits<float>::infinity();
    CaptureStderr();
    EXPECT_NE(save_hair_mesh(broken.polygons, broken.count()), 0);
    EXPECT_NE(GetCapturedStderr().find("Can't create polygon mesh, to save hairs"), std::string::npos);
    EXPECT_TRUE(hair_mesh_save_failed());
    EXPECT_TRUE(meshes().empty());

    HandMadeHairs one({2});
    ASSERT_EQ(save_hair_mesh(one.polygons, one.count()), 0);
    EXPECT_TRUE(hair_mesh_exists());
    EXPECT_FALSE(hair_mesh_save_failed());
    ASSERT_EQ(meshes().size(), 1u);
    const SAA_Elem first = meshes()[0];
    EXPECT_EQ(polygons_of(first), 8);

    HandMadeHairs three({1, 1, 1});
    ASSERT_EQ(save_hair_mesh(three.polygons, three.count()), 0);
    ASSERT_EQ(meshes().size(), 1u);
    EXPECT_EQ(meshes()[0].id, first.id);
    EXPECT_EQ(polygons_of(first), 12);

    destroy_hair_mesh_element();
    EXPECT_FALSE(hair_mesh_exists());
    EXPECT_TRUE(meshes().empty());
    destroy_hair_mesh_element();  // nothing left to remove: harmless
}

TEST_F(HairMeshInScene, SavedModelCarriesTheColoursAndNormals) {
    HandMadeHairs hairs({2}, 1.4f);
    ASSERT_EQ(save_hair_mesh(hairs.polygons, hairs.count()), 0);
    const auto ply = saved(meshes().at(0), "check");
    ASSERT_TRUE(ply);
    ASSERT_EQ(ply->positions.size(), 12u);
    ASSERT_EQ(ply->faces.size(), 8u);
    EXPECT_EQ(ply->faces[4], (std::vector<int>{9, 8, 4, 5}));
    // Middle ring (point 1, thickness 0.2) and tip ring (point 2, thickness 0.3).
    const std::pair<float, float> values[] = {{ply->normals[4][0], -1.0f}, {ply->normals[7][2], 1.0f},
                                              {ply->normals[9][2], -1.0f}, {ply->thickness[4], 0.2f},
                                              {ply->thickness[9], 0.3f},   {ply->positions[10][0], 0.3f},
                                              {ply->positions[10][1], 2.0f}};
    for (const auto &[got, wanted] : values) EXPECT_NEAR(got, wanted, 1e-6) << wanted;
    for (const auto &c : ply->colors) EXPECT_EQ(c, (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
}

TEST_F(HairMeshInScene, StandAloneSavesUnderTheSceneNameAndRemovesTheMesh) {
    run_state().run_mode = kRunModeStandAlone;
    run_state().batch = 1;  // status lines go to stderr
    HandMadeHairs hairs({1, 2});
    CaptureStderr();
    ASSERT_EQ(save_hair_mesh(hairs.polygons, hairs.count()), 0);
    EXPECT_EQ(GetCapturedStderr(), "Hair object saved as furry-hairs\n");
    EXPECT_FALSE(hair_mesh_exists());
    EXPECT_TRUE(meshes().empty());
    const auto ply = test::read_ply(test::read_file((db.path() / "MODELS" / "furry-hairs.ply").string()));
    ASSERT_TRUE(ply);
    EXPECT_EQ(std::make_tuple(ply->positions.size(), ply->faces.size()), std::make_tuple(4u * (2 + 3), 4u * 3));

    set_hair_mesh_output_name("chosen.hrc");
    CaptureStderr();
    ASSERT_EQ(save_hair_mesh(hairs.polygons, hairs.count()), 0);
    EXPECT_EQ(GetCapturedStderr(), "Hair object saved as chosen.hrc\n");
    EXPECT_TRUE(fs::exists(db.path() / "MODELS" / "chosen.ply"));
    EXPECT_TRUE(meshes().empty());
}

}  // namespace
}  // namespace vellimor
