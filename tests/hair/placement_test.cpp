#include <csignal>
#include <utility>
#include "support/test_prelude.h"

#include "furdata/fur_data.h"
#include "hair/area_sampling.h"
#include "hair/channel_maps.h"
#include "hair/dynamics.h"
#include "hair/hair_roots.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "host/globals.h"
#include "host/scene.h"
#include "platform/key_state.h"
#include "saa/saa.h"
#include "support/hair_scene.h"
#include "support/paths.h"

namespace vellimor {
namespace {

using testing::HairScene;
using testing::square_nurbs;
using testing::square_patch;

class Placement : public HairScene {
protected:
    void SetUp() override {
        open_scene(
            square_patch("Square") + "," + square_nurbs("Sheet") + "," + square_patch("Twin"),
            {{"Square", SAA_MODEL_PATCH, 1, 1},
             {"Sheet", SAA_MODEL_NURBS, 1, 1},
             {"Twin", SAA_MODEL_PATCH, 1, 1}});
    }
    int total_of_cells(const PatchData &r) {
        int total = 0;
        for (const SubPatchCell &cell : r.cells) total += cell.hair_count;
        return total;
    }
};

TEST(AreaSampling, PointsFollowTheAreaAndAnEvenCellKeepsThemExactly) {
    // The fraction y of a linear density from a to b lies below the point found for it.
    for (const auto &[a, b] : {std::pair{0.0, 1.0}, {1.0, 0.0}, {0.2, 3.0}, {5.0, 0.5}, {1e-9, 1.0}}) {
        for (double y = 0.0; y < 1.0; y += 0.0625) {
            const double x = linear_density_point(y, a, b);
            ASSERT_GE(x, 0.0);
            ASSERT_LE(x, 1.0);
            EXPECT_NEAR((a * x + (b - a) * x * x / 2) / ((a + b) / 2), y, 1e-9) << a << " " << b;
        }
    }
    // Next to a pole (no area on one side) the points go as the square root.
    EXPECT_DOUBLE_EQ(linear_density_point(0.25, 0.0, 2.0), 0.5);
    // Even, empty or broken areas keep the point bit for bit.
    for (const double y : {0.0, 0.1, 0.7071, 0.999999}) {
        EXPECT_EQ(linear_density_point(y, 3.0, 3.0), y);
        EXPECT_EQ(linear_density_point(y, 0.0, 0.0), y);
        EXPECT_EQ(linear_density_point(y, -1.0, 2.0), y);
        double s = y, t = 1.0 - y;
        area_even_point(CellAreaCorners{2.0, 2.0, 2.0, 2.0}, s, t);
        EXPECT_EQ(s, y);
        EXPECT_EQ(t, 1.0 - y);
    }
    // A cell whose area grows along u only moves s.
    double s = 0.25, t = 0.25;
    area_even_point(CellAreaCorners{0.0, 2.0, 0.0, 2.0}, s, t);
    EXPECT_DOUBLE_EQ(s, 0.5);
    EXPECT_DOUBLE_EQ(t, 0.25);
}

TEST_F(Placement, MoreHairsThanASurfaceHoldsLeaveNoCountsBehind) {
    // 2^31 - 1 hairs on a unit square: the counts are refused as a whole, and the roots' walk over
    // the cells (which once drew every refused count) has nothing to do.
    record().built_as_preview = 0;
    grow_fur(0, 2147483647, 0);
    EXPECT_EQ(record().hair_count, 0);
    EXPECT_TRUE(record().hairs.empty());
    EXPECT_EQ(record().cells.size(), 100u);
    EXPECT_EQ(total_of_cells(record()), 0);
    // Placement stays usable for the next, sound build.
    grow_fur(0, 250, 0);
    EXPECT_NEAR(record().hair_count, 250, 1);
}

TEST_F(Placement, GrowFurStoresTheDensityAndBuildsRoots) {
    grow_fur(0, 250, 0);
    EXPECT_EQ(record().number_of_hairs_pr_square_unit, 250);
    EXPECT_NEAR(record().hair_count, 250, 1);  // up to the float sum of the cell areas
    EXPECT_EQ(total_of_cells(record()), record().hair_count);
    EXPECT_EQ(record().built_as_preview, 0);
    EXPECT_EQ(record().last_built_frame, scene_state().current_frame);
    grow_fur(0, -1, 1);
    EXPECT_EQ(record().number_of_hairs_pr_square_unit, 250);
    EXPECT_EQ(record().built_as_preview, 1);
    EXPECT_LE(record().hair_count, 13);
    // A cell takes the whole hairs of its share and passes the fraction on: 1.7 a cell give 1, 2, 2.
    grow_fur(0, 170, 0);
    const std::vector<SubPatchCell> &cells = record().cells;
    EXPECT_EQ(std::tie(cells[0].hair_count, cells[1].hair_count, cells[2].hair_count), std::make_tuple(1, 2, 2));
}

TEST_F(Placement, RootsRepeatBitForBitAndDependOnTheSurface) {
    grow_fur(0, 1000, 0);
    const std::vector<HairRoot> first = record().hairs;
    ASSERT_NEAR(double(first.size()), 1000, 1);
    grow_fur(0, 1000, 0);
    ASSERT_EQ(record().hairs.size(), first.size());
    EXPECT_EQ(std::memcmp(record().hairs.data(), first.data(), first.size() * sizeof(HairRoot)), 0);
    grow_fur(2, 1000, 0);  // the same square as another surface
    ASSERT_EQ(record(2).hairs.size(), first.size());
    EXPECT_NE(record(2).hairs[0].u, first[0].u);
}

TEST_F(Placement, RootsLieInTheirCellsWithWorldFrames) {
    record().sub_res_u = 4;
    record().sub_res_v = 5;
    grow_fur(0, 400, 0);
    size_t n = 0;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < record().cells[c + r * 4].hair_count; ++i, ++n) {
                const HairRoot &root = record().hairs[n];
                EXPECT_GE(root.u, c / 4.0f - 1e-6f);
                EXPECT_LT(root.u, (c + 1) / 4.0f + 1e-6f);
                EXPECT_GE(root.v, r / 5.0f - 1e-6f);
                EXPECT_LT(root.v, (r + 1) / 5.0f + 1e-6f);
                EXPECT_FLOAT_EQ(root.u_param, root.u);
                EXPECT_NEAR(root.position[0], root.u, 1e-5f);  // the square spans 0..1
                EXPECT_NEAR(root.position[1], root.v, 1e-5f);
            }
    EXPECT_EQ(n, record().hairs.size());
}

TEST_F(Placement, PatchAndNurbsNormalsPointOppositeWays) {
    grow_fur(0, 50, 0);
    grow_fur(1, 50, 0);
    ASSERT_FALSE(record(0).hairs.empty());
    ASSERT_FALSE(record(1).hairs.empty());
    for (int p = 0; p < 2; ++p) {
        const HairRoot &root = record(p).hairs[0];
        EXPECT_NEAR(root.tangent_u[0], 1.0f, 1e-6f);
        EXPECT_NEAR(root.tangent_v[1], 1.0f, 1e-6f);
        EXPECT_NEAR(root.normal[2], p == 0 ? -1.0f : 1.0f, 1e-6f);
    }
}

TEST_F(Placement, DensityThinsTheCandidates) {
    record().texture_keys.front().density = {1, 0.5f, 0.0f, 0};
    record().density_map_dirty = 1;
    grow_fur(0, 4000, 0);
    EXPECT_NEAR(record().hair_count, 2000, 150);
    EXPECT_EQ(record().hairs.size(), size_t(record().hair_count));
    EXPECT_EQ(total_of_cells(record()), record().hair_count);

    record().texture_keys.front().density = {1, 0.0f, 0.0f, 0};
    record().density_map_dirty = 1;
    grow_fur(0, 4000, 0);
    EXPECT_EQ(record().hair_count, 0);
    EXPECT_EQ(total_of_cells(record()), 0);
}

TEST_F(Placement, EscapeAbortsAndDropsTheHairs) {
    platform::route_interrupt_to_escape();
    std::raise(SIGINT);
    grow_fur(0, 500, 0);
    platform::clear_interrupt();
    platform::stop_routing_interrupt_to_escape();
    EXPECT_EQ(record().hair_count, 0);
    EXPECT_TRUE(record().hairs.empty());
}

// A host that cannot evaluate a surface it listed ends the process, and not with success, whichever
// step of a build asks.
class HostFailure : public HairScene {};

TEST_F(HostFailure, EvaluationFailureEndsTheProcessWithAnError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    open_scene(R"({"name": "Empty", "type": 0})", {{"Empty", SAA_MODEL_PATCH, 1, 1}});
    PatchData &r = record();
    r.sub_res_u = r.sub_res_v = 1;
    r.cells.assign(1, SubPatchCell{1, 1.0f});
    r.hairs.assign(1, HairRoot{});
    r.hair_count = 1;
    update_channel_maps(0);  // density 1: the candidate survives and is evaluated
    const auto failed = ::testing::ExitedWithCode(kHostEvaluationFailureStatus);
    EXPECT_EXIT(build_hairs(0, ModelMatrix{}), failed, "build_hairs: ERROR!");
    r.velocity_scale.active = 1;
    EXPECT_EXIT(calc_dynamics(0), failed, "calc dynamics: ERROR!");
    r.casts_shadow = 1;
    EXPECT_EXIT(quant_patches(), failed, "quant_patches\\(\\): ERROR");
}

// The demo scene read as the stand-alone program reads it.
class HairBuild : public ::testing::Test {
protected:
    void SetUp() override {
        run_state().run_mode = kRunModeStandAlone;
        run_state().batch = 1;  // reports go to the error stream, as in a batch render
        SAA_InitInternal("", 0, "SDKv1.71.6");
        ASSERT_EQ(MY_read_scene("furball", test::demo_database().c_str()), 0);
        read_fur_data(0);
        ASSERT_GE(scene_state().patch_count(), 2);
        double seconds = 0;
        ASSERT_EQ(SAA_frame2Seconds(&scene_state().scene, scene_state().current_frame, &seconds), SAA_OK);
        SAA_updatelistEvalScene(&scene_state().scene, seconds);
    }
    void TearDown() override {
        free_all();
        reset_globals();
    }
};

// Roots spread evenly over a sphere's area, poles included: the cells next to a pole cover a
// thin cone whose area gathers away from the pole, and roots drawn evenly over (u, v) there
// crowded into a tuft. On the demo's unit sphere the two caps within 20 degrees of the poles
// hold 1 - cos 20° of the area; the band between 30 and 50 degrees from the north pole
// (cos 30° - cos 50°) takes the same check away from the poles.
TEST_F(HairBuild, SphereRootsSpreadEvenlyOverTheAreaUpToThePoles) {
    SceneState &s = scene_state();
    int sphere = -1;
    for (int p = 0; p < s.patch_count(); ++p)
        if (s.patches[p] && s.patches[p]->name == "Sphere") sphere = p;
    ASSERT_GE(sphere, 0);
    // The demo thins the fur near its south pole: no thinning here.
    PatchData &record = *s.patches[sphere];
    for (TextureKey &key : record.texture_keys) key.density.value = 1.0f;
    record.density_map_dirty = 1;
    ::testing::internal::CaptureStderr();
    grow_fur(sphere, 20000, 0);
    ::testing::internal::GetCapturedStderr();
    const std::vector<HairRoot> &roots = s.patches[sphere]->hairs;
    ASSERT_GT(roots.size(), 100000u);
    constexpr double kDegrees = 3.14159265358979323846 / 180.0;
    size_t caps = 0, band = 0;
    for (const HairRoot &root : roots) {
        const double y = root.position[1];
        caps += std::fabs(y) > std::cos(20 * kDegrees);
        band += y < std::cos(30 * kDegrees) && y > std::cos(50 * kDegrees);
    }
    const double total = double(roots.size());
    EXPECT_NEAR(caps / total, 1.0 - std::cos(20 * kDegrees), 0.004);
    EXPECT_NEAR(band / total / 0.5, std::cos(30 * kDegrees) - std::cos(50 * kDegrees), 0.004);
}


}  // namespace
}  // namespace vellimor
