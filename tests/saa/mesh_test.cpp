// Polygon meshes: creation, editing, colours and normals, PLY files, removal.
#include "support/test_prelude.h"

#include "support/ply_reader.h"
#include "support/temp_database.h"
#include "support/test_env.h"

using namespace vellimor::test;

namespace {

// Two quads sharing an edge: vertices 0..5, 4 doubles each.
const std::vector<double> kPositions = {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 2, 1, 0, 0};
const std::vector<int> kSizes = {4, 4};
const std::vector<int> kIndices = {0, 1, 4, 3, 1, 2, 5, 4};

class Meshes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(db_.load_text(scene_with_models(R"({"name": "A", "type": 0})"), "scene"), SAA_OK) << last_error();
        ASSERT_EQ(SAA_meshCreate(&db_.scene, 6, kPositions.data(), 2, kSizes.data(), kIndices.data(), &mesh_), SAA_OK)
            << last_error();
    }
    TempDatabase db_;
    SAA_Elem mesh_{};
};

TEST_F(Meshes, SaveAsAcceptsANameOrAPathAndDestroyRemoves) {
    ASSERT_EQ(SAA_elementSaveAs(&db_.scene, &mesh_, "fur.hrc"), SAA_OK) << last_error();
    EXPECT_TRUE(std::filesystem::exists(db_.path() / "MODELS" / "fur.ply"));
    std::string path = (db_.path() / "PICTURES" / "elsewhere").string();
    ASSERT_EQ(SAA_elementSaveAs(&db_.scene, &mesh_, path.c_str()), SAA_OK) << last_error();
    EXPECT_TRUE(std::filesystem::exists(path + ".ply"));
    EXPECT_EQ(SAA_elementSaveAs(&db_.scene, &mesh_, ""), SAA_ERR_ARGUMENT);
    ASSERT_EQ(SAA_selectlistSetElements(&db_.scene, 1, 1, &mesh_), SAA_OK);
    ASSERT_EQ(SAA_elementDestroy(&db_.scene, &mesh_), SAA_OK);
    int valid = 1, selected = -1;
    ASSERT_EQ(SAA_elementIsValid(&db_.scene, &mesh_, &valid), SAA_OK);
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(all_models(db_.scene).size(), 1u);
    ASSERT_EQ(SAA_selectlistGetElements(&db_.scene, 0, nullptr, &selected), SAA_OK);
    EXPECT_EQ(selected, 0) << "a removed element leaves the selection";
    EXPECT_EQ(SAA_elementSave(&db_.scene, &mesh_), SAA_ERR_INVALID);
    // The scene saves without the removed mesh.
    ASSERT_EQ(SAA_sceneSave(&db_.database, &db_.scene), SAA_OK);
    EXPECT_EQ(db_.read_scene("scene").find("\"mesh\""), std::string::npos);
}

}  // namespace

TEST_F(Meshes, PolygonsAndControlVerticesComeBackInTheGivenOrder) {
    int type = 0, count = 0;
    ASSERT_EQ(SAA_modelGetType(&db_.scene, &mesh_, &type), SAA_OK);
    EXPECT_EQ(type, SAA_MODEL_MESH);
    EXPECT_EQ(all_models(db_.scene).size(), 2u) << "the mesh joins the scene's models";
    ASSERT_EQ(SAA_meshGetNbPolygons(&db_.scene, &mesh_, &count), SAA_OK);
    ASSERT_EQ(count, 2);
    SAA_Elem polygons[2];
    ASSERT_EQ(SAA_meshGetPolygons(&db_.scene, &mesh_, 2, polygons), SAA_OK);
    // Colour every corner with the colour of the vertex it names, as the hair export does.
    std::size_t corner = 0;
    for (const SAA_Elem &p : polygons) {
        int n = 0;
        ASSERT_EQ(SAA_polygonGetNbCtrlVertices(&db_.scene, &p, &n), SAA_OK);
        ASSERT_EQ(n, 4);
        SAA_Elem cvs[4];
        ASSERT_EQ(SAA_polygonGetCtrlVertices(&db_.scene, &p, 4, cvs), SAA_OK);
        for (const SAA_Elem &cv : cvs) {
            int v = kIndices[corner++];
            unsigned char rgba[4] = {static_cast<unsigned char>(40 * v), 7, 9, 255};
            double normal[4] = {0, 0, static_cast<double>(v), 0.5 * v};
            ASSERT_EQ(SAA_polyCtrlVertexSetColors(&db_.scene, &mesh_, 1, &cv, rgba), SAA_OK);
            ASSERT_EQ(SAA_ctrlVertexSetNormals(&db_.scene, &mesh_, 1, &cv, normal), SAA_OK);
        }
    }
    ASSERT_EQ(SAA_elementSetName(&db_.scene, &mesh_, "scene-hairs"), SAA_OK);
    ASSERT_EQ(SAA_elementSave(&db_.scene, &mesh_), SAA_OK) << last_error();
    const auto ply = read_ply(read_file((db_.path() / "MODELS" / "scene-hairs.ply").string()));
    ASSERT_TRUE(ply);
    EXPECT_EQ(ply->vertex_properties, (std::vector<std::string>{"float x", "float y", "float z", "float nx", "float ny",
                                                                "float nz", "float thickness", "uchar red", "uchar green",
                                                                "uchar blue", "uchar alpha"}));
    ASSERT_EQ(ply->positions.size(), 6u);
    for (size_t v = 0; v < 6; ++v) {
        EXPECT_EQ(ply->positions[v][0], float(kPositions[4 * v]));
        EXPECT_EQ(ply->positions[v][1], float(kPositions[4 * v + 1]));
        EXPECT_EQ(ply->normals[v][2], float(v)) << "normal z";
        EXPECT_EQ(ply->thickness[v], 0.5f * float(v)) << "thickness: the normal's fourth component";
        EXPECT_EQ(ply->colors[v], (std::array<std::uint8_t, 4>{std::uint8_t(40 * v), 7, 9, 255}));
    }
    EXPECT_EQ(ply->faces, (std::vector<std::vector<int>>{{0, 1, 4, 3}, {1, 2, 5, 4}}));
}

TEST_F(Meshes, EditReplacesTheGeometryAndKeepsTheHandle) {
    const std::vector<double> triangle = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0};
    const int size = 3, indices[3] = {0, 1, 2};
    ASSERT_EQ(SAA_meshEditExtended(&db_.scene, &mesh_, 3, triangle.data(), 1, &size, indices), SAA_OK);
    int count = 0, valid = 0;
    ASSERT_EQ(SAA_meshGetNbPolygons(&db_.scene, &mesh_, &count), SAA_OK);
    EXPECT_EQ(count, 1);
    SAA_Elem stale_polygon{4, mesh_.id, 1, mesh_.serial};
    ASSERT_EQ(SAA_elementIsValid(&db_.scene, &stale_polygon, &valid), SAA_OK);
    EXPECT_EQ(valid, 0) << "the second polygon is gone";
    const int bad_index[3] = {0, 1, 3};
    EXPECT_EQ(SAA_meshEditExtended(&db_.scene, &mesh_, 3, triangle.data(), 1, &size, bad_index), SAA_ERR_ARGUMENT);
    const int bad_size = 2;
    EXPECT_EQ(SAA_meshEditExtended(&db_.scene, &mesh_, 3, triangle.data(), 1, &bad_size, indices), SAA_ERR_ARGUMENT);
    ASSERT_EQ(SAA_meshGetNbPolygons(&db_.scene, &mesh_, &count), SAA_OK);
    EXPECT_EQ(count, 1) << "a refused edit changes nothing";
}

TEST_F(Meshes, MeshesRoundTripThroughTheSceneFile) {
    SAA_Elem cv{};
    SAA_Elem polygon{};
    ASSERT_EQ(SAA_meshGetPolygons(&db_.scene, &mesh_, 1, &polygon), SAA_OK);
    ASSERT_EQ(SAA_polygonGetCtrlVertices(&db_.scene, &polygon, 1, &cv), SAA_OK);
    const unsigned char rgba[4] = {1, 2, 3, 4};
    ASSERT_EQ(SAA_polyCtrlVertexSetColors(&db_.scene, &mesh_, 1, &cv, rgba), SAA_OK);
    ASSERT_EQ(SAA_sceneSave(&db_.database, &db_.scene), SAA_OK);
    std::string first = db_.read_scene("scene");
    ASSERT_EQ(db_.load("scene"), SAA_OK) << last_error();
    ASSERT_EQ(SAA_sceneSave(&db_.database, &db_.scene), SAA_OK);
    EXPECT_EQ(db_.read_scene("scene"), first);
    EXPECT_NE(first.find("[1, 2, 3, 4]"), std::string::npos);
}

TEST_F(Meshes, ForeignControlVerticesAndBadCountsAreRefused) {
    SAA_Elem other{};
    ASSERT_EQ(SAA_meshCreate(&db_.scene, 6, kPositions.data(), 2, kSizes.data(), kIndices.data(), &other), SAA_OK);
    SAA_Elem polygon{}, cv{};
    ASSERT_EQ(SAA_meshGetPolygons(&db_.scene, &other, 1, &polygon), SAA_OK);
    ASSERT_EQ(SAA_polygonGetCtrlVertices(&db_.scene, &polygon, 1, &cv), SAA_OK);
    const unsigned char rgba[4] = {};
    EXPECT_EQ(SAA_polyCtrlVertexSetColors(&db_.scene, &mesh_, 1, &cv, rgba), SAA_ERR_INVALID);
    SAA_Elem polygons[3];
    EXPECT_EQ(SAA_meshGetPolygons(&db_.scene, &mesh_, 3, polygons), SAA_ERR_ARGUMENT);
    EXPECT_EQ(SAA_meshCreate(&db_.scene, -1, nullptr, 0, nullptr, nullptr, &other), SAA_ERR_ARGUMENT);
    const int huge_size = 2000000000;
    EXPECT_EQ(SAA_meshCreate(&db_.scene, 6, kPositions.data(), 1, &huge_size, kIndices.data(), &other), SAA_ERR_ARGUMENT);
}
