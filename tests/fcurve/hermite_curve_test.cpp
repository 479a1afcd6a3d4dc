#include "fcurve/hermite_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vellimor {
namespace {

// A curve through the given keys with the given handles, as the editor would leave it.
std::unique_ptr<Herm> curve_of(std::initializer_list<HermKey> keys) {
    auto c = HermCreate(0, 0);
    c->points.assign(keys.begin(), keys.end());
    HermRecompute(*c);
    return c;
}

HermKey key(float x, float y, float in_dx, float in_dy, float out_dx, float out_dy,
            int type = herm::Contin) {
    HermKey k;
    k.x = x;
    k.y = y;
    k.in_dx = in_dx;
    k.in_dy = in_dy;
    k.out_dx = out_dx;
    k.out_dy = out_dy;
    k.type = type;
    return k;
}

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
    EXPECT_FLOAT_EQ(p.coef_x[0], 2 * (0 - 10) + 12 + 6);
    EXPECT_FLOAT_EQ(p.coef_x[1], 3 * (10 - 0) - 2 * 12 - 6);
    EXPECT_FLOAT_EQ(p.coef_x[2], 12);
    EXPECT_FLOAT_EQ(p.coef_x[3], 0);
    EXPECT_FLOAT_EQ(p.coef_y[0], 2 * (1 - 3) + 3 - 1.5f);
    EXPECT_FLOAT_EQ(p.coef_y[1], 3 * (3 - 1) - 2 * 3 + 1.5f);
    EXPECT_FLOAT_EQ(p.coef_y[2], 3);
    EXPECT_FLOAT_EQ(p.coef_y[3], 1);
    // The segment ends on the next key, with the derivatives the handles give.
    const HermXY end = on_segment(p, 1.0f);
    EXPECT_FLOAT_EQ(end.x, 10);
    EXPECT_FLOAT_EQ(end.y, 3);
    HermPoint(*c, 0.0f);
    const HermXY start_slope = HermTangent(*c, 0.0f);
    EXPECT_FLOAT_EQ(start_slope.x, 2);
    EXPECT_FLOAT_EQ(start_slope.y, 0.5f);
    const HermXY end_slope = HermTangent(*c, 1.0f);
    EXPECT_FLOAT_EQ(end_slope.x, 1);
    EXPECT_FLOAT_EQ(end_slope.y, -0.25f);
}

TEST_F(HermiteCurve, GlobalParameterSharesItEquallyAmongSegments) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Linear),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.25f).x, 5);
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.5f).x, 10);
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.75f).x, 20);
    EXPECT_FLOAT_EQ(HermPoint(*c, 1.0f).x, 30);
    EXPECT_FLOAT_EQ(HermPoint(*c, 7.0f).x, 30);
    auto one = HermCreate(4, 9);
    EXPECT_EQ(HermPoint(*one, 0.6f).x, 4.0f);
    EXPECT_EQ(HermPoint(*one, 0.6f).y, 9.0f);
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
}

TEST_F(HermiteCurve, OneKeyCurveGivesItsValueEverywhereWithinItsLimits) {
    auto c = HermCreate(12, 3.5f);
    for (float x : {-100.0f, 12.0f, 500.0f}) EXPECT_EQ(HermEvaluate(c.get(), x), 3.5f);
    HermSetLimit(*c, herm::kYMax, 2);
    EXPECT_EQ(HermEvaluate(c.get(), 0), 2.0f);
    c->points[0].y = -1;
    HermRecompute(*c);
    HermSetLimit(*c, herm::kYMin, 0.5f);
    EXPECT_EQ(HermEvaluate(c.get(), 0), 0.5f);
    // x limits never clamp.
    HermSetLimit(*c, herm::kXMin, 100);
    HermSetLimit(*c, herm::kXMax, 200);
    EXPECT_EQ(HermEvaluate(c.get(), 0), 0.5f);
    EXPECT_EQ(c->limit_flags, 15u);
    EXPECT_EQ(c->x_min, 100);
    EXPECT_EQ(c->x_max, 200);
}

TEST_F(HermiteCurve, SecondKeyIsOrderedByFrameWithFlatHandles) {
    auto after = HermCreate(10, 1);
    after->points[0].type = herm::Break;
    EXPECT_EQ(HermInsertPoint(*after, 0, 16, 2), 1);
    ASSERT_EQ(after->nb_points(), 2);
    EXPECT_EQ(after->points[1].x, 16);
    for (const HermKey &p : after->points) {
        EXPECT_EQ(p.type, herm::Break);
        EXPECT_EQ(p.in_dx, 2.0f);
        EXPECT_EQ(p.out_dx, 2.0f);
        EXPECT_EQ(p.in_dy, 0.0f);
        EXPECT_EQ(p.out_dy, 0.0f);
    }
    auto before = HermCreate(10, 1);
    EXPECT_EQ(HermInsertPoint(*before, 1, 4, 2), 0);
    EXPECT_EQ(before->points[0].x, 4);
    EXPECT_EQ(before->points[1].x, 10);
    EXPECT_EQ(before->points[1].in_dx, 2.0f);
    // Same frame: the new key goes second.
    auto same = HermCreate(10, 1);
    EXPECT_EQ(HermInsertPoint(*same, 0, 10, 5), 1);
    EXPECT_EQ(same->points[1].y, 5);
}

TEST_F(HermiteCurve, InsertedKeysTakeTheTypeOfTheKeyBefore) {
    auto c = HermCreate(0, 0);
    HermInsertPoint(*c, 1, 10, 1);
    c->points[0].type = herm::Linear;
    c->points[1].type = herm::Tangent;
    EXPECT_EQ(HermInsertPoint(*c, 0, -5, 0), 0);
    EXPECT_EQ(c->points[0].type, herm::Contin);
    EXPECT_EQ(HermInsertPoint(*c, 2, 5, 0), 2);
    EXPECT_EQ(c->points[2].type, herm::Linear);
    EXPECT_EQ(HermInsertPoint(*c, 4, 20, 0), 4);
    EXPECT_EQ(c->points[4].type, herm::Tangent);
    for (int k : {0, 2, 4}) {
        EXPECT_EQ(c->points[k].in_dx, 10.0f);
        EXPECT_EQ(c->points[k].out_dx, 10.0f);
        EXPECT_EQ(c->points[k].in_dy, 0.0f);
    }
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
        EXPECT_NEAR(left.x, left0.x, 1e-4) << "t " << t << " r " << r;
        EXPECT_NEAR(left.y, left0.y, 1e-4) << "t " << t << " r " << r;
        EXPECT_NEAR(right.x, right0.x, 1e-4) << "t " << t << " r " << r;
        EXPECT_NEAR(right.y, right0.y, 1e-4) << "t " << t << " r " << r;
    }
}

TEST_F(HermiteCurve, SplitKeepsTheCurvesShape) {
    for (float t : {0.5f, 0.2f, 0.85f}) {
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2), key(12, 1, 2, -1, 2, 0), key(20, 0, 1, 0, 1, 0)},
                                 0, t);
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2, herm::Break), key(12, 1, 2, -1, 2, 0),
                                  key(20, 0, 1, 0.5f, 1, 0)},
                                 1, t);
        expect_split_keeps_shape({key(0, 0, 1, 1, 3, 2, herm::Linear), key(12, 1, 2, -1, 2, 0)}, 0, t);
    }
}

TEST_F(HermiteCurve, SplitSetsTheTypesAroundTheNewKey) {
    auto c = curve_of({key(0, 0, 1, 1, 3, 2, herm::Break), key(12, 1, 2, -1, 2, 0, herm::Break)});
    const int k = HermSplit(*c, 0, 0.5f);
    ASSERT_EQ(k, 1);
    EXPECT_EQ(c->points[0].type, herm::Tangent);
    EXPECT_EQ(c->points[1].type, herm::Contin);
    EXPECT_EQ(c->points[2].type, herm::Tangent);
    // Halfway, both handles of the new key are equal, as a continuous key's are.
    EXPECT_FLOAT_EQ(c->points[1].in_dx, c->points[1].out_dx);
    EXPECT_FLOAT_EQ(c->points[1].in_dy, c->points[1].out_dy);
    EXPECT_FLOAT_EQ(c->points[0].out_dx, 1.5f);
    EXPECT_FLOAT_EQ(c->points[2].in_dy, -0.5f);

    auto linear = curve_of({key(0, 0, 1, 1, 3, 2, herm::Linear), key(12, 1, 2, -1, 2, 0)});
    EXPECT_EQ(HermSplit(*linear, 0, 0.25f), 1);
    EXPECT_EQ(linear->points[0].type, herm::Linear);
    EXPECT_EQ(linear->points[1].type, herm::Linear);
    EXPECT_FLOAT_EQ(linear->points[1].x, 3);
    EXPECT_FLOAT_EQ(linear->points[1].y, 0.25f);
    EXPECT_EQ(linear->points[2].in_dx, 2.0f);

    EXPECT_EQ(HermSplit(*linear, 2, 0.5f), -1);
    EXPECT_EQ(HermSplit(*linear, -1, 0.5f), -1);
    EXPECT_EQ(linear->nb_points(), 3);
}

TEST_F(HermiteCurve, DraggingAHandleMovesTheOtherByType) {
    auto c = curve_of({key(10, 1, 1, 2, 3, 4), key(20, 1, 1, 1, 1, 1)});
    HermKey &p = c->points[0];
    // Contin mirrors.
    HermMoveHandle(*c, herm::kInHandle, 0, 8, 0.5f, herm::Contin);
    EXPECT_EQ(p.in_dx, 2);
    EXPECT_EQ(p.in_dy, 0.5f);
    EXPECT_EQ(p.out_dx, 2);
    EXPECT_EQ(p.out_dy, 0.5f);
    // Break leaves the other alone.
    HermMoveHandle(*c, herm::kOutHandle, 0, 13, 5, herm::Break);
    EXPECT_EQ(p.out_dx, 3);
    EXPECT_EQ(p.out_dy, 4);
    EXPECT_EQ(p.in_dx, 2);
    EXPECT_EQ(p.in_dy, 0.5f);
    // Tangent turns the other onto the same line, keeping its length.
    HermMoveHandle(*c, herm::kInHandle, 0, 10 - 6, 1 - 8, herm::Tangent);
    EXPECT_EQ(p.in_dx, 6);
    EXPECT_EQ(p.in_dy, 8);
    EXPECT_FLOAT_EQ(p.out_dx, 3);
    EXPECT_FLOAT_EQ(p.out_dy, 4);
    EXPECT_EQ(p.type, herm::Tangent);
}

TEST_F(HermiteCurve, TangentLengthIsMeasuredOnScreen) {
    HermSetUnitsPerPixel(2.0f, 0.5f);
    auto c = curve_of({key(0, 0, 1, 1, 0, 3), key(20, 1, 1, 1, 1, 1)});
    HermKey &p = c->points[0];
    // The outgoing handle is 6 pixels long; the dragged one points along (1, 1) on screen.
    HermMoveHandle(*c, herm::kInHandle, 0, -4, -1, herm::Tangent);
    const float px = p.out_dx / 2.0f, py = p.out_dy / 0.5f;
    EXPECT_NEAR(std::sqrt(px * px + py * py), 6.0f, 1e-5);
    EXPECT_NEAR(px, py, 1e-5);
    EXPECT_GT(px, 0);
    // A zero component of the dragged handle is nudged so that it keeps a direction.
    HermMoveHandle(*c, herm::kOutHandle, 0, 0, 5, herm::Tangent);
    EXPECT_EQ(p.out_dx, 0.001f);
    EXPECT_EQ(p.out_dy, 5.0f);
}

TEST_F(HermiteCurve, SettingATypeReshapesTheOtherHandle) {
    auto c = curve_of({key(0, 0, 1, 2, 3, 4, herm::Break), key(10, 1, 1, 1, 5, 6, herm::Break)});
    EXPECT_EQ(HermSetPointType(*c, 0, herm::Contin), 0);
    EXPECT_FLOAT_EQ(c->points[0].in_dx, 3);
    EXPECT_FLOAT_EQ(c->points[0].in_dy, 4);
    // The last key has no outgoing segment: its incoming handle leads.
    EXPECT_EQ(HermSetPointType(*c, 1, herm::Contin), 0);
    EXPECT_FLOAT_EQ(c->points[1].out_dx, 1);
    EXPECT_FLOAT_EQ(c->points[1].out_dy, 1);
    EXPECT_EQ(HermSetPointType(*c, 0, herm::Linear), 0);
    EXPECT_EQ(c->points[0].type, herm::Linear);
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.5f).x, 5);
    EXPECT_EQ(HermSetPointType(*c, 2, herm::Linear), -1);
}

TEST_F(HermiteCurve, NearestParameterFindsTheSegmentAndItsT) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Linear),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    const HermParameter at = HermNearestParameter(*c, 20);
    EXPECT_EQ(at.segment, 1);
    EXPECT_NEAR(at.t, 0.5f, 0.003f);
    const HermParameter early = HermNearestParameter(*c, 2.5f);
    EXPECT_EQ(early.segment, 0);
    EXPECT_NEAR(early.t, 0.25f, 0.003f);
    // Past the end: the end of the last segment, never a segment after it.
    const HermParameter end = HermNearestParameter(*c, 99);
    EXPECT_EQ(end.segment, 1);
    EXPECT_NEAR(end.t, 1.0f, 0.003f);
    EXPECT_EQ(HermNearestParameter(*c, -5).segment, 0);
    EXPECT_EQ(HermNearestParameter(*c, -5).t, 0.0f);
}

TEST_F(HermiteCurve, PickingOnBeforeAfterAndOffTheCurve) {
    auto c = curve_of({key(0, 0, 0, 0, 0, 0, herm::Linear), key(10, 1, 0, 0, 0, 0, herm::Break),
                       key(30, 0, 0, 0, 0, 0, herm::Linear)});
    const HermPick on = HermPickCurve(*c, 21, 0.5f);
    EXPECT_EQ(on.curve, c.get());
    EXPECT_EQ(on.what, herm::kOnCurve);
    EXPECT_EQ(on.index, 1);
    EXPECT_EQ(on.type, herm::Break);
    EXPECT_LT(std::fabs(on.x - 21), 7.0f);

    const HermPick before = HermPickCurve(*c, -20, 3);
    EXPECT_EQ(before.index, -1);
    EXPECT_EQ(before.x, -20);
    EXPECT_EQ(before.y, 0);
    EXPECT_EQ(before.type, herm::Contin);
    const HermPick after = HermPickCurve(*c, 80, -3);
    EXPECT_EQ(after.index, 3);
    EXPECT_EQ(after.y, 0);

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
