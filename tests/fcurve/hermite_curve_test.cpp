#include "fcurve/hermite_curve.h"

#include "support/test_prelude.h"

namespace vellimor {
namespace {

// A curve through the given keys with the given handles, as the editor would leave it.
std::unique_ptr<Herm> curve_of(std::initializer_list<HermKey> keys) {
    auto c = HermCreate(0, 0);
    c->points.assign(keys.begin(), keys.end());
    HermRecompute(*c);
    return c;
}

HermKey key(float x, float y, float in_dx, float in_dy, float out_dx, float out_dy, int type = herm::Contin) {
    return {x, y, in_dx, in_dy, out_dx, out_dy, type};
}

void expect_floats(const float *got, std::initializer_list<float> wanted) {
    for (size_t i = 0; i < wanted.size(); ++i) EXPECT_FLOAT_EQ(got[i], std::data(wanted)[i]) << "value " << i;
}
void expect_xy(HermXY got, float x, float y) { expect_floats(&got.x, {x}), expect_floats(&got.y, {y}); }
// A key's handles: in dx, in dy, out dx, out dy.
std::array<float, 4> handles(const HermKey &k) { return {k.in_dx, k.in_dy, k.out_dx, k.out_dy}; }

HermXY on_segment(const HermKey &p, float t) {
    auto f = [t](const float c[4]) { return ((c[0] * t + c[1]) * t + c[2]) * t + c[3]; };
    return {f(p.coef_x), f(p.coef_y)};
}

class HermiteCurve : public ::testing::Test {
protected:
    void SetUp() override { HermSetUnitsPerPixel(1.0f, 1.0f); }
    void TearDown() override { HermSetUnitsPerPixel(1.0f, 1.0f); }
};

TEST_F(HermiteCurve, CoefficientsTakeHandleOffsetsAsOneSixthOfTheDerivative) {
    auto c = curve_of({key(0, 1, 0, 0, 2, 0.5f), key(10, 3, 1, -0.25f, 0, 0)});
    const HermKey &p = c->points[0];
    // T0 = 6 * out of the start, T1 = 6 * in of the end.
    expect_floats(p.coef_x, {2 * (0 - 10) + 12 + 6, 3 * (10 - 0) - 2 * 12 - 6, 12, 0});
    expect_floats(p.coef_y, {2 * (1 - 3) + 3 - 1.5f, 3 * (3 - 1) - 2 * 3 + 1.5f, 3, 1});
    // The segment ends on the next key, with the derivatives the handles give.
    expect_xy(on_segment(p, 1.0f), 10, 3);
    HermPoint(*c, 0.0f);
    expect_xy(HermTangent(*c, 0.0f), 2, 0.5f);
    expect_xy(HermTangent(*c, 1.0f), 1, -0.25f);
}

TEST_F(HermiteCurve, GlobalParameterSharesItEquallyAmongSegments) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Linear),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    for (const auto &[u, x] : {std::pair{0.25f, 5.0f}, {0.5f, 10.0f}, {0.75f, 20.0f}, {1.0f, 30.0f}, {7.0f, 30.0f}})
        EXPECT_FLOAT_EQ(HermPoint(*c, u).x, x) << u;
    expect_xy(HermPoint(*HermCreate(4, 9), 0.6f), 4, 9);
}

TEST_F(HermiteCurve, EvaluationBeforeBetweenAndAfterKeys) {
    auto c = HermCreate(0, 0);
    HermInsertPoint(*c, 1, 10, 1);
    // Before the first key: the first key's value; after the last: the last key's.
    EXPECT_EQ(HermEvaluate(c.get(), -50), 0.0f);
    EXPECT_NEAR(HermEvaluate(c.get(), 60), 1.0f, 1e-4);
    // Flat handles a third of the gap apart make the value ease in and out symmetrically.
    EXPECT_NEAR(HermEvaluate(c.get(), 5), 0.5f, 0.003f);
    EXPECT_LT(HermEvaluate(c.get(), 2), 0.25f);
    EXPECT_GT(HermEvaluate(c.get(), 8), 0.75f);
    // The value is that of the first sample at or past the frame.
    const float at3 = HermEvaluate(c.get(), 3);
    bool found = false;
    for (float u = 0; u <= 1.0f && !found; u += 0.001f) {
        const HermXY s = HermPoint(*c, u);
        if (s.x >= 3) {
            EXPECT_EQ(s.y, at3);
            found = true;
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(HermEvaluate(nullptr, 3), 0.0f);

    // A one-key curve gives its value everywhere, within its y limits.
    auto one = HermCreate(12, 3.5f);
    for (float x : {-100.0f, 12.0f, 500.0f}) EXPECT_EQ(HermEvaluate(one.get(), x), 3.5f);
    HermSetLimit(*one, herm::kYMax, 2);
    EXPECT_EQ(HermEvaluate(one.get(), 0), 2.0f);
    one->points[0].y = -1;
    HermRecompute(*one);
    HermSetLimit(*one, herm::kYMin, 0.5f);
    EXPECT_EQ(HermEvaluate(one.get(), 0), 0.5f);
    // x limits never clamp.
    HermSetLimit(*one, herm::kXMin, 100);
    HermSetLimit(*one, herm::kXMax, 200);
    EXPECT_EQ(HermEvaluate(one.get(), 0), 0.5f);
    EXPECT_EQ(std::tie(one->limit_flags, one->x_min, one->x_max), std::make_tuple(15u, 100.0f, 200.0f));
}

TEST_F(HermiteCurve, InsertedKeysAreOrderedByFrameWithTheTypeOfTheKeyBefore) {
    auto after = HermCreate(10, 1);
    after->points[0].type = herm::Break;
    EXPECT_EQ(HermInsertPoint(*after, 0, 16, 2), 1);
    ASSERT_EQ(after->nb_points(), 2);
    EXPECT_EQ(after->points[1].x, 16);
    for (const HermKey &p : after->points) {
        EXPECT_EQ(p.type, herm::Break);
        EXPECT_EQ(handles(p), (std::array<float, 4>{2, 0, 2, 0}));
    }
    auto before = HermCreate(10, 1);
    EXPECT_EQ(HermInsertPoint(*before, 1, 4, 2), 0);
    EXPECT_EQ(std::tie(before->points[0].x, before->points[1].x, before->points[1].in_dx), std::make_tuple(4.0f, 10.0f, 2.0f));
    // Same frame: the new key goes second.
    auto same = HermCreate(10, 1);
    EXPECT_EQ(HermInsertPoint(*same, 0, 10, 5), 1);
    EXPECT_EQ(same->points[1].y, 5);

    // Inserted keys take the type of the key before, with flat handles.
    auto c = HermCreate(0, 0);
    HermInsertPoint(*c, 1, 10, 1);
    c->points[0].type = herm::Linear;
    c->points[1].type = herm::Tangent;
    // Before the first key there is none before: the default type.
    for (const auto &[k, x, type] : {std::tuple{0, -5.0f, herm::Contin}, {2, 5.0f, herm::Linear}, {4, 20.0f, herm::Tangent}}) {
        EXPECT_EQ(HermInsertPoint(*c, k, x, 0), k);
        EXPECT_EQ(c->points[k].type, type) << k;
    }
    for (int k : {0, 2, 4}) EXPECT_EQ(handles(c->points[k]), (std::array<float, 4>{10, 0, 10, 0})) << k;
    EXPECT_EQ(HermInsertPoint(*c, 6, 30, 0), -1);
    EXPECT_EQ(HermInsertPoint(*c, -1, 30, 0), -1);
    ASSERT_EQ(c->nb_points(), 5);
    const float xs[] = {-5, 0, 5, 10, 20};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(c->points[k].x, xs[k]);
    EXPECT_EQ(c->dirty, 0);
}

// Samples both halves of a split segment and compares them with the segment before the split.
void expect_split_keeps_shape(std::initializer_list<HermKey> keys, int k, float t) {
    auto c = curve_of(keys);
    const HermKey original = c->points[k];
    const int others = c->nb_points();
    ASSERT_EQ(HermSplit(*c, k, t), k + 1);
    ASSERT_EQ(c->nb_points(), others + 1);
    for (int i = 0; i <= 20; ++i) {
        const float r = i / 20.0f;
        const HermXY left = on_segment(c->points[k], r), left0 = on_segment(original, t * r);
        const HermXY right = on_segment(c->points[k + 1], r),
                     right0 = on_segment(original, t + (1 - t) * r);
        for (const auto &[got, wanted] : {std::pair{left, left0}, {right, right0}}) {
            EXPECT_NEAR(got.x, wanted.x, 1e-4) << "t " << t << " r " << r;
            EXPECT_NEAR(got.y, wanted.y, 1e-4) << "t " << t << " r " << r;
        }
    }
}

TEST_F(HermiteCurve, SplitKeepsTheCurvesShapeAndSetsTheTypesAroundTheNewKey) {
    for (float t : {0.5f, 0.2f, 0.85f}) {
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2), key(12, 1, 2, -1, 2, 0), key(20, 0, 1, 0, 1, 0)},
                                 0, t);
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2, herm::Break), key(12, 1, 2, -1, 2, 0),
                                  key(20, 0, 1, 0.5f, 1, 0)},
                                 1, t);
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2, herm::Linear), key(12, 1, 2, -1, 2, 0)}, 0, t);
    }

    auto c = curve_of({key(0, 0, 1, 1, 3, 2, herm::Break), key(12, 1, 2, -1, 2, 0, herm::Break)});
    const int k = HermSplit(*c, 0, 0.5f);
    ASSERT_EQ(k, 1);
    EXPECT_EQ(std::tie(c->points[0].type, c->points[1].type, c->points[2].type),
              std::make_tuple(int(herm::Tangent), int(herm::Contin), int(herm::Tangent)));
    // Halfway, both handles of the new key are equal, as a continuous key's are.
    EXPECT_FLOAT_EQ(c->points[1].in_dx, c->points[1].out_dx);
    EXPECT_FLOAT_EQ(c->points[1].in_dy, c->points[1].out_dy);
    EXPECT_FLOAT_EQ(c->points[0].out_dx, 1.5f);
    EXPECT_FLOAT_EQ(c->points[2].in_dy, -0.5f);

    auto linear = curve_of({key(0, 0, 1, 1, 3, 2, herm::Linear), key(12, 1, 2, -1, 2, 0)});
    EXPECT_EQ(HermSplit(*linear, 0, 0.25f), 1);
    EXPECT_EQ(std::tie(linear->points[0].type, linear->points[1].type), std::make_tuple(int(herm::Linear), int(herm::Linear)));
    expect_xy({linear->points[1].x, linear->points[1].y}, 3, 0.25f);
    EXPECT_EQ(linear->points[2].in_dx, 2.0f);

    EXPECT_EQ(std::make_tuple(HermSplit(*linear, 2, 0.5f), HermSplit(*linear, -1, 0.5f)), std::make_tuple(-1, -1));
    EXPECT_EQ(linear->nb_points(), 3);
}

TEST_F(HermiteCurve, DraggingAHandleMovesTheOtherByType) {
    auto c = curve_of({key(10, 1, 1, 2, 3, 4), key(20, 1, 1, 1, 1, 1)});
    HermKey &p = c->points[0];
    HermMoveHandle(*c, herm::kInHandle, 0, 8, 0.5f, herm::Contin);  // mirrors
    EXPECT_EQ(handles(p), (std::array<float, 4>{2, 0.5f, 2, 0.5f}));
    HermMoveHandle(*c, herm::kOutHandle, 0, 13, 5, herm::Break);  // leaves the other alone
    EXPECT_EQ(handles(p), (std::array<float, 4>{2, 0.5f, 3, 4}));
    // Tangent turns the other onto the same line, keeping its length.
    HermMoveHandle(*c, herm::kInHandle, 0, 10 - 6, 1 - 8, herm::Tangent);
    expect_floats(handles(p).data(), {6, 8, 3, 4});
    EXPECT_EQ(p.type, herm::Tangent);

    // The tangent length is measured on screen.
    HermSetUnitsPerPixel(2.0f, 0.5f);
    auto wide = curve_of({key(0, 0, 1, 1, 0, 3), key(20, 1, 1, 1, 1, 1)});
    HermKey &q = wide->points[0];
    // The outgoing handle is 6 pixels long; the dragged one points along (1, 1) on screen.
    HermMoveHandle(*wide, herm::kInHandle, 0, -4, -1, herm::Tangent);
    const float px = q.out_dx / 2.0f, py = q.out_dy / 0.5f;
    EXPECT_NEAR(std::sqrt(px * px + py * py), 6.0f, 1e-5);
    EXPECT_NEAR(px, py, 1e-5);
    EXPECT_GT(px, 0);
    // A zero component of the dragged handle is nudged so that it keeps a direction.
    HermMoveHandle(*wide, herm::kOutHandle, 0, 0, 5, herm::Tangent);
    EXPECT_EQ(q.out_dx, 0.001f);
    EXPECT_EQ(q.out_dy, 5.0f);
}

TEST_F(HermiteCurve, SettingATypeReshapesTheOtherHandle) {
    auto c = curve_of({key(0, 0, 1, 2, 3, 4, herm::Break), key(10, 1, 1, 1, 5, 6, herm::Break)});
    EXPECT_EQ(HermSetPointType(*c, 0, herm::Contin), 0);
    expect_floats(handles(c->points[0]).data(), {3, 4, 3, 4});
    // The last key has no outgoing segment: its incoming handle leads.
    EXPECT_EQ(HermSetPointType(*c, 1, herm::Contin), 0);
    expect_floats(handles(c->points[1]).data(), {1, 1, 1, 1});
    EXPECT_EQ(HermSetPointType(*c, 0, herm::Linear), 0);
    EXPECT_EQ(c->points[0].type, herm::Linear);
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.5f).x, 5);
    EXPECT_EQ(HermSetPointType(*c, 2, herm::Linear), -1);
}

TEST_F(HermiteCurve, NearestParameterFindsTheSegmentAndItsT) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Linear),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    // Past the end: the end of the last segment, never a segment after it.
    const struct {
        float x;
        int segment;
        float t;
    } cases[] = {{20, 1, 0.5f}, {2.5f, 0, 0.25f}, {99, 1, 1.0f}, {-5, 0, 0.0f}};
    for (const auto &c2 : cases) {
        const HermParameter at = HermNearestParameter(*c, c2.x);
        EXPECT_EQ(at.segment, c2.segment) << c2.x;
        EXPECT_NEAR(at.t, c2.t, 0.003f) << c2.x;
    }
}

TEST_F(HermiteCurve, PickingOnBeforeAfterAndOffTheCurve) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Break),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    const HermPick on = HermPickCurve(*c, 21, 0.5f);
    EXPECT_EQ(std::tie(on.curve, on.what, on.index, on.type), std::make_tuple(c.get(), int(herm::kOnCurve), 1, int(herm::Break)));
    EXPECT_LT(std::fabs(on.x - 21), 7.0f);
    const HermPick before = HermPickCurve(*c, -20, 3);
    EXPECT_EQ(std::tie(before.index, before.x, before.y, before.type), std::make_tuple(-1, -20.0f, 0.0f, int(herm::Contin)));
    const HermPick after = HermPickCurve(*c, 80, -3);
    EXPECT_EQ(std::tie(after.index, after.y), std::make_tuple(3, 0.0f));

    const HermPick miss = HermPickCurve(*c, 15, 50);
    EXPECT_EQ(miss.index, herm::kNoHit);
    EXPECT_EQ(miss.curve, nullptr);

    // Tolerances follow the view: at a tenth of a unit per pixel the same press misses.
    HermSetUnitsPerPixel(0.1f, 0.1f);
    EXPECT_EQ(HermPickCurve(*c, -20, 3).index, herm::kNoHit);
    EXPECT_EQ(HermPickCurve(*c, -20, 0.5f).index, -1);
}

}  // namespace
}  // namespace vellimor
