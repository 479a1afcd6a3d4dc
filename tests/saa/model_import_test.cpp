// Model files into surfaces: the readers fed hostile files (one error naming file and line, never
// a crash or a huge allocation), objects that can't be surfaces named and skipped, imported
// patches passing through every vertex of the modeller's meshes, knot clamping that keeps the
// shape, and the fur side of open and closed surfaces whichever way their faces wind.
#include "support/test_prelude.h"

#include <iterator>
#include <regex>

#include "saa/fur_side.h"
#include "saa/model_import.h"
#include "saa/surfaces.h"
#include "support/data_table.h"
#include "support/test_env.h"

namespace vellimor::saa {
namespace {

std::string model_path(const std::string &name) { return test::source_dir() + "/tests/data/models/" + name; }

std::string model_text(const std::string &name) { return test::read_file(model_path(name)); }

Vec3 point_at(const Model &m, double u, double v) {
    SurfacePoint p{};
    EXPECT_TRUE(evaluate_surface(m, u, v, p));
    return {p.position[0] / p.position[3], p.position[1] / p.position[3], p.position[2] / p.position[3]};
}

double distance(const Vec3 &a, const Vec3 &b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

// The fur direction at (u, v): tangent_v × tangent_u on patches, tangent_u × tangent_v on NURBS.
Vec3 fur_direction(const Model &m, double u, double v) {
    SurfacePoint p{};
    evaluate_surface(m, u, v, p);
    const Vec3 &a = m.patch ? p.dv : p.du, &b = m.patch ? p.du : p.dv;
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Every reader fed hostile files: one error naming file and line, never a crash or a huge allocation.
TEST(ModelImport, HostileFilesAreRefusedWithOneLineNamingFileAndLine) {
    const auto rows = test::read_table("hostile/model_files.tsv");
    ASSERT_GT(rows.size(), 20u);
    for (const auto &row : rows) {
        ASSERT_EQ(row.size(), 3u);
        try {
            import_model_text(row[2], row[0]);
            ADD_FAILURE() << "accepted " << row[2];
        } catch (const ModelFileError &e) {
            EXPECT_TRUE(std::regex_search(e.what(), std::regex(row[1]))) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

constexpr const char *kQuad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
constexpr const char *kUsdMesh =
    "#usda 1.0\ndef Mesh \"M\" {\n int[] faceVertexCounts = [4]\n int[] faceVertexIndices = [0, 1, 2, 3]\n"
    " point3f[] points = [(0,0,0), (1,0,0), (1,1,0), (0,1,0)]\n";

// Objects that are read but can't carry fur are named with the reason, and the rest still come in.
TEST(ModelImport, NamesWhatCanNotBecomeASurfaceAndKeepsTheRest) {
    const std::string obj = std::string(kQuad) +
                            "v 0 0 1\no Good\nf 1 2 3 4\no Stray\nf 1 2 3 4\nf 1 2 5\nf 2 3 5\n"
                            "o Wire\nl 1 2\no Curve\ncurv 0 1 1 2\no Odd\ncstype taylor\ndeg 1 1\nsurf 0 1 0 1 1 2 3 4\nend\n";
    const ImportedModels models = import_model_text(obj, "mixed.obj");
    ASSERT_EQ(models.surfaces.size(), 1u);
    EXPECT_EQ(models.surfaces[0].name, "Good");
    EXPECT_EQ(models.refused, (std::vector<std::string>{"Wire: lines and points carry no fur",
                                                        "Curve: free-form curves carry no fur",
                                                        "Odd: taylor surfaces are not read (only B-spline and Bézier)",
                                                        "Stray: 2 of 3 faces are not quads of one grid"}));
    const ImportedModels usd = import_model_text(std::string(kUsdMesh) + "}\ndef Sphere \"Ball\" {}\ndef Material \"M2\" {}\n", "a.usda");
    EXPECT_EQ(usd.surfaces.size(), 1u);
    EXPECT_EQ(usd.refused, (std::vector<std::string>{"Ball: Sphere prims are not read (only Mesh and NurbsPatch)"}));
}

// The modeller's meshes become cardinal patches through every one of their vertices.
TEST(ModelImport, PatchesPassThroughEveryVertexOfTheModellersMeshes) {
    for (const char *file : {"sphere.obj", "torus.obj", "cylinder.obj", "grid.obj", "creature.obj"}) {
        const std::string text = model_text(file);
        std::vector<Vec3> vertices;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            Vec3 v{};
            if (std::sscanf(line.c_str(), "v %lf %lf %lf", &v[0], &v[1], &v[2]) == 3) vertices.push_back(v);
        }
        const ImportedModels models = import_model_file(model_path(file));
        EXPECT_TRUE(models.refused.empty()) << file << ": " << models.refused.front();
        std::vector<Vec3> at_integers;
        for (const Model &m : models.surfaces) {
            ASSERT_TRUE(m.patch) << m.name;
            EXPECT_EQ(m.patch->u.type, kPatchCardinal);
            const SurfaceRange r = surface_range(m);
            for (int j = 0; j <= r.v1; ++j)
                for (int i = 0; i <= r.u1; ++i) at_integers.push_back(point_at(m, i, j));
        }
        for (const Vec3 &v : vertices) {
            double nearest = INFINITY;
            for (const Vec3 &p : at_integers) nearest = std::min(nearest, distance(v, p));
            EXPECT_LT(nearest, 1e-4) << file << " vertex " << v[0] << " " << v[1] << " " << v[2];
        }
    }
}

// Reversing every face of a file turns an open surface's fur over (its front is where the faces
// wind counter-clockwise) but not a closed one's, whose fur always grows outside.
TEST(ModelImport, FurGrowsOnTheFrontOfOpenSurfacesAndOutsideClosedOnes) {
    struct Case {
        const char *file;
        bool closed;
    };
    for (const Case &c : {Case{"grid.obj", false}, Case{"sphere.obj", true}, Case{"torus.obj", true}}) {
        const std::string text = model_text(c.file);
        std::string reversed;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("f ", 0) == 0) {
                std::istringstream words(line.substr(2));
                std::vector<std::string> corners{std::istream_iterator<std::string>(words), {}};
                line = "f";
                for (auto it = corners.rbegin(); it != corners.rend(); ++it) line += " " + *it;
            }
            reversed += line + "\n";
        }
        for (const bool as_written : {true, false}) {
            const ImportedModels models = import_model_text(as_written ? text : reversed, c.file);
            ASSERT_EQ(models.surfaces.size(), 1u);
            const Model &m = models.surfaces[0];
            const FurSide side = fur_side(m);
            EXPECT_EQ(side.closed, c.closed) << c.file;
            EXPECT_TRUE(side.outward) << c.file;
            if (!c.closed) {
                // The grid lies in y = 0 with Blender's faces towards +y.
                const SurfaceRange r = surface_range(m);
                const double up = fur_direction(m, r.u1 / 2, r.v1 / 2)[1];
                EXPECT_EQ(up > 0, as_written) << "fur side of the " << (as_written ? "file" : "reversed file");
            }
        }
    }
}

// Knots are clamped to the range the file asks for by knot insertion: the shape stays exactly.
TEST(ModelImport, ClampedKnotsKeepTheSurfaceOfAPeriodicPatchAndASubRange) {
    const ImportedModels lamp = import_model_file(model_path("lamp.usda"));
    const ImportedModels dome = import_model_text(
        std::regex_replace(model_text("dome.obj"), std::regex("surf 0 2 0 2"), "surf 0.5 1.5 0 2"), "dome.obj");
    const Model *bulb = nullptr;
    for (const Model &m : lamp.surfaces)
        if (m.name == "Bulb") bulb = &m;
    ASSERT_TRUE(bulb && bulb->nurbs);
    EXPECT_EQ(bulb->nurbs->u.knots.front(), 0);
    EXPECT_EQ(bulb->nurbs->u.knots.back(), 8);
    ASSERT_EQ(dome.surfaces.size(), 1u);
    EXPECT_EQ(dome.surfaces[0].nurbs->u.knots.back(), 1);
    // The dome as written, evaluated over the file's own knots, against the imported one.
    Model written;
    written.nurbs = std::make_unique<NurbsSurface>();
    NurbsSurface &w = *written.nurbs;
    w.u = {3, 5, false, {0, 0, 0, 0, 1, 2, 2, 2, 2}};
    w.v = w.u;
    std::istringstream lines(model_text("dome.obj"));
    for (std::string line; std::getline(lines, line);) {
        Vec4 p{0, 0, 0, 1};
        if (std::sscanf(line.c_str(), "v %lf %lf %lf", &p[0], &p[1], &p[2]) == 3) w.points.push_back(p);
    }
    prepare_nurbs(w);
    for (double u = 0.5; u <= 1.5; u += 0.125)
        for (double v = 0; v <= 2; v += 0.25)
            EXPECT_LT(distance(point_at(written, u, v), point_at(dome.surfaces[0], u - 0.5, v)), 1e-12) << u << " " << v;
}

// Transforms of the prim and its ancestors reach the points; a left-handed prim's front is the
// other side.
TEST(ModelImport, UsdTransformsAndOrientationApply) {
    const std::string text = std::string("#usda 1.0\ndef Xform \"Up\" {\n double3 xformOp:translate = (0, 2, 0)\n"
                                         " uniform token[] xformOpOrder = [\"xformOp:translate\"]\n") +
                             std::string(kUsdMesh).substr(10) +
                             " matrix4d xformOp:transform = ((0, 0, -1, 0), (0, 1, 0, 0), (1, 0, 0, 0), (5, 0, 0, 1))\n"
                             " uniform token[] xformOpOrder = [\"xformOp:transform\"]\n uniform token orientation = \"%s\"\n}\n}\n";
    for (const char *orientation : {"rightHanded", "leftHanded"}) {
        const ImportedModels models = import_model_text(std::regex_replace(text, std::regex("%s"), orientation), "t.usda");
        ASSERT_EQ(models.surfaces.size(), 1u);
        const Model &m = models.surfaces[0];
        const Bounds b = surface_bounds(m);
        // The quad (0..1, 0..1, 0) turned about y and moved by (5, 0, 0), then by (0, 2, 0).
        EXPECT_NEAR(b.low[0], 5, 1e-9);
        EXPECT_NEAR(b.low[1], 2, 1e-9);
        EXPECT_NEAR(b.high[2], 0, 1e-9);
        EXPECT_NEAR(b.low[2], -1, 1e-9);
        const SurfaceRange r = surface_range(m);
        // Counter-clockwise seen from +z in the file, so facing +x once turned.
        const double facing = fur_direction(m, r.u1 / 2, r.v1 / 2)[0];
        EXPECT_EQ(facing > 0, std::string(orientation) == "rightHanded") << orientation;
    }
}

// A UV sphere of an odd number of segments wound inward, and quads that twist or branch.
TEST(ModelImport, GridsOfAnyWindingAndCountComeInAndTwistedQuadsDoNot) {
    constexpr int kSegments = 7, kRings = 5;
    std::ostringstream sphere;
    sphere << "v 0 1 0\n";
    for (int r = 1; r < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            const double polar = M_PI * r / kRings, around = 2 * M_PI * s / kSegments;
            sphere << "v " << std::sin(polar) * std::cos(around) << " " << std::cos(polar) << " " << std::sin(polar) * std::sin(around) << "\n";
        }
    sphere << "v 0 -1 0\n";
    const auto ring = [&](int r, int s) { return 2 + (r - 1) * kSegments + s % kSegments; };
    for (int s = 0; s < kSegments; ++s) {
        sphere << "f 1 " << ring(1, s) << " " << ring(1, s + 1) << "\n";
        for (int r = 1; r + 1 < kRings; ++r)
            sphere << "f " << ring(r, s) << " " << ring(r + 1, s) << " " << ring(r + 1, s + 1) << " " << ring(r, s + 1) << "\n";
        sphere << "f " << 2 + (kRings - 1) * kSegments << " " << ring(kRings - 1, s + 1) << " " << ring(kRings - 1, s) << "\n";
    }
    const ImportedModels models = import_model_text(sphere.str(), "odd.obj");
    ASSERT_EQ(models.surfaces.size(), 1u) << models.refused.front();
    const Model &m = models.surfaces[0];
    EXPECT_TRUE(fur_side(m).closed);
    EXPECT_TRUE(fur_side(m).outward);
    // The poles lie at v = 0 and v = kRings, the rings in between.
    const Vec3 first = point_at(m, 0, 0), last = point_at(m, 3, kRings);
    EXPECT_NEAR(std::hypot(first[0], first[2]) + std::hypot(last[0], last[2]), 0, 1e-12);
    EXPECT_NEAR(std::abs(first[1] - last[1]), 2, 1e-12);
    EXPECT_NEAR(std::hypot(point_at(m, 2.5, 0.01)[0], point_at(m, 2.5, 0.01)[2]), 0, 0.05);

    const std::string twisted = "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 2 1 0\nf 1 2 5 4\nf 2 3 6 5\nf 3 4 1 6\n";
    const std::string cube = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
                             "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n";
    for (const std::string &text : {twisted, cube}) {
        const ImportedModels refused = import_model_text(text, "t.obj");
        EXPECT_TRUE(refused.surfaces.empty());
        EXPECT_EQ(refused.refused, (std::vector<std::string>{"t: the quads do not join as one grid of rows and columns"}));
    }
}

// Rational Bézier weights and break points: a quarter cylinder is exact, its fur on the u × v side.
TEST(ModelImport, RationalBezierSurfacesAreExact) {
    const std::string obj = "v 1 0 0\nv 1 1 0 0.70710678118654752\nv 0 1 0\nv 1 0 2\nv 1 1 2 0.70710678118654752\nv 0 1 2\n"
                            "cstype rat bezier\ndeg 2 1\nsurf 0 1 0 1 1 2 3 4 5 6\nparm u 0 1\nparm v 0 1\nend\n";
    const ImportedModels models = import_model_text(obj, "quarter.obj");
    ASSERT_EQ(models.surfaces.size(), 1u);
    const Model &m = models.surfaces[0];
    for (double u = 0; u <= 1; u += 0.125) {
        const Vec3 p = point_at(m, u, 0.5);
        EXPECT_NEAR(std::hypot(p[0], p[1]), 1, 1e-12) << u;
        EXPECT_NEAR(p[2], 1, 1e-12);
    }
    // u turns from +x to +y, v runs along +z: u × v points away from the axis.
    const Vec3 p = point_at(m, 0.5, 0.5), fur = fur_direction(m, 0.5, 0.5);
    EXPECT_GT(p[0] * fur[0] + p[1] * fur[1], 0);
}

// A quaternion turns, "!invert!" undoes an op, and a time-sampled op takes its earliest sample.
TEST(ModelImport, UsdOrientAndInvertedOps) {
    const std::string text = std::string(kUsdMesh) +
                             " quatf xformOp:orient = (0.70710678, 0, 0.70710678, 0)\n"
                             " double3 xformOp:translate.timeSamples = { 10: (9, 9, 9), 2: (0, 0, 3) }\n"
                             " uniform token[] xformOpOrder = [\"!invert!xformOp:translate\", \"xformOp:orient\"]\n}\n";
    const ImportedModels models = import_model_text(text, "q.usda");
    ASSERT_EQ(models.surfaces.size(), 1u);
    const Bounds b = surface_bounds(models.surfaces[0]);
    // Turned a quarter about +y ((1, 0, 0) to (0, 0, -1)), then moved by -(0, 0, 3).
    EXPECT_NEAR(b.low[0], 0, 1e-6);
    EXPECT_NEAR(b.high[0], 0, 1e-6);
    EXPECT_NEAR(b.low[2], -4, 1e-6);
    EXPECT_NEAR(b.high[2], -3, 1e-6);
    EXPECT_NEAR(b.high[1], 1, 1e-6);
}

}  // namespace
}  // namespace vellimor::saa
