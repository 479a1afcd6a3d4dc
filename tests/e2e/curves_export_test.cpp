// export-curves as another tool sees its files: the USD text layer read back by a parser of its
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

#include "support/ply_reader.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

// ---- a reader of the USD text subset the layer uses -------------------------------------------

// One attribute value: a flat list of numbers (tuples flattened, their width kept).
struct UsdValue {
    std::vector<double> numbers;
    int tuple = 1;
};

// The time a default value is kept under.
constexpr int kDefaultTime = std::numeric_limits<int>::min();

struct UsdPrim {
    std::string type, name;
    std::map<std::string, std::map<int, UsdValue>> samples;  // attribute -> time (or kDefaultTime) -> value
    std::map<std::string, std::string> tokens;                // uniform token attributes
    std::map<std::string, std::string> interpolation;
};

class UsdText {
public:
    explicit UsdText(std::string text) : s_(std::move(text)) {}

    // The prims of every "def TYPE "NAME"", nested or not; false on text it can't read.
    bool read(std::vector<UsdPrim> &prims, std::string &error) {
        if (s_.rfind("#usda 1.0\n", 0) != 0) return fail("no #usda 1.0 header", error);
        const std::string def = "def BasisCurves \"";
        for (size_t at = s_.find(def); at != std::string::npos; at = s_.find(def, at + 1)) {
            UsdPrim prim;
            i_ = at + 4;
            prim.type = word();
            prim.name = quoted();
            const size_t body = s_.find("\n    {\n", i_);
            const size_t end = s_.find("\n    }\n", body);
            if (body == std::string::npos || end == std::string::npos) return fail("prim without body", error);
            i_ = body + 7;
            while (i_ < end) {
                if (!attribute(prim, error)) return false;
            }
            prims.push_back(std::move(prim));
        }
        return true;
    }

private:
    bool fail(const std::string &what, std::string &error) {
        error = what + " near offset " + std::to_string(i_);
        return false;
    }
    void blank() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    std::string word() {
        blank();
        const size_t start = i_;
        while (i_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[i_])) && s_[i_] != '(' && s_[i_] != '=')
            ++i_;
        return s_.substr(start, i_ - start);
    }
    std::string quoted() {
        blank();
        if (s_[i_] != '"') return {};
        const size_t end = s_.find('"', i_ + 1);
        std::string text = s_.substr(i_ + 1, end - i_ - 1);
        i_ = end + 1;
        return text;
    }
    bool expect(char c) {
        blank();
        if (i_ >= s_.size() || s_[i_] != c) return false;
        ++i_;
        return true;
    }
    double number() {
        blank();
        char *end = nullptr;
        const double v = std::strtod(s_.c_str() + i_, &end);
        i_ = size_t(end - s_.c_str());
        return v;
    }
    // [n, n, ...] or [(a, b, c), ...]
    bool array(UsdValue &v) {
        if (!expect('[')) return false;
        blank();
        while (s_[i_] != ']') {
            if (s_[i_] == '(') {
                ++i_;
                int width = 0;
                do {
                    v.numbers.push_back(number());
                    ++width;
                } while (expect(','));
                if (!expect(')')) return false;
                v.tuple = width;
            } else {
                v.numbers.push_back(number());
            }
            blank();
            if (s_[i_] == ',') ++i_;
            blank();
        }
        ++i_;
        return true;
    }
    // One attribute statement of the prim body.
    bool attribute(UsdPrim &prim, std::string &error) {
        std::string first = word();
        if (first.empty()) return true;
        const bool uniform = first == "uniform";
        const std::string type = uniform ? word() : first;
        std::string name = word();
        blank();
        if (type == "token") {
            if (!expect('=')) return fail("token without value", error);
            prim.tokens[name] = quoted();
            return true;
        }
        const std::string suffix = ".timeSamples";
        const bool has_default = s_[i_] == '=' && !name.ends_with(suffix);
        if (has_default) {  // a default value, perhaps with metadata after it
            ++i_;
            UsdValue v;
            if (!array(v)) return fail("bad default of " + name, error);
            prim.samples[name][kDefaultTime] = std::move(v);
            blank();
        }
        if (s_[i_] == '(') {  // metadata of a declaration
            const size_t end = s_.find(')', i_);
            const std::string meta = s_.substr(i_, end - i_);
            const size_t q = meta.find("interpolation = \"");
            if (q != std::string::npos)
                prim.interpolation[name] = meta.substr(q + 17, meta.find('"', q + 17) - q - 17);
            i_ = end + 1;
            return true;
        }
        if (has_default) return true;
        if (!name.ends_with(suffix) || !expect('=') || !expect('{')) return fail("unknown statement " + name, error);
        name.resize(name.size() - suffix.size());
        while (!expect('}')) {
            const int time = int(number());
            UsdValue v;
            if (!expect(':') || !array(v)) return fail("bad sample of " + name, error);
            prim.samples[name][time] = std::move(v);
            expect(',');
        }
        return true;
    }

    std::string s_;
    size_t i_ = 0;
};

// ---- a reader of the curves PLY -------------------------------------------------------------

struct CurvesPly {
    std::vector<std::array<float, 4>> vertices;  // x y z thickness
    std::vector<std::array<std::uint8_t, 4>> colors;
    std::vector<std::array<int32_t, 2>> edges;
};

std::optional<CurvesPly> read_curves_ply(const std::string &bytes) {
    const std::string marker = "end_header\n";
    const size_t header_end = bytes.find(marker);
    if (header_end == std::string::npos) return std::nullopt;
    const std::string header = bytes.substr(0, header_end);
    const std::string expected_properties =
        "property float x\nproperty float y\nproperty float z\nproperty float thickness\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n";
    if (header.find(expected_properties) == std::string::npos ||
        header.find("property int vertex1\nproperty int vertex2\n") == std::string::npos)
        return std::nullopt;
    const long vertices = std::stol(header.substr(header.find("element vertex ") + 15));
    const long edges = std::stol(header.substr(header.find("element edge ") + 13));
    size_t at = header_end + marker.size();
    if (bytes.size() != at + size_t(vertices) * 20 + size_t(edges) * 8) return std::nullopt;
    CurvesPly ply;
    for (long v = 0; v < vertices; ++v, at += 20) {
        std::array<float, 4> p;
        std::memcpy(p.data(), bytes.data() + at, 16);
        std::array<std::uint8_t, 4> c;
        std::memcpy(c.data(), bytes.data() + at + 16, 4);
        ply.vertices.push_back(p);
        ply.colors.push_back(c);
    }
    for (long e = 0; e < edges; ++e, at += 8) {
        std::array<int32_t, 2> pair;
        std::memcpy(pair.data(), bytes.data() + at, 8);
        ply.edges.push_back(pair);
    }
    return ply;
}

// ---- the tests -------------------------------------------------------------------------------

class CurvesExport : public test::ProgramTest {
protected:
    void SetUp() override { database = demo_copy(); }
    ProgramResult host(const std::string &command, const std::vector<std::string> &args) {
        return on_scene("vellimor-host", command, database.string(), "furball", args);
    }
    // The hair mesh of frame 1 as the renderer's drawing writes it.
    test::PlyMesh hair_mesh_of_frame_1() {
        const ProgramResult r = host("persistent", {"--frames", "1", "1", "--all-persistent", "--export-each-frame"});
        EXPECT_EQ(r.status, 0) << r.err;
        const auto mesh = test::read_ply(test::slurp((database / "MODELS" / "furball-hairs.1.ply").string()));
        EXPECT_TRUE(mesh.has_value());
        return mesh.value_or(test::PlyMesh{});
    }

    fs::path database;
};

TEST_F(CurvesExport, TheUsdLayerHoldsTheHairsTheRendererDraws) {
    const std::string layer = (fs::path(work.path()) / "hairs.usda").string();
    const ProgramResult r = host("export-curves", {"--frames", "1", "2", layer});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, layer + "\n");
    std::vector<UsdPrim> prims;
    std::string error;
    ASSERT_TRUE(UsdText(test::slurp(layer)).read(prims, error)) << error;
    ASSERT_EQ(prims.size(), 3u);  // Sphere, Ground, Flag
    EXPECT_EQ(prims[0].name, "Sphere");
    EXPECT_EQ(prims[2].name, "Flag");

    // Frame 1 of the layer against the tube mesh of frame 1: the centre of every ring of four
    // vertices is a point of a hair, its distance to a corner the point's thickness.
    const test::PlyMesh mesh = hair_mesh_of_frame_1();
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
        const UsdValue &counts = at_frame_1("curveVertexCounts");
        const UsdValue &p = at_frame_1("points");
        const UsdValue &w = at_frame_1("widths");
        const UsdValue &c = at_frame_1("primvars:displayColor");
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
    const size_t vertices = mesh.positions.size(), quads = mesh.faces.size();
    ASSERT_EQ(vertices, points.size() / 3 * 4) << "one ring of four vertices around every point";
    EXPECT_EQ((vertices - quads) / 4, curves) << "as many curves as hairs drawn";
    for (size_t i = 0; i < points.size() / 3; ++i) {
        double centre[3] = {0, 0, 0};
        for (int corner = 0; corner < 4; ++corner)
            for (int k = 0; k < 3; ++k) centre[k] += mesh.positions[i * 4 + size_t(corner)][size_t(k)] / 4.0;
        double radius = 0;
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(centre[k], points[i * 3 + size_t(k)], 1e-4) << "point " << i;
            radius += std::pow(mesh.positions[i * 4][size_t(k)] - centre[k], 2);
        }
        ASSERT_NEAR(std::sqrt(radius) * 2, widths[i], 1e-4) << "width of point " << i;
    }
}

TEST_F(CurvesExport, ASingleFrameHasNoTimeSamples) {
    const std::string layer = (fs::path(work.path()) / "new" / "one.usda").string();
    const ProgramResult r = host("export-curves", {"--frames", "3", layer});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = test::slurp(layer);
    EXPECT_EQ(text.find("timeSamples"), std::string::npos);
    std::vector<UsdPrim> prims;
    std::string error;
    ASSERT_TRUE(UsdText(text).read(prims, error)) << error;
    ASSERT_EQ(prims.size(), 3u);
    for (const UsdPrim &prim : prims) EXPECT_EQ(prim.samples.at("points").count(kDefaultTime), 1u) << prim.name;
}

TEST_F(CurvesExport, ThePlyFilesChainThePointsOfEveryHair) {
    const std::string base = (fs::path(work.path()) / "hairs").string();
    const ProgramResult r = host("export-curves", {"--frames", "1", "2", "--format", "ply", base});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, base + ".0001.ply\n" + base + ".0002.ply\n");
    const auto ply = read_curves_ply(test::slurp(base + ".0001.ply"));
    ASSERT_TRUE(ply.has_value());
    ASSERT_FALSE(ply->edges.empty());
    // Every edge joins a vertex to the next one; hairs are chains that share nothing.
    size_t chains = 0;
    for (size_t e = 0; e < ply->edges.size(); ++e) {
        const auto [a, b] = ply->edges[e];
        ASSERT_GE(a, 0);
        ASSERT_LT(size_t(b), ply->vertices.size());
        ASSERT_EQ(b, a + 1);
        if (e == 0 || ply->edges[e - 1][1] != a) ++chains;
    }
    const test::PlyMesh mesh = hair_mesh_of_frame_1();
    EXPECT_EQ(ply->vertices.size() * 4, mesh.positions.size());
    EXPECT_EQ(ply->edges.size() * 4, mesh.faces.size()) << "one edge per tube segment";
    EXPECT_EQ(chains * 4, mesh.positions.size() - mesh.faces.size()) << "one chain per hair";
    for (const auto &v : ply->vertices) EXPECT_GE(v[3], 0.0f);
}

TEST_F(CurvesExport, WrongUseSaysWhatIsWrong) {
    EXPECT_EQ(host("export-curves", {"--frames", "1", "1"}).status, 2);  // no OUT: "1" is END
    const ProgramResult format = host("export-curves", {"--format", "obj", "x.obj"});
    EXPECT_EQ(format.status, 2);
    EXPECT_NE(format.err.find("--format must be usda or ply"), std::string::npos) << format.err;
    std::ofstream(fs::path(work.path()) / "file") << "a file, not a folder";
    const ProgramResult folder = host("export-curves", {(fs::path(work.path()) / "file" / "h.usda").string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("cannot make folder"), std::string::npos) << folder.err;
}

}  // namespace
}  // namespace vellimor
