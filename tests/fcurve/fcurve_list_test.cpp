// The list of curve groups: ids, creation, queries and limits, and the keys autokeying adds.
#include "fcurve/fcurve_list.h"

#include "support/test_prelude.h"

#include "fcurve/fcurve_autokey.h"
#include "host/globals.h"

namespace vellimor {
namespace {

constexpr char kTurnOn[] =
    "Turn on autokeying or use the FCurve editor to edit frames with no animation keys";

class FCurveList : public ::testing::Test {
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

    static std::tuple<float, float, int> key_of(const Herm &c, int k) { return {c.points[k].x, c.points[k].y, c.points[k].type}; }

    std::string autokey(int id, int frame, std::span<const float> values, int on, int expect) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(fcurve_autokey(id, frame, values, on), expect);
        return testing::internal::GetCapturedStderr();
    }
};
using FCurveAutokey = FCurveList;

Herm &component(int id, int i) { return *fcurve_find(id)->limits[i].curve; }

// A component curve with keys (x, y) pairs, linear between them.
void set_keys(int id, int i, std::initializer_list<std::array<float, 2>> keys) {
    Herm &c = component(id, i);
    c.points.clear();
    for (const auto &k : keys) c.points.push_back({k[0], k[1], 0, 0, 0, 0, herm::Linear});
    HermRecompute(c);
}

TEST_F(FCurveList, IdsAreFreshAndNeverZero) {
    const float v[] = {1, 2, 3};
    const int a = fcurve_create(3, 1, v);
    const int b = fcurve_create(1, 1, v);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, a);
    // The counter runs on; an id taken by a loaded curve is skipped.
    EXPECT_EQ(fcurve_add_to_list(std::make_unique<FCurve>(FCurve{b + 1, 1, 1})), b + 1);
    EXPECT_EQ(fcurve_new_id(), b + 2);
    fcurve_delete(a);
    EXPECT_GT(fcurve_create(1, 1, v), b + 2);
}

TEST_F(FCurveList, CreateGivesOneKeyPerComponentInItsColour) {
    const float v[] = {0.5f, 0.25f, 0.125f, 2.0f};
    const int id = fcurve_create(4, 7, v);
    const FCurve *f = fcurve_find(id);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::tie(f->type, f->nb_curves), std::make_tuple(4, 4));
    const float colors[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f->use[i], 1);
        const Herm &c = *f->limits[i].curve;
        ASSERT_EQ(c.nb_points(), 1);
        EXPECT_EQ(std::tie(c.points[0].x, c.points[0].y), std::make_tuple(7.0f, v[i]));
        EXPECT_EQ(std::to_array(c.color), std::to_array(colors[i]));
    }
    EXPECT_EQ(f->use[4], 0);
    EXPECT_EQ(f->limits[4].curve, nullptr);
    // Component counts out of range, or fewer values than components: no curve.
    EXPECT_EQ(std::make_tuple(fcurve_create(0, 1, v), fcurve_create(6, 1, v), fcurve_create(4, 1, std::span<const float>(v, 3))),
              std::make_tuple(0, 0, 0));
    EXPECT_EQ(fcurve_count(), 1);
}

TEST_F(FCurveList, AddingTakesTheIdOrRenumbers) {
    auto zero = fcurve_alloc();
    testing::internal::CaptureStderr();
    EXPECT_EQ(fcurve_add_to_list(std::move(zero)), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "fcurve_add_to_list: can't add an fcurve with an id == 0\n");
    EXPECT_EQ(fcurve_count(), 0);

    EXPECT_EQ(fcurve_add_to_list(std::make_unique<FCurve>(FCurve{40})), 40);
    const int renumbered = fcurve_add_to_list(std::make_unique<FCurve>(FCurve{40, 2}));
    EXPECT_NE(renumbered, 40);
    EXPECT_GT(renumbered, 0);
    EXPECT_EQ(fcurve_find(renumbered)->type, 2);
    EXPECT_EQ(fcurve_find(40)->type, 0);
}

TEST_F(FCurveList, DeleteUnlinksWhereverTheCurveStands) {
    const float v[] = {1};
    const int a = fcurve_create(1, 0, v), b = fcurve_create(1, 0, v), c = fcurve_create(1, 0, v);
    fcurve_delete(b);
    EXPECT_EQ(fcurve_find(b), nullptr);
    EXPECT_NE(fcurve_find(a), nullptr);
    EXPECT_NE(fcurve_find(c), nullptr);
    fcurve_delete(12345);
    EXPECT_EQ(fcurve_count(), 2);
    fcurve_delete(c);
    fcurve_delete(a);
    EXPECT_EQ(fcurve_count(), 0);
    fcurve_create(1, 0, v);
    fcurve_delete_all();
    EXPECT_EQ(fcurve_count(), 0);
}

TEST_F(FCurveList, QueryWritesOnlyWhenAValueChanges) {
    float group[3] = {0, 0, 7};
    const int id = fcurve_create(3, 0, group);
    set_keys(id, 0, {{0, 0}, {10, 1}});
    set_keys(id, 1, {{0, 2}, {10, 2}});
    fcurve_set_use(id, 2, 0);

    // Component 1 is 2 now; the one switched off is written as 0 along with the change.
    EXPECT_EQ(fcurve_query(id, 0, group), 1);
    EXPECT_EQ(std::to_array(group), (std::array<float, 3>{0, 2, 0}));

    group[2] = 7;
    EXPECT_EQ(fcurve_query(id, 0, group), 0);  // same values: nothing written
    EXPECT_EQ(group[2], 7);

    EXPECT_EQ(fcurve_query(id, 5, group), 1);
    EXPECT_NEAR(group[0], 0.5f, 0.002f);
    EXPECT_EQ(group[2], 0);
    EXPECT_EQ(fcurve_query(id, 20, group), 1);
    EXPECT_NEAR(group[0], 1.0f, 0.002f);
    EXPECT_EQ(fcurve_query(id + 100, 20, group), 0);
}

TEST_F(FCurveList, LimitsClampAndAMissingMinimumNeverClearsOne) {
    const float v[] = {5};
    const int id = fcurve_create(1, 0, v);
    ASSERT_EQ(fcurve_set_limits(id, 0, 1, 1, 0, 1), 1);
    const FCurve *f = fcurve_find(id);
    EXPECT_EQ(std::tie(f->limits[0].has_min, f->limits[0].max), std::make_tuple(int16_t(1), 1.0f));
    float group[1] = {0};
    fcurve_query(id, 3, group);
    EXPECT_EQ(group[0], 1);

    ASSERT_EQ(fcurve_set_limits(id, 0, 0, 1, -50, 2), 1);
    const Herm &c = *f->limits[0].curve;
    EXPECT_EQ(std::tie(c.limit_flags, c.y_min, c.y_max), std::make_tuple(unsigned(herm::kYMin | herm::kYMax), 0.0f, 2.0f));
    EXPECT_EQ(std::tie(f->limits[0].has_min, f->limits[0].min), std::make_tuple(int16_t(0), -50.0f));
    component(id, 0).points[0].y = -3;
    HermRecompute(component(id, 0));
    fcurve_query(id, 3, group);
    EXPECT_EQ(group[0], 0);
}

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
