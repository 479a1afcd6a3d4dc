// The persistent effect's hair mesh end to end: the host driver runs the effect over frames on a
// copy of the demo with thinner fur, saves the scene and exports the mesh of every frame; the
// test reads the scene and the model files back as another tool would. A batch render of the
// same copy shows the demo's surfaces under that fur.
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
// a new hair on the next free ring. Returns the segment count of every hair, or nothing when the
// quads break the layout.
std::optional<std::vector<int>> hairs_of(const std::vector<std::vector<int>> &faces, std::size_t vertices) {
    if (faces.size() % 4 != 0) return std::nullopt;
    std::vector<int> hairs;
    int previous = -1, next_free = 0;
    for (std::size_t q = 0; q < faces.size(); q += 4) {
        const int b = faces[q].size() == 4 ? faces[q][2] : -1;
        for (int k = 0; k < 4; ++k) {
            const int n = (k + 1) % 4;
            const std::vector<int> expected = {b + 4 + n, b + 4 + k, b + k, b + n};
            if (faces[q + static_cast<std::size_t>(k)] != expected) return std::nullopt;
        }
        if (previous >= 0 && b == previous + 4) {
            ++hairs.back();
        } else if (b == next_free) {
            hairs.push_back(1);
        } else {
            return std::nullopt;
        }
        previous = b;
        next_free = b + 8;
    }
    if (static_cast<std::size_t>(next_free) != vertices) return std::nullopt;
    return hairs;
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
        args.erase(args.begin());
        return on_scene("vellimor-host", command, db, "furball", args);
    }
    std::vector<nlohmann::json> scene_meshes() const {
        const auto scene = nlohmann::json::parse(test::read_file(db + "/SCENES/furball.dsc"));
        std::vector<nlohmann::json> meshes;
        for (const auto &model : scene.at("models"))
            if (model.at("type") == 2) meshes.push_back(model.at("mesh"));
        return meshes;
    }
    std::string model_file(int frame) const {
        return db + "/MODELS/furball-hairs." + std::to_string(frame) + ".ply";
    }

    std::string db;
};

TEST_F(HairMeshProgram, PersistentRunLeavesOneHairMeshAndAModelPerFrame) {
    const ProgramResult r = run({"persistent", "--frames", "1", "5", "--save", "--export-each-frame"});
    ASSERT_EQ(r.status, 0) << r.err;

    const auto meshes = scene_meshes();
    ASSERT_EQ(meshes.size(), 1u);
    const auto &mesh = meshes[0];
    const std::size_t vertices = mesh.at("vertices").size();
    const auto faces = mesh.at("polygons").get<std::vector<std::vector<int>>>();
    const auto hairs = hairs_of(faces, vertices);
    ASSERT_TRUE(hairs) << "the quads do not form hair tubes";
    ASSERT_FALSE(hairs->empty());
    std::size_t rings = 0;
    for (int segments : *hairs) {
        EXPECT_GE(segments, 1);
        EXPECT_LE(segments, 8);  // the demo's max_number_of_segments
        rings += static_cast<std::size_t>(segments + 1);
    }
    EXPECT_EQ(vertices, 4 * rings);

    std::vector<test::PlyMesh> frames;
    for (int frame = 1; frame <= 5; ++frame) {
        const auto ply = test::read_ply(test::read_file(model_file(frame)));
        ASSERT_TRUE(ply) << model_file(frame);
        ASSERT_TRUE(hairs_of(ply->faces, ply->positions.size())) << frame;
        frames.push_back(*ply);
    }
    // The scene holds the mesh of the last frame.
    ASSERT_EQ(frames.back().positions.size(), vertices);
    EXPECT_EQ(frames.back().faces, faces);
    for (std::size_t v = 0; v < vertices; v += 97) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(frames.back().positions[v][k], mesh["vertices"][v][k].get<double>(), 1e-5);
            EXPECT_NEAR(frames.back().normals[v][k], mesh["normals"][v][k].get<double>(), 1e-5);
        }
    }
    // Every ring's normals point away from its centre, opposite corners opposite.
    for (std::size_t ring = 0; ring < vertices; ring += 4) {
        const auto &p = frames.back().positions;
        const auto &n = frames.back().normals;
        float length = 0.0f;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(n[ring][k], -n[ring + 2][k], 1e-6);
            EXPECT_NEAR(n[ring + 1][k], -n[ring + 3][k], 1e-6);
            // The corners sit one thickness out along their unit normals around one centre.
            const auto &t = frames.back().thickness;
            EXPECT_NEAR(p[ring][k] - n[ring][k] * t[ring], p[ring + 2][k] - n[ring + 2][k] * t[ring + 2], 1e-5);
            length += n[ring][k] * n[ring][k];
        }
        EXPECT_NEAR(length, 1.0f, 1e-5) << ring;
    }
    std::size_t models = 0;
    for (const auto &entry : fs::directory_iterator(db + "/MODELS")) {
        if (entry.path().filename() == ".keep") continue;
        EXPECT_EQ(entry.path().extension(), ".ply") << entry.path();  // no half-written leftovers
        ++models;
    }
    EXPECT_EQ(models, 5u);
}

// The centre of the first ring of every hair: its root.
std::vector<std::array<float, 3>> hair_roots(const test::PlyMesh &mesh) {
    std::vector<std::array<float, 3>> roots;
    int previous = -1;
    for (std::size_t q = 0; q < mesh.faces.size(); q += 4) {
        const int b = mesh.faces[q][2];
        if (b != previous + 4) {
            std::array<float, 3> centre{};
            for (int c = 0; c < 4; ++c)
                for (int k = 0; k < 3; ++k) centre[k] += mesh.positions[static_cast<std::size_t>(b + c)][k] / 4;
            roots.push_back(centre);
        }
        previous = b;
    }
    return roots;
}

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(HairMeshProgram, OnlyTheMarkedFlagIsBuiltAndItsHairsFollowItsMotion) {
    const ProgramResult r = run({"persistent", "--frames", "1", "4", "--export-each-frame"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string messages = this->messages();
    EXPECT_EQ(occurrences(messages, "Building hairs on: Flag"), 4u);
    EXPECT_EQ(occurrences(messages, "Building hairs on: Sphere"), 0u);
    EXPECT_EQ(occurrences(messages, "Building hairs on: Ground"), 0u);
    const auto first = test::read_ply(test::read_file(model_file(1)));
    const auto last = test::read_ply(test::read_file(model_file(4)));
    ASSERT_TRUE(first && last);
    const auto before = hair_roots(*first), after = hair_roots(*last);
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t h = 0; h < before.size(); ++h) EXPECT_NE(before[h], after[h]) << h;
}

TEST_F(HairMeshProgram, AllPersistentBuildsEverySurfaceForThatRunOnly) {
    const ProgramResult r =
        run({"persistent", "--frames", "1", "3", "--all-persistent", "--save", "--export-each-frame"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string messages = this->messages();
    for (const char *surface : {"Sphere", "Ground", "Flag"})
        EXPECT_EQ(occurrences(messages, std::string("Building hairs on: ") + surface), 3u) << surface;
    const auto first = test::read_ply(test::read_file(model_file(1)));
    const auto last = test::read_ply(test::read_file(model_file(3)));
    ASSERT_TRUE(first && last);
    const auto before = hair_roots(*first), after = hair_roots(*last);
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
    std::ofstream(path("fur_message"), std::ios::trunc);
    ASSERT_EQ(run({"persistent", "--frames", "1", "1"}).status, 0);
    const std::string again = this->messages();
    EXPECT_EQ(occurrences(again, "Building hairs on: Sphere"), 0u);
    EXPECT_EQ(occurrences(again, "Building hairs on: Flag"), 1u);
}

TEST_F(HairMeshProgram, BatchWithPersistentRebuildGrowsEverySurfaceAgainEveryFrame) {
    auto batch = [&](const std::string &output, bool persistent) {
        std::vector<std::string> args = {"-b", "-n", "1", "3", "1", "-S", "32", "24", "-o", output};
        if (persistent) args.push_back("-p");
        return on_scene("vellimor", "", db, "furball", args);
    };
    const ProgramResult plain = batch("plain", false);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(occurrences(plain.err, "Building hairs on: Sphere"), 1u);  // once, before frame 1
    EXPECT_EQ(occurrences(plain.err, "Building hairs on: Flag"), 3u);   // marked in its settings
    const ProgramResult all = batch("all", true);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.err.find("Persistent Rebuild All flag\n"), std::string::npos);
    EXPECT_EQ(occurrences(all.err, "Building hairs on: Sphere"), 3u);
    EXPECT_EQ(occurrences(all.err, "Building hairs on: Ground"), 3u);
    for (int frame = 1; frame <= 3; ++frame)
        EXPECT_TRUE(fs::is_regular_file(path("all.") + std::to_string(frame) + ".pic")) << frame;
}

TEST_F(HairMeshProgram, BatchRenderShowsTheDemoSurfacesUnderTheFur) {
    const ProgramResult r = on_scene("vellimor", "", db, "furball", {"-b", "-n", "1", "1", "1", "-S", "64", "48", "-o", "demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto p = picture("demo.1.pic");
    ASSERT_TRUE(p);
    // The sphere fills the middle of the picture (about 12 pixels round): with its few hairs the
    // lit sphere shows all over, and the ground below it.
    for (int y = 21; y <= 27; ++y)
        for (int x = 29; x <= 35; ++x) {
            const size_t i = size_t(y) * size_t(p->width) + size_t(x);
            EXPECT_GT(int(p->red()[i]) + p->green()[i] + p->blue()[i], 60) << x << "," << y;
        }
    int lit_ground = 0;
    for (int x = 0; x < p->width; ++x) {
        const size_t i = size_t(p->height - 2) * size_t(p->width) + size_t(x);
        lit_ground += int(p->red()[i]) + p->green()[i] + p->blue()[i] > 30;
    }
    EXPECT_GT(lit_ground, p->width / 2);
}

}  // namespace
}  // namespace vellimor

