#include "fcurve/fcurve_autokey.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "fcurve/fcurve_list.h"
#include "host/globals.h"

namespace vellimor {
namespace {

constexpr char kTurnOn[] =
    "Turn on autokeying or use the FCurve editor to edit frames with no animation keys";

class FCurveAutokey : public ::testing::Test {
protected:
    // Status lines go to stderr in a batch run, where the tests read them.
    void SetUp() override {
        reset_globals();
        run_state().run_mode = kRunModeStandAlone;
        run_state().batch = 1;
        fcurve_delete_all();
        HermSetUnitsPerPixel(1.0f, 1.0f);
    }
    void TearDown() override {
        fcurve_delete_all();
        reset_globals();
    }

    Herm &component(int id, int i) { return *fcurve_find(id)->limits[i].curve; }
    static std::tuple<float, float, int> key_of(const Herm &c, int k) { return {c.points[k].x, c.points[k].y, c.points[k].type}; }

    // Runs the autokey and returns what it reported.
    std::string autokey(int id, int frame, std::span<const float> values, int on, int expect) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(fcurve_autokey(id, frame, values, on), expect);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(FCurveAutokey, KeyAtTheFrameChangesEvenWithAutokeyingOff) {
    const float v[] = {1, 2};
    const int id = fcurve_create(2, 10, v);
    const float changed[] = {3, 4};
    // 10.4 rounds to frame 10.
    component(id, 1).points[0].x = 10.4f;
    EXPECT_EQ(autokey(id, 10, changed, 0, 1), "");
    EXPECT_EQ(std::tie(component(id, 0).points[0].y, component(id, 1).points[0].y), std::make_tuple(3.0f, 4.0f));
    EXPECT_EQ(component(id, 0).nb_points(), 1);
    float group[2] = {0, 0};
    fcurve_query(id, 10, group);
    EXPECT_EQ(group[1], 4);
}

TEST_F(FCurveAutokey, NoKeyAndAutokeyingOffIsRefused) {
    const float v[] = {1, 2};
    const int id = fcurve_create(2, 10, v);
    component(id, 1).points[0].x = 30;
    HermRecompute(component(id, 1));
    const float changed[] = {3, 4};
    // Component 0 has its key at frame 10 and keeps the change; component 1 has none.
    const std::string out = autokey(id, 10, changed, 0, 0);
    EXPECT_NE(out.find(std::string("WARNING: ") + kTurnOn), std::string::npos) << out;
    EXPECT_EQ(std::tie(component(id, 0).points[0].y, component(id, 1).points[0].y), std::make_tuple(3.0f, 2.0f));
    EXPECT_EQ(component(id, 1).nb_points(), 1);
}

TEST_F(FCurveAutokey, SecondKeyOnAOneKeyCurve) {
    const float v[] = {1};
    const int id = fcurve_create(1, 10, v);
    const float later[] = {5};
    const std::string out = autokey(id, 40, later, 1, 1);
    EXPECT_NE(out.find("FCurve has been autokeyed"), std::string::npos) << out;
    Herm &c = component(id, 0);
    ASSERT_EQ(c.nb_points(), 2);
    EXPECT_EQ(c.points[0].x, 10);
    EXPECT_EQ(key_of(c, 1), std::make_tuple(40.0f, 5.0f, int(herm::Contin)));
    const float earlier[] = {-1};
    autokey(id, 0, earlier, 1, 1);
    ASSERT_EQ(c.nb_points(), 3);
    EXPECT_EQ(std::tie(c.points[0].x, c.points[0].y), std::make_tuple(0.0f, -1.0f));
    float group[1];
    fcurve_query(id, 0, group);
    EXPECT_EQ(group[0], -1);
    fcurve_query(id, 100, group);
    EXPECT_NEAR(group[0], 5, 1e-3);
}

TEST_F(FCurveAutokey, KeyAfterTheLastAndInsideASegment) {
    const float v[] = {0};
    const int id = fcurve_create(1, 0, v);
    Herm &c = component(id, 0);
    HermInsertPoint(c, 1, 20, 0);
    c.points[0].type = herm::Break;
    const float after[] = {2};
    autokey(id, 30, after, 1, 1);
    ASSERT_EQ(c.nb_points(), 3);
    EXPECT_EQ(key_of(c, 2), std::make_tuple(30.0f, 2.0f, int(herm::Contin)));

    const float inside[] = {1};
    autokey(id, 10, inside, 1, 1);
    ASSERT_EQ(c.nb_points(), 4);
    // The key takes the type the hit segment's first key had.
    EXPECT_EQ(key_of(c, 1), std::make_tuple(10.0f, 1.0f, int(herm::Break)));
    EXPECT_EQ(std::tie(c.points[0].x, c.points[2].x), std::make_tuple(0.0f, 20.0f));
    float group[1];
    fcurve_query(id, 10, group);
    EXPECT_NEAR(group[0], 1, 0.01);
}

}  // namespace
}  // namespace vellimor
