// Polygon meshes: creation, editing, colours and normals, PLY files, removal.
#include <cstring>

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

// Two quads sharing an edge: vertices 0..5, 4 doubles each.
const std::vector<double> kPositions = {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 2, 1, 0, 0};
const std::vector<int> kSizes = {4, 4};
const std::vector<int> kIndices = {0, 1, 4, 3, 1, 2, 5, 4};

struct PlyFile {
    std::string header;
    std::string body;
};

PlyFile read_ply(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::size_t end = all.find("end_header\n");
    if (end == std::string::npos) return {};
    end += std::strlen("end_header\n");
    return {all.substr(0, end), all.substr(end)};
}

float float_at(const std::string &bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

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
    PlyFile ply = read_ply(db_.path() / "MODELS" / "scene-hairs.ply");
    EXPECT_NE(ply.header.find("format binary_little_endian 1.0"), std::string::npos);
    EXPECT_NE(ply.header.find("element vertex 6\n"), std::string::npos);
    EXPECT_NE(ply.header.find("element face 2\n"), std::string::npos);
    for (const char *p : {"x", "y", "z", "nx", "ny", "nz", "thickness"})
        EXPECT_NE(ply.header.find(std::string("property float ") + p + "\n"), std::string::npos) << p;
    for (const char *p : {"red", "green", "blue", "alpha"})
        EXPECT_NE(ply.header.find(std::string("property uchar ") + p + "\n"), std::string::npos) << p;
    const std::size_t vertex_bytes = 7 * 4 + 4;
    ASSERT_EQ(ply.body.size(), 6 * vertex_bytes + 2 * (1 + 4 * 4));
    for (int v = 0; v < 6; ++v) {
        std::size_t at = static_cast<std::size_t>(v) * vertex_bytes;
        EXPECT_EQ(float_at(ply.body, at), static_cast<float>(kPositions[static_cast<std::size_t>(4 * v)]));
        EXPECT_EQ(float_at(ply.body, at + 4), static_cast<float>(kPositions[static_cast<std::size_t>(4 * v + 1)]));
        EXPECT_EQ(float_at(ply.body, at + 20), static_cast<float>(v)) << "normal z";
        EXPECT_EQ(float_at(ply.body, at + 24), 0.5f * float(v)) << "thickness: the normal's fourth component";
        EXPECT_EQ(static_cast<unsigned char>(ply.body[at + 28]), 40 * v) << "red";
        EXPECT_EQ(static_cast<unsigned char>(ply.body[at + 31]), 255) << "alpha";
    }
    std::size_t faces = 6 * vertex_bytes;
    EXPECT_EQ(ply.body[faces], 4);
    std::uint32_t third = static_cast<unsigned char>(ply.body[faces + 9]);
    EXPECT_EQ(third, 4u);
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
