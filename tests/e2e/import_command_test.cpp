// vellimor-host import and flip-surface as a user runs them: the modeller's files come in, take
// the starter coat strictly, and every hair they grow points away from the surface's inside (the
// curves are exported and measured); a re-import keeps the grooming byte for byte, a refused file
// leaves the scene byte for byte, and a surface turned over says so in info.
#include "support/test_prelude.h"

#include "render/pic_file.h"
#include "support/ply_reader.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using Point = std::array<float, 3>;

std::string model(const std::string &name) { return test::source_dir() + "/tests/data/models/" + name; }

// How far a point lies from a surface's inside: growing outward raises it from root to tip.
using Depth = std::function<double(const Point &)>;

struct ImportCase {
    const char *scene;
    std::vector<std::string> files;
    std::vector<std::string> surfaces;
    Depth depth;
};

const ImportCase kCases[] = {
    {"sphere", {"sphere.obj"}, {"Sphere"}, [](const Point &p) { return std::hypot(p[0], p[1], p[2]); }},
    {"torus", {"torus.obj"}, {"Torus"}, [](const Point &p) { return std::hypot(std::hypot(p[0], p[2]) - 1.0, p[1]); }},
    {"cylinder", {"cylinder.obj"}, {"Cylinder"}, [](const Point &p) { return std::hypot(p[0], p[2]); }},
    {"grid", {"grid.obj"}, {"Grid"}, [](const Point &p) { return p[1]; }},
    {"dome", {"dome.obj"}, {"Dome"}, [](const Point &p) { return p[1]; }},
    // The bulb round its centre, the plate (at y = -0.6) upward.
    {"lamp", {"lamp.usda"}, {"Bulb", "Plate"}, [](const Point &p) {
         return std::abs(p[1] + 0.6f) < 1e-4f ? 0.0 : std::hypot(p[0], p[1] - 1.0, p[2]);
     }},
};

// The hairs of a curves PLY file: root and tip of every chain of edges.
std::vector<std::pair<Point, Point>> hairs_of(const std::string &bytes) {
    const auto ply = test::read_ply(bytes);
    if (!ply) return {};
    std::vector<char> has_in(ply->positions.size()), has_out(ply->positions.size());
    for (const std::vector<int> &edge : ply->faces) has_out[size_t(edge[0])] = has_in[size_t(edge[1])] = 1;
    std::vector<std::pair<Point, Point>> hairs;
    for (size_t i = 0; i < ply->positions.size(); ++i) {
        if (has_in[i]) continue;
        size_t tip = i;
        while (has_out[tip]) ++tip;
        hairs.emplace_back(ply->positions[i], ply->positions[tip]);
    }
    return hairs;
}

class ImportCommand : public test::ProgramTest {
protected:
    ProgramResult host(const std::string &command, const std::string &scene, const std::vector<std::string> &args) {
        return on_scene("vellimor-host", command, path("db"), scene, args);
    }
    std::string scene_bytes(const std::string &scene) const { return test::read_file(path("db/SCENES/" + scene + ".dsc")); }
};

// Every case imported, given the starter coat and its hairs exported; the scenes then serve the
// checks of a render, a re-import, a flip and refused files.
TEST_F(ImportCommand, ModelsComeInGrowOutwardRenderAndKeepTheirFurThroughReimportFlipAndRefusals) {
    std::map<std::string, std::string> out;
    for (const ImportCase &c : kCases) {
        std::vector<std::string> files;
        for (const std::string &f : c.files) files.push_back(model(f));
        const ProgramResult r = host("import", c.scene, files);
        EXPECT_EQ(r.status, 0) << c.scene << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.scene;
        out[c.scene] = r.out;
        for (const std::string &surface : c.surfaces) {
            const ProgramResult fur =
                host("apply-fur", c.scene, {"--strict", "--surface", surface, test::source_dir() + "/examples/starter.fur"});
            EXPECT_EQ(fur.status, 0) << c.scene << ": " << fur.err;
        }
        const ProgramResult curves = host("export-curves", c.scene, {"--frames", "1", "1", "--format", "ply", path(c.scene)});
        EXPECT_EQ(curves.status, 0) << c.scene << ": " << curves.err;
        const std::vector<std::pair<Point, Point>> grown = hairs_of(test::read_file(path(c.scene) + ".0001.ply"));
        EXPECT_GT(grown.size(), 500u) << c.scene;
        int inward = 0;
        for (const auto &[root, tip] : grown) inward += c.depth(tip) <= c.depth(root);
        EXPECT_EQ(inward, 0) << c.scene << ": " << inward << " of " << grown.size() << " hairs grow inward";
    }
    EXPECT_EQ(out["sphere"], "Sphere: cardinal patch surface, 24 x 15 vertices, 2 x 2 x 2 units, closed, fur outward "
                             "(new, from " + model("sphere.obj") + ")\n");
    EXPECT_TRUE(test::contains(out["lamp"], "Bulb: NURBS surface of degree 3 x 3, 11 x 5 control points"));
    EXPECT_TRUE(test::contains(out["grid"], "Grid: cardinal patch surface, 15 x 12 vertices, 3 x 0 x 3 units, open (new"));

    // The scene the import made frames what it holds, and a render shows the fur.
    const ProgramResult info = host("info", "torus", {});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(test::contains(info.out, "play range 1..30 step 1"));
    EXPECT_TRUE(test::contains(info.out, "render 640x480"));
    EXPECT_TRUE(test::contains(info.out, "light KeyLight"));
    EXPECT_TRUE(test::contains(info.out, "side Torus: closed surface, fur grows outward\n"));
    const ProgramResult rendered = host("render", "torus", {"--frames", "1", "1", "--size", "160", "120", "--output", path("torus"),
                                                           "--format", "both"});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    const std::unique_ptr<PicImage> picture = pic_read_file(path("torus.0001.pic"));
    ASSERT_TRUE(picture);
    // The ring, framed in the middle, lit; the corners are background.
    int lit = 0;
    for (std::uint8_t red : picture->planes[kPicRed]) lit += red > 40;
    EXPECT_GT(lit, 160 * 120 / 10);
    for (const std::size_t corner : {0u, 159u, 119u * 160u, 119u * 160u + 159u}) EXPECT_LT(picture->planes[kPicRed][corner], 10);
    EXPECT_GT(picture->planes[kPicRed][60 * 160 + 80], 40);

    // An artist remodels after grooming: the new geometry comes in, the grooming stays byte for
    // byte; a surface turned over says so in info and keeps its fur too.
    const ProgramResult before = host("export-fur", "sphere", {path("before.fur")});
    ASSERT_EQ(before.status, 0) << before.err;
    const ProgramResult again = host("import", "sphere", {model("sphere.obj")});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(test::contains(again.out, "(geometry replaced from " + model("sphere.obj") + ", fur settings kept)"));
    ASSERT_EQ(host("export-fur", "sphere", {path("after.fur")}).status, 0);
    EXPECT_EQ(test::read_file(path("after.fur")), test::read_file(path("before.fur")));

    const ProgramResult flipped = host("flip-surface", "sphere", {"Sphere"});
    ASSERT_EQ(flipped.status, 0) << flipped.err;
    EXPECT_EQ(flipped.out, "Sphere: turned over, fur now grows inward\n");
    EXPECT_TRUE(test::contains(host("info", "sphere", {}).out,
                               "side Sphere: closed surface, fur grows inward (flip-surface turns it over)"));
    ASSERT_EQ(host("export-fur", "sphere", {path("flipped.fur")}).status, 0);
    EXPECT_EQ(test::read_file(path("flipped.fur")), test::read_file(path("before.fur")));
    EXPECT_EQ(host("flip-surface", "sphere", {"Sphere"}).out, "Sphere: turned over, fur now grows outward\n");
    EXPECT_EQ(host("flip-surface", "sphere", {"Nothing"}).status, 1);

    // A refused file changes nothing and says where it went wrong; other files and objects still
    // come in, and the exit status tells that something was refused.
    const std::string scene = scene_bytes("grid");
    std::ofstream(path("cut.usda")) << "#usda 1.0\ndef Mesh \"M\" {\n int[] faceVertexCounts = [4, 4,";
    std::ofstream(path("bad.obj")) << "v 0 0 0\nv 1 0 nan\n";
    const ProgramResult refused = host("import", "grid", {path("cut.usda"), path("bad.obj")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(test::contains(refused.err, path("cut.usda") + ":3: expected a value (is the file cut short?)")) << refused.err;
    EXPECT_TRUE(test::contains(refused.err, path("bad.obj") + ":2: \"nan\" is not a finite number")) << refused.err;
    EXPECT_EQ(scene_bytes("grid"), scene);
    EXPECT_FALSE(fs::exists(path("db/SCENES/none.dsc")));
    EXPECT_EQ(host("import", "none", {path("bad.obj")}).status, 1);
    EXPECT_FALSE(fs::exists(path("db/SCENES/none.dsc")));

    std::ofstream(path("mixed.obj")) << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\no Good\nf 1 2 3 4\no Tri\nf 1 2 3\n";
    const ProgramResult mixed = host("import", "grid", {path("mixed.obj"), model("dome.obj")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_TRUE(test::contains(mixed.err,
                               path("mixed.obj") + ": Tri: 1 of 1 faces are not quads of one grid (skipped)"));
    EXPECT_TRUE(test::contains(mixed.out, "Good: cardinal patch surface"));
    EXPECT_TRUE(test::contains(mixed.out, "Dome: NURBS surface"));
}

}  // namespace
}  // namespace vellimor
