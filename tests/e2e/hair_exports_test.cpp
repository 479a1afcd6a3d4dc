// The hairs leave the programs as files other tools read, end to end on copies of the demo: the
// persistent effect's hair mesh over frames (the scene and the model files read back as another
// tool would; batch renders of the same copy grow what is marked), and export-curves' USD text
// layers and PLY curves, which a reader of this test finds to hold the hairs the renderer draws
// (the hair mesh of the same frame: one ring of four vertices around every point).
#include "support/test_prelude.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <regex>

#include "render/pic_file.h"
#include "support/ply_reader.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using CurvesExport = test::ProgramTest;

// The demo's fur with few hairs per square unit; the moving Flag, marked in its settings,
// rebuilds its hairs every frame.
std::string thin_fur() {
    const std::pair<const char *, int> surfaces[] = {{"Sphere", 4}, {"Ground", 1}, {"Flag", 30}};
    std::string all;
    for (const auto &[name, density] : surfaces) {
        std::string text = test::read_file(test::demo_database() + "/fur/" + name + ".fur");
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

// One attribute value: a flat list of numbers (tuples flattened, their width kept).
struct UsdValue {
    std::vector<double> numbers;
    int tuple = 1;
};

// The time a default value is kept under.
constexpr int kDefaultTime = std::numeric_limits<int>::min();

struct UsdPrim {
    std::string name;
    std::map<std::string, std::map<int, UsdValue>> samples;  // attribute -> time (or kDefaultTime) -> value
    std::map<std::string, std::string> tokens, interpolation;
};

UsdValue numbers_of(const std::string &text) {
    UsdValue v;
    const size_t open = text.find('('), close = text.find(')');
    if (open != std::string::npos && close != std::string::npos) v.tuple = int(std::count(text.begin() + long(open), text.begin() + long(close), ',')) + 1;
    for (const char *at = text.c_str(); *at;) {
        char *end = nullptr;
        const double n = std::strtod(at, &end);
        if (end == at) {
            ++at;
        } else {
            v.numbers.push_back(n);
            at = end;
        }
    }
    return v;
}

// The BasisCurves prims of a USD text layer as another tool reads them: a statement a line, time
// samples a line each; empty when a line is none of those.
std::vector<UsdPrim> read_usd(const std::string &text) {
    std::vector<UsdPrim> prims;
    if (!text.starts_with("#usda 1.0\n")) return {};
    const std::string def = "    def BasisCurves \"", token = "        uniform token ", vertex = "interpolation = \"";
    std::istringstream lines(text);
    std::string attribute;
    bool sampled = false, in_prim = false;
    const auto between = [](const std::string &line, size_t from, char end) {
        return line.substr(from, line.find(end, from) - from);
    };
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        if (line.starts_with(def)) {
            prims.push_back({between(line, def.size(), '"')});
        } else if (line == "    {" || line == "    }") {
            in_prim = line == "    {";
        } else if (!in_prim || line == "        )" || line == "        }") {
            continue;
        } else if (line.starts_with(token)) {
            const std::string name = between(line, token.size(), ' ');
            prims.back().tokens[name] = between(line, line.find('"') + 1, '"');
        } else if (line.find(vertex) == 12) {
            prims.back().interpolation[attribute] = between(line, 12 + vertex.size(), '"');
        } else if (sampled && line.starts_with("            ") && colon != std::string::npos) {
            prims.back().samples[attribute][std::stoi(line.substr(12, colon - 12))] = numbers_of(line.substr(colon + 2));
        } else if (line.starts_with("        ") && line[8] != ' ') {
            const size_t name_at = line.find(' ', 8) + 1, equals = line.find(" = ");
            attribute = line.substr(name_at, std::min(equals, line.find(" (", name_at)) - name_at);
            sampled = attribute.ends_with(".timeSamples");
            if (sampled) attribute.resize(attribute.size() - 12);
            if (equals != std::string::npos && !sampled)
                prims.back().samples[attribute][kDefaultTime] = numbers_of(line.substr(equals + 3));
        } else {
            return {};
        }
    }
    return prims;
}

// The demo's hairs of frames 1 and 2 as a USD layer, frame 3 alone as another, and frames 1 and 2
// as PLY curves, each judged against the hair mesh the renderer's drawing writes of frame 1: one
// ring of four vertices around every point of a hair, its distance to a corner half the width.
TEST_F(CurvesExport, TheLayersAndCurvesHoldTheHairsTheRendererDraws) {
    const std::string database = demo_copy();
    const auto host = [&](const std::string &command, const std::vector<std::string> &args) {
        const ProgramResult r = on_scene("vellimor-host", command, database, "furball", args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    };
    host("persistent", {"--frames", "1", "1", "--all-persistent", "--export-each-frame"});
    const auto mesh = test::read_ply(test::slurp(database + "/MODELS/furball-hairs.1.ply"));
    ASSERT_TRUE(mesh);
    EXPECT_EQ(host("export-curves", {"--frames", "1", "2", path("hairs.usda")}).out, path("hairs.usda") + "\n");
    const std::vector<UsdPrim> prims = read_usd(test::slurp(path("hairs.usda")));
    ASSERT_EQ(prims.size(), 3u);  // Sphere, Ground, Flag
    EXPECT_EQ(prims[0].name, "Sphere");
    EXPECT_EQ(prims[2].name, "Flag");
    std::vector<double> points, widths;
    size_t curves = 0;
    for (const UsdPrim &prim : prims) {
        EXPECT_EQ(prim.tokens.at("type"), "linear");
        EXPECT_EQ(prim.interpolation.at("widths"), "vertex");
        EXPECT_EQ(prim.interpolation.at("primvars:displayColor"), "vertex");
        // Values that stay put are written once, as defaults; the moving Flag's points are sampled.
        for (const char *attribute : {"curveVertexCounts", "points", "widths", "primvars:displayColor", "extent"}) {
            const auto &values = prim.samples.at(attribute);
            const bool defaulted = values.count(kDefaultTime) == 1;
            ASSERT_EQ(values.size(), defaulted ? 1u : 2u) << prim.name << " " << attribute;
            const bool moves = prim.name == "Flag" && std::string(attribute) == "points";
            EXPECT_TRUE(defaulted == !moves || prim.name == "Flag") << prim.name << " " << attribute;
        }
        const auto at_frame_1 = [&prim](const char *attribute) -> const UsdValue & {
            const auto &values = prim.samples.at(attribute);
            return values.count(kDefaultTime) ? values.at(kDefaultTime) : values.at(1);
        };
        const UsdValue &counts = at_frame_1("curveVertexCounts"), &p = at_frame_1("points"), &w = at_frame_1("widths"),
                       &c = at_frame_1("primvars:displayColor");
        double total = 0;
        for (double n : counts.numbers) {
            EXPECT_GE(n, 2) << prim.name;
            total += n;
        }
        ASSERT_EQ(p.tuple, 3);
        ASSERT_EQ(p.numbers.size(), size_t(total) * 3) << prim.name;
        ASSERT_EQ(w.numbers.size(), size_t(total)) << prim.name;
        ASSERT_EQ(c.numbers.size(), size_t(total) * 3) << prim.name;
        for (double channel : c.numbers) EXPECT_TRUE(channel >= 0 && channel <= 1);
        // The extent is the box around every point grown by half its width.
        const std::vector<double> &extent = at_frame_1("extent").numbers;
        ASSERT_EQ(extent.size(), 6u) << prim.name;
        for (size_t k = 0; k < 3; ++k) {
            double low = INFINITY, high = -INFINITY;
            for (size_t i = 0; i < w.numbers.size(); ++i) {
                low = std::min(low, p.numbers[i * 3 + k] - w.numbers[i] / 2);
                high = std::max(high, p.numbers[i * 3 + k] + w.numbers[i] / 2);
            }
            EXPECT_NEAR(extent[k], low, 1e-5) << prim.name << " axis " << k;
            EXPECT_NEAR(extent[k + 3], high, 1e-5) << prim.name << " axis " << k;
        }
        curves += counts.numbers.size();
        points.insert(points.end(), p.numbers.begin(), p.numbers.end());
        widths.insert(widths.end(), w.numbers.begin(), w.numbers.end());
    }
    const size_t vertices = mesh->positions.size(), quads = mesh->faces.size();
    ASSERT_EQ(vertices, points.size() / 3 * 4) << "one ring of four vertices around every point";
    EXPECT_EQ((vertices - quads) / 4, curves) << "as many curves as hairs drawn";
    for (size_t i = 0; i < points.size() / 3; ++i) {
        double centre[3] = {0, 0, 0}, radius = 0;
        for (int corner = 0; corner < 4; ++corner)
            for (int k = 0; k < 3; ++k) centre[k] += mesh->positions[i * 4 + size_t(corner)][size_t(k)] / 4.0;
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(centre[k], points[i * 3 + size_t(k)], 1e-4) << "point " << i;
            radius += std::pow(mesh->positions[i * 4][size_t(k)] - centre[k], 2);
        }
        ASSERT_NEAR(std::sqrt(radius) * 2, widths[i], 1e-4) << "width of point " << i;
    }

    // A single frame has no time samples.
    host("export-curves", {"--frames", "3", path("new/one.usda")});
    const std::string one = test::slurp(path("new/one.usda"));
    EXPECT_FALSE(test::contains(one, "timeSamples"));
    ASSERT_EQ(read_usd(one).size(), 3u);
    for (const UsdPrim &prim : read_usd(one)) EXPECT_EQ(prim.samples.at("points").count(kDefaultTime), 1u);

    // The PLY edges join a vertex to the next one; hairs are chains that share nothing.
    EXPECT_EQ(host("export-curves", {"--frames", "1", "2", "--format", "ply", path("hairs")}).out,
              path("hairs.0001.ply") + "\n" + path("hairs.0002.ply") + "\n");
    const auto ply = test::read_ply(test::slurp(path("hairs.0001.ply")));
    ASSERT_TRUE(ply);
    ASSERT_FALSE(ply->faces.empty());
    size_t chains = 0;
    for (size_t e = 0; e < ply->faces.size(); ++e) {
        ASSERT_EQ(ply->faces[e][1], ply->faces[e][0] + 1);
        if (e == 0 || ply->faces[e - 1][1] != ply->faces[e][0]) ++chains;
    }
    EXPECT_EQ(ply->positions.size() * 4, mesh->positions.size());
    EXPECT_EQ(ply->faces.size() * 4, mesh->faces.size()) << "one edge per tube segment";
    EXPECT_EQ(chains * 4, mesh->positions.size() - mesh->faces.size()) << "one chain per hair";
    for (float t : ply->thickness) EXPECT_GE(t, 0.0f);
}

}  // namespace
}  // namespace vellimor
