// The persistent effect's hair mesh end to end: the host driver runs the effect over frames on a
// copy of the demo with thinner fur, saves the scene and exports the mesh of every frame; the
// test reads the scene and the model files back as another tool would. Batch renders of the same
// copy grow what is marked and show the demo's surfaces under that fur.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "render/pic_file.h"
#include "support/ply_reader.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

std::string furball() { return test::demo_database(); }

// The demo's fur with few hairs per square unit; the moving Flag, marked in its settings,
// rebuilds its hairs every frame.
std::string thin_fur() {
    const std::pair<const char *, int> surfaces[] = {{"Sphere", 4}, {"Ground", 1}, {"Flag", 30}};
    std::string all;
    for (const auto &[name, density] : surfaces) {
        std::string text = test::read_file(furball() + "/fur/" + name + ".fur");
        text = std::regex_replace(text, std::regex("number_of_hairs_pr_square_unit = [0-9]+"),
                                  "number_of_hairs_pr_square_unit = " + std::to_string(density));
        all += text;
    }
    return all;
}

// Hairs of a mesh in the tube layout: every run of four quads shares the ring pattern, and a
// segment either continues the previous one (its first ring is the previous end ring) or starts
// a new hair on the next free ring. Returns the first vertex and the segment count of every hair,
// or nothing when the quads break the layout.
std::optional<std::vector<std::pair<int, int>>> hairs_of(const std::vector<std::vector<int>> &faces,
                                                          std::size_t vertices) {
    if (faces.size() % 4 != 0) return std::nullopt;
    std::vector<std::pair<int, int>> hairs;
    int previous = -1, next_free = 0;
    for (std::size_t q = 0; q < faces.size(); q += 4) {
        const int b = faces[q].size() == 4 ? faces[q][2] : -1;
        for (int k = 0; k < 4; ++k) {
            const int n = (k + 1) % 4;
            if (faces[q + size_t(k)] != std::vector<int>{b + 4 + n, b + 4 + k, b + k, b + n}) return std::nullopt;
        }
        if (previous >= 0 && b == previous + 4) {
            ++hairs.back().second;
        } else if (b == next_free) {
            hairs.emplace_back(b, 1);
        } else {
            return std::nullopt;
        }
        previous = b;
        next_free = b + 8;
    }
    if (size_t(next_free) != vertices) return std::nullopt;
    return hairs;
}

// The centre of the first ring of every hair: its root.
std::vector<std::array<float, 3>> hair_roots(const test::PlyMesh &mesh) {
    std::vector<std::array<float, 3>> roots;
    for (const auto &[first, segments] : hairs_of(mesh.faces, mesh.positions.size()).value_or(std::vector<std::pair<int, int>>{})) {
        std::array<float, 3> centre{};
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 3; ++k) centre[k] += mesh.positions[size_t(first + c)][k] / 4;
        roots.push_back(centre);
    }
    return roots;
}

class HairMeshProgram : public test::ProgramTest {
protected:
    void SetUp() override {
        db = demo_copy("db");
        std::ofstream(path("thin.txt")) << thin_fur();
        const ProgramResult applied = run({"apply-fur", path("thin.txt")});
        ASSERT_EQ(applied.status, 0) << applied.err;
    }
    ProgramResult run(std::vector<std::string> args) {
        const std::string command = args[0];
        return on_scene("vellimor-host", command, db, "furball", {args.begin() + 1, args.end()});
    }
    std::vector<nlohmann::json> scene_meshes() const {
        std::vector<nlohmann::json> meshes;
        const auto scene = nlohmann::json::parse(test::read_file(db + "/SCENES/furball.dsc"));
        for (const auto &model : scene.at("models"))
            if (model.at("type") == 2) meshes.push_back(model.at("mesh"));
        return meshes;
    }
    test::PlyMesh model(int frame) const {
        const auto ply = test::read_ply(test::read_file(db + "/MODELS/furball-hairs." + std::to_string(frame) + ".ply"));
        EXPECT_TRUE(ply && hairs_of(ply->faces, ply->positions.size())) << "frame " << frame;
        return ply.value_or(test::PlyMesh{});
    }

    std::string db;
};

TEST_F(HairMeshProgram, PersistentRunLeavesOneHairMeshAndAModelPerFrame) {
    const ProgramResult r = run({"persistent", "--frames", "1", "5", "--save", "--export-each-frame"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The effect's frame loop: updated and saved every frame, cleaned up at the end; only the
    // marked Flag is built, every frame.
    EXPECT_EQ(test::count(r.err, "Fur build: 2000"), 1u);
    EXPECT_EQ(test::count(r.err, "Fur internal version"), 0u);
    const std::string log = messages();
    EXPECT_EQ(test::count(log, "Update Persistent\n"), 5u);
    EXPECT_GE(test::count(log, "Save Persistent\n"), 5u);
    EXPECT_LT(log.rfind("Save Persistent\n"), log.find("Cleanup Persistent\n"));
    EXPECT_EQ(test::count(log, "Building hairs on: Flag"), 5u);
    EXPECT_EQ(test::count(log, "Building hairs on: Sphere") + test::count(log, "Building hairs on: Ground"), 0u);

    const auto meshes = scene_meshes();
    ASSERT_EQ(meshes.size(), 1u);
    const auto &mesh = meshes[0];
    const std::size_t vertices = mesh.at("vertices").size();
    const auto faces = mesh.at("polygons").get<std::vector<std::vector<int>>>();
    const auto hairs = hairs_of(faces, vertices);
    ASSERT_TRUE(hairs) << "the quads do not form hair tubes";
    ASSERT_FALSE(hairs->empty());
    std::size_t rings = 0;
    for (const auto &[first, segments] : *hairs) {
        EXPECT_GE(segments, 1);
        EXPECT_LE(segments, 8);  // the demo's max_number_of_segments
        rings += size_t(segments + 1);
    }
    EXPECT_EQ(vertices, 4 * rings);

    // The scene holds the mesh of the last frame; the Flag's hairs moved with it since the first.
    const test::PlyMesh last = model(5);
    ASSERT_EQ(last.positions.size(), vertices);
    EXPECT_EQ(last.faces, faces);
    const auto before = hair_roots(model(1)), after = hair_roots(last);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t h = 0; h < before.size(); ++h) EXPECT_NE(before[h], after[h]) << h;
    for (std::size_t v = 0; v < vertices; v += 97) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(last.positions[v][k], mesh["vertices"][v][k].get<double>(), 1e-5);
            EXPECT_NEAR(last.normals[v][k], mesh["normals"][v][k].get<double>(), 1e-5);
        }
    }
    // Every ring's normals point away from its centre, opposite corners opposite; the corners sit
    // one thickness out along their unit normals around one centre.
    const auto &p = last.positions;
    const auto &n = last.normals;
    const auto &t = last.thickness;
    for (std::size_t ring = 0; ring < vertices; ring += 4) {
        float length = 0.0f;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(n[ring][k], -n[ring + 2][k], 1e-6);
            EXPECT_NEAR(n[ring + 1][k], -n[ring + 3][k], 1e-6);
            EXPECT_NEAR(p[ring][k] - n[ring][k] * t[ring], p[ring + 2][k] - n[ring + 2][k] * t[ring + 2], 1e-5);
            length += n[ring][k] * n[ring][k];
        }
        EXPECT_NEAR(length, 1.0f, 1e-5) << ring;
    }
    std::set<std::string> models = files_in(db + "/MODELS");
    models.erase(".keep");
    EXPECT_EQ(models, (std::set<std::string>{"furball-hairs.1.ply", "furball-hairs.2.ply", "furball-hairs.3.ply",
                                             "furball-hairs.4.ply", "furball-hairs.5.ply"}))
        << "no half-written leftovers";
}

TEST_F(HairMeshProgram, AllPersistentBuildsEverySurfaceForThatRunOnly) {
    const ProgramResult r =
        run({"persistent", "--frames", "1", "3", "--all-persistent", "--save", "--export-each-frame"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *surface : {"Sphere", "Ground", "Flag"})
        EXPECT_EQ(test::count(messages(), std::string("Building hairs on: ") + surface), 3u) << surface;
    const auto before = hair_roots(model(1)), after = hair_roots(model(3));
    ASSERT_EQ(before.size(), after.size());
    // Hairs come surface by surface: the still Sphere and Ground grow theirs at the same places
    // every frame, the Flag's move with it.
    std::size_t same = 0;
    while (same < before.size() && before[same] == after[same]) ++same;
    EXPECT_GT(same, 0u);
    EXPECT_LT(same, before.size());
    for (std::size_t h = same; h < before.size(); ++h) EXPECT_NE(before[h], after[h]) << h;
    // The saved scene has the hair mesh and its own marks: a plain run builds the Flag alone.
    ASSERT_EQ(scene_meshes().size(), 1u);
    ASSERT_EQ(run({"persistent", "--frames", "1", "1"}).status, 0);
    EXPECT_EQ(test::count(messages(), "Building hairs on: Sphere"), 0u);
    EXPECT_EQ(test::count(messages(), "Building hairs on: Flag"), 1u);
}

// The batch render grows the still surfaces once and the marked Flag every frame, every surface
// every frame with -p; the picture shows the demo's surfaces under the thin fur.
TEST_F(HairMeshProgram, BatchGrowsWhatIsMarkedAndShowsTheSurfacesUnderTheFur) {
    auto batch = [&](const std::string &output, bool persistent) {
        std::vector<std::string> args = {"-b", "-n", "1", "3", "1", "-S", "64", "48", "-o", output};
        if (persistent) args.push_back("-p");
        return on_scene("vellimor", "", db, "furball", args);
    };
    const ProgramResult plain = batch("plain", false);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(test::count(plain.err, "Building hairs on: Sphere"), 1u);  // once, before frame 1
    EXPECT_EQ(test::count(plain.err, "Building hairs on: Flag"), 3u);   // marked in its settings
    const ProgramResult all = batch("all", true);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(test::contains(all.err, "Persistent Rebuild All flag\n"));
    EXPECT_EQ(test::count(all.err, "Building hairs on: Sphere"), 3u);
    EXPECT_EQ(test::count(all.err, "Building hairs on: Ground"), 3u);
    for (int frame = 1; frame <= 3; ++frame) EXPECT_TRUE(fs::is_regular_file(path("all.") + std::to_string(frame) + ".pic"));

    // The sphere fills the middle of the picture (about 12 pixels round): with its few hairs the
    // lit sphere shows all over, and the ground below it.
    auto p = picture("plain.1.pic");
    ASSERT_TRUE(p);
    const auto lit = [&](int x, int y) {
        const size_t i = size_t(y) * size_t(p->width) + size_t(x);
        return int(p->red()[i]) + p->green()[i] + p->blue()[i];
    };
    for (int y = 21; y <= 27; ++y)
        for (int x = 29; x <= 35; ++x) EXPECT_GT(lit(x, y), 60) << x << "," << y;
    int lit_ground = 0;
    for (int x = 0; x < p->width; ++x) lit_ground += lit(x, p->height - 2) > 30;
    EXPECT_GT(lit_ground, p->width / 2);
}

}  // namespace
}  // namespace vellimor
