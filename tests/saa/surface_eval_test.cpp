// Patch and NURBS surface evaluation against analytic answers.
#include "support/test_prelude.h"

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

struct Eval {
    double p[4], n[3], tu[3], tv[3];
};

Eval eval(const SAA_Scene &scene, const SAA_Elem &m, double u, double v) {
    Eval e{};
    EXPECT_EQ(SAA_surfaceEvalPosition(&scene, &m, 2, 0, u, v, e.p), SAA_OK);
    EXPECT_EQ(SAA_surfaceEvalNormal(&scene, &m, 2, 0, u, v, e.n), SAA_OK);
    EXPECT_EQ(SAA_surfaceEvalTangents(&scene, &m, 2, 0, u, v, e.tu, e.tv), SAA_OK);
    return e;
}

double dot3(const double *a, const double *b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The point (x/w, y/w, z/w) of a homogeneous position.
std::array<double, 3> point(const Eval &e) { return {e.p[0] / e.p[3], e.p[1] / e.p[3], e.p[2] / e.p[3]}; }

void expect_near3(const double *a, const std::array<double, 3> &b, double tolerance, const std::string &what) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tolerance) << what << " component " << k;
}

// Tangents are derivatives of the projected point; normals unit and orthogonal to them.
void expect_consistent(const SAA_Scene &scene, const SAA_Elem &m, double u, double v) {
    const double h = 1e-6;
    Eval e = eval(scene, m, u, v);
    auto pu1 = point(eval(scene, m, u + h, v)), pu0 = point(eval(scene, m, u - h, v));
    auto pv1 = point(eval(scene, m, u, v + h)), pv0 = point(eval(scene, m, u, v - h));
    std::ostringstream at;
    at << "at (" << u << ", " << v << ")";
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(e.tu[k], (pu1[k] - pu0[k]) / (2 * h), 1e-5) << "u tangent " << at.str();
        EXPECT_NEAR(e.tv[k], (pv1[k] - pv0[k]) / (2 * h), 1e-5) << "v tangent " << at.str();
    }
    EXPECT_NEAR(dot3(e.n, e.n), 1.0, 1e-12) << at.str();
    double lu = std::sqrt(dot3(e.tu, e.tu)), lv = std::sqrt(dot3(e.tv, e.tv));
    EXPECT_NEAR(dot3(e.n, e.tu) / lu, 0.0, 1e-9) << at.str();
    EXPECT_NEAR(dot3(e.n, e.tv) / lv, 0.0, 1e-9) << at.str();
    double cross_z = e.tu[0] * e.tv[1] - e.tu[1] * e.tv[0];
    if (std::fabs(cross_z) > 1e-6) {
        EXPECT_GT(e.n[2] * cross_z, 0) << "normal follows tu × tv " << at.str();
    }
}

std::array<double, 3> grid_vertex(int i, int j) {
    return {i + 0.3 * std::sin(j * 1.1), j + 0.2 * std::cos(i * 1.3), 0.5 * std::sin(i * 0.7 + j * 0.4)};
}

std::string patch_json(const std::string &name, int type_u, bool closed_u, int nu, int type_v, bool closed_v, int nv) {
    std::ostringstream s;
    s.precision(17);
    s << R"({"name": ")" << name << R"(", "type": 1, "patch": {"u": {"type": )" << type_u
      << R"(, "closed": )" << (closed_u ? "true" : "false") << R"(, "count": )" << nu << R"(}, "v": {"type": )"
      << type_v << R"(, "closed": )" << (closed_v ? "true" : "false") << R"(, "count": )" << nv
      << R"(}, "vertices": [)";
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            auto p = grid_vertex(i, j);
            s << (i || j ? ", " : "") << "[" << p[0] << ", " << p[1] << ", " << p[2] << "]";
        }
    s << "]}}";
    return s.str();
}

int expected_extent(int type, bool closed, int n) {
    switch (type) {
    case 0: return n - 1 + closed;
    case 1: return static_cast<int>((n - 1) / 3.0 + 0.5);
    default: return closed ? n : n - 3;
    }
}

}  // namespace

// The parameter range of every type is the extent the plug-in computes: a closed direction
// repeats after exactly the extent, an open one stops changing there.
TEST(PatchSurface, ParameterRangeIsTheExtentOfEachTypeAndClosedFlag) {
    for (int type = 0; type <= 3; ++type)
        for (bool closed : {false, true})
            for (int n : {4, 7, 8}) {
                TempDatabase db;
                ASSERT_EQ(db.load_text(scene_with_models(patch_json("P", type, closed, n, 0, false, 2))), SAA_OK)
                    << last_error();
                SAA_Elem m = model_named(db.scene, "P");
                int extent = expected_extent(type, closed, n);
                std::string what = "type " + std::to_string(type) + (closed ? " closed " : " open ") + std::to_string(n);
                Eval start = eval(db.scene, m, 0, 0.5), end = eval(db.scene, m, extent, 0.5);
                Eval inside = eval(db.scene, m, extent - 0.5, 0.5), beyond = eval(db.scene, m, extent + 0.75, 0.5);
                auto differs = [](const Eval &a, const Eval &b) {
                    return std::fabs(a.p[0] - b.p[0]) + std::fabs(a.p[1] - b.p[1]) + std::fabs(a.p[2] - b.p[2]) > 1e-6;
                };
                EXPECT_TRUE(differs(inside, end)) << what;
                if (closed) {
                    expect_near3(start.p, point(end), 1e-12, what + ": wraps after the extent");
                    expect_near3(beyond.p, point(eval(db.scene, m, 0.75, 0.5)), 1e-12, what + ": periodic");
                } else {
                    expect_near3(beyond.p, point(end), 1e-12, what + ": clamped beyond the extent");
                }
                EXPECT_EQ(start.p[3], 1.0);
            }
}

TEST(PatchSurface, InterpolatesWhereEachBasisDoes) {
    TempDatabase db;
    std::string models = patch_json("Linear", 0, false, 5, 0, false, 4) + "," + patch_json("Bezier", 1, false, 7, 1, false, 4) +
                         "," + patch_json("Cardinal", 3, false, 6, 3, false, 5) + "," +
                         patch_json("BSpline", 2, false, 6, 2, false, 5);
    ASSERT_EQ(db.load_text(scene_with_models(models)), SAA_OK) << last_error();
    SAA_Elem linear = model_named(db.scene, "Linear"), bezier = model_named(db.scene, "Bezier");
    SAA_Elem cardinal = model_named(db.scene, "Cardinal"), bspline = model_named(db.scene, "BSpline");
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) expect_near3(eval(db.scene, linear, i, j).p, grid_vertex(i, j), 1e-12, "linear");
    for (int i = 0; i <= 2; ++i)  // Bézier segments end on every third vertex
        expect_near3(eval(db.scene, bezier, i, 1).p, grid_vertex(3 * i, 3), 1e-12, "bezier");
    for (int i = 0; i <= 3; ++i)  // cardinal segment k runs from vertex k+1 to k+2
        expect_near3(eval(db.scene, cardinal, i, 1).p, grid_vertex(i + 1, 2), 1e-12, "cardinal");
    // A uniform cubic B-spline at a knot is (a + 4b + c)/6 of three neighbours, per direction.
    std::array<double, 3> expected{};
    const double w[3] = {1 / 6.0, 4 / 6.0, 1 / 6.0};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            auto p = grid_vertex(1 + a, 2 + b);
            for (int k = 0; k < 3; ++k) expected[k] += w[a] * w[b] * p[k];
        }
    expect_near3(eval(db.scene, bspline, 1, 2).p, expected, 1e-12, "bspline");
}

TEST(PatchSurface, TangentsAreExactDerivativesAndNormalsUnitAndOrthogonal) {
    for (int type = 0; type <= 3; ++type)
        for (bool closed : {false, true}) {
            TempDatabase db;
            ASSERT_EQ(db.load_text(scene_with_models(patch_json("P", type, closed, 7, type, !closed, 7))), SAA_OK)
                << last_error();
            SAA_Elem m = model_named(db.scene, "P");
            for (double u : {0.3, 1.45, 1.8})
                for (double v : {0.2, 1.6}) expect_consistent(db.scene, m, u, v);
        }
}

TEST(NurbsSurface, DemoSphereIsExactAndItsNormalsPointOutwards) {
    TempDatabase db;
    std::filesystem::copy_file(source_dir() + "/examples/furball/SCENES/furball.dsc", db.scene_file("furball"));
    ASSERT_EQ(db.load("furball"), SAA_OK) << last_error();
    SAA_Elem sphere = model_named(db.scene, "Sphere");
    int type = 0, ku = 0, kv = 0;
    ASSERT_EQ(SAA_modelGetType(&db.scene, &sphere, &type), SAA_OK);
    EXPECT_EQ(type, SAA_MODEL_NURBS);
    ASSERT_EQ(SAA_nurbsSurfaceGetNbKnots(&db.scene, &sphere, &ku, &kv), SAA_OK);
    std::vector<double> knots_u(static_cast<std::size_t>(ku)), knots_v(static_cast<std::size_t>(kv));
    ASSERT_EQ(SAA_nurbsSurfaceGetKnots(&db.scene, &sphere, 0, 0, ku, kv, knots_u.data(), knots_v.data()), SAA_OK);
    EXPECT_EQ(knots_u.front(), 0.0);
    EXPECT_EQ(knots_v.front(), 0.0);
    const double extent_u = knots_u.back(), extent_v = knots_v.back();
    EXPECT_GT(extent_u, 0);
    EXPECT_GT(extent_v, 0);
    for (int i = 0; i <= 40; ++i)
        for (int j = 0; j <= 20; ++j) {
            double u = extent_u * i / 40, v = extent_v * j / 20;
            Eval e = eval(db.scene, sphere, u, v);
            auto p = point(e);
            double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            ASSERT_NEAR(r, 1.0, 1e-9) << "at " << u << ", " << v;
            EXPECT_GT(e.n[0] * p[0] + e.n[1] * p[1] + e.n[2] * p[2], 0.999) << "at " << u << ", " << v;
        }
    for (double u : {0.3, 1.7, 3.2})
        for (double v : {0.4, 1.1, 1.9}) expect_consistent(db.scene, sphere, u, v);
    short cu = 0, cv = 0;
    EXPECT_EQ(SAA_nurbsSurfaceGetClosed(&db.scene, &sphere, &cu, &cv), SAA_OK);
    EXPECT_EQ(cu, 1);
    EXPECT_EQ(SAA_nurbsSurfaceGetKnots(&db.scene, &sphere, 1, 0, ku, kv, knots_u.data(), knots_v.data()),
              SAA_ERR_ARGUMENT)
        << "a knot range past the end is refused";
}

TEST(NurbsSurface, NonUniformCubicTangentsAreExact) {
    // Degree 3 by 2, non-uniform knots, varied weights.
    std::ostringstream s;
    s << R"({"name": "N", "type": 10, "nurbs": {"u": {"degree": 3, "knots": [0, 0, 0, 0, 0.7, 1.5, 3, 3, 3, 3]},)"
      << R"( "v": {"degree": 2, "knots": [0, 0, 0, 1, 2.5, 2.5, 2.5]}, "points": [)";
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 6; ++i) {
            auto p = grid_vertex(i, j);
            s << (i || j ? ", " : "") << "[" << p[0] << ", " << p[1] << ", " << p[2] << ", " << 0.5 + 0.25 * ((i + j) % 3)
              << "]";
        }
    s << "]}}";
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(s.str())), SAA_OK) << last_error();
    SAA_Elem m = model_named(db.scene, "N");
    for (double u : {0.1, 0.7, 1.2, 2.9})
        for (double v : {0.3, 1.0, 2.2}) expect_consistent(db.scene, m, u, v);
    // The ends of a clamped surface interpolate the corner control points.
    expect_near3(eval(db.scene, m, 0, 0).p, {grid_vertex(0, 0)[0] * 0.5, grid_vertex(0, 0)[1] * 0.5,
                                              grid_vertex(0, 0)[2] * 0.5}, 1e-12, "corner");
}
