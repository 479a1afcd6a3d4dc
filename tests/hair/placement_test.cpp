#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <utility>

#include "hair/area_sampling.h"
#include "hair/channel_maps.h"
#include "hair/dynamics.h"
#include "hair/hair_roots.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "hair/surface_evaluation.h"
#include "support/hair_scene.h"
#include "platform/key_state.h"

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

TEST(TriangleArea, HalfTheCrossProduct) {
    const float a[3] = {0, 0, 0}, b[3] = {2, 0, 0}, c[3] = {0, 3, 0}, d[3] = {4, 0, 0};
    EXPECT_FLOAT_EQ(triangle_area(a, b, c), 3.0f);
    EXPECT_FLOAT_EQ(triangle_area(a, b, d), 0.0f);
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

}  // namespace
}  // namespace vellimor
