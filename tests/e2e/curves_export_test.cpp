// export-curves as another tool sees its files: the USD text layer read back by a reader of its
// own agrees with the hairs the renderer drew (the hair mesh of the same frame: one ring of four
// vertices around every point), the PLY edges chain the points of every hair, and the hair mesh
// carries unit normals and the thickness beside them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "support/ply_reader.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using CurvesExport = test::ProgramTest;

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
