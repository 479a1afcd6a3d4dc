// The curve editor's view and pointer logic: framing, the visible range, picking, the tools'
// press actions, dragging with Alt snapping and the navigation gestures.
#include <gtest/gtest.h>

#include <tuple>

#include "fcurve/curve_editor_view.h"

namespace vellimor {
namespace {

constexpr FrameSpan kFrames{1, 30, 12};
constexpr int kW = 876, kH = 335;

// A curve with keys at (1, 0) and (21, 1), flat handles of 3 frames.
std::unique_ptr<Herm> two_keys() {
    auto c = HermCreate(1, 0);
    HermInsertPoint(*c, 1, 21, 1);
    return c;
}

CurveView view_over(float x0, float x1, float y0, float y1) {
    CurveView v;
    v.x0 = x0, v.x1 = x1, v.y0 = y0, v.y1 = y1;
    derive_view(v, kW, kH, kFrames);
    return v;
}

void expect_range(const CurveView &v, float x0, float x1, float y0, float y1) {
    const float got[] = {v.x0, v.x1, v.y0, v.y1}, wanted[] = {x0, x1, y0, y1};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(got[i], wanted[i]) << "x0, x1, y0, y1: " << i;
}

TEST(CurveEditorView, FramingCoversTheCurvesAndTheSceneRange) {
    auto inside = two_keys();
    CurveView v;
    v.zoom = 3;
    v.px = 4;
    frame_all(v, {inside.get()}, kFrames);
    EXPECT_EQ(v.zoom, 1);
    EXPECT_EQ(v.px, 0);
    expect_range(v, 1, 30, 0, 1);  // from the scene's first frame, raised to its last

    auto wide = HermCreate(-20, 5);
    HermInsertPoint(*wide, 1, 50, -5);
    frame_all(v, {wide.get()}, kFrames);
    expect_range(v, -20, 50, -5, 5);

    // Every curve at one frame and one value: the scene's range and a unit of value.
    auto one = HermCreate(7, 0.25f);
    auto other = HermCreate(7, 0.25f);
    frame_all(v, {one.get(), other.get()}, kFrames);
    expect_range(v, 1, 30, 0.25f, 1.25f);
    frame_all(v, {}, kFrames);  // nothing displayed
    expect_range(v, 1, 30, v.y0, v.y0 + 1);
}

TEST(CurveEditorView, PicksHandlesBeforePointsAndPointsBeforeTheCurve) {
    auto c = two_keys();
    CurveView v = view_over(1, 21, 0, 1);
    const HermKey first = c->points[0], second = c->points[1];
    const std::vector<Herm *> shown{c.get()};

    auto picked = [](const HermPick &p) { return std::make_tuple(p.curve, p.what, p.index); };
    const HermPick out = pick_displayed(shown, first.x + first.out_dx, first.y + first.out_dy, v.ux, v.uy);
    EXPECT_EQ(picked(out), std::make_tuple(c.get(), int(herm::kOutHandle), 0));
    const HermPick in = pick_displayed(shown, second.x - second.in_dx, second.y, v.ux, v.uy);
    EXPECT_EQ(picked(in), std::make_tuple(c.get(), int(herm::kInHandle), 1));
    const HermPick point = pick_displayed(shown, second.x + 2 * v.ux, second.y - 2 * v.uy, v.ux, v.uy);
    EXPECT_EQ(picked(point), std::make_tuple(c.get(), int(herm::kPoint), 1));

    // The middle of the curve, away from keys and handles.
    const HermXY mid = HermPoint(*c, 0.5f);
    EXPECT_EQ(picked(pick_displayed(shown, mid.x, mid.y, v.ux, v.uy)), std::make_tuple(c.get(), int(herm::kOnCurve), 0));
    // Beyond the last key, level with it: a hit for Insert.
    HermPick after = pick_displayed(shown, 28, 1, v.ux, v.uy);
    EXPECT_EQ(after.index, 2);
    // Far from everything.
    EXPECT_EQ(pick_displayed(shown, 10, 0.9f, v.ux, v.uy).index, herm::kNoHit);
    // A key of a second curve is found before the first curve's line.
    auto other = HermCreate(mid.x, mid.y);
    EXPECT_EQ(picked(pick_displayed({c.get(), other.get()}, mid.x, mid.y, v.ux, v.uy)),
              std::make_tuple(other.get(), int(herm::kPoint), 0));
}

TEST(CurveEditorView, ToolsActOnTheHitPoint) {
    CurveView v = view_over(1, 21, 0, 1);
    auto c = two_keys();
    HermPick p = pick_displayed({c.get()}, 21, 1, v.ux, v.uy);
    PressResult r = apply_press(CurveTool::kBreak, p, 21, 1);
    EXPECT_FALSE(r.drag);
    EXPECT_EQ(c->points[1].type, herm::Break);
    apply_press(CurveTool::kLinear, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_EQ(c->points[0].type, herm::Linear);
    // A hit on the curve acts on the segment's first point.
    const HermXY mid = HermPoint(*c, 0.5f);
    apply_press(CurveTool::kTangent, pick_displayed({c.get()}, mid.x, mid.y, v.ux, v.uy), mid.x, mid.y);
    EXPECT_EQ(c->points[0].type, herm::Tangent);
    apply_press(CurveTool::kContin, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_EQ(c->points[0].type, herm::Contin);
    // Move starts a drag of what was hit.
    r = apply_press(CurveTool::kMove, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_TRUE(r.drag);
    EXPECT_EQ(r.pick.what, herm::kPoint);
    // Delete removes the key; the last one stays.
    apply_press(CurveTool::kDelete, pick_displayed({c.get()}, 21, 1, v.ux, v.uy), 21, 1);
    ASSERT_EQ(c->nb_points(), 1);
    apply_press(CurveTool::kDelete, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_EQ(c->nb_points(), 1);
    // Nothing hit: nothing happens.
    EXPECT_FALSE(apply_press(CurveTool::kMove, HermPick{}, 5, 5).drag);
}

TEST(CurveEditorView, InsertSplitsOrExtendsTheCurveAndDragsTheNewKey) {
    CurveView v = view_over(1, 21, 0, 1);
    auto c = two_keys();
    const HermXY mid = HermPoint(*c, 0.5f);
    PressResult r = apply_press(CurveTool::kInsert, pick_displayed({c.get()}, mid.x, mid.y, v.ux, v.uy),
                                mid.x, mid.y);
    ASSERT_EQ(c->nb_points(), 3);
    EXPECT_EQ(std::tie(r.drag, r.pick.what, r.pick.index), std::make_tuple(true, int(herm::kPoint), 1));
    EXPECT_NEAR(c->points[1].x, mid.x, 0.5f);
    // The curve keeps its shape through the split.
    EXPECT_NEAR(HermEvaluate(c.get(), 15), HermEvaluate(two_keys().get(), 15), 0.01f);

    r = apply_press(CurveTool::kInsert, pick_displayed({c.get()}, 27, 1, v.ux, v.uy), 27, 1);
    ASSERT_EQ(c->nb_points(), 4);
    EXPECT_EQ(r.pick.index, 3);
    EXPECT_FLOAT_EQ(c->points[3].x, 27);
    r = apply_press(CurveTool::kInsert, pick_displayed({c.get()}, -3, 0, v.ux, v.uy), -3, 0);
    ASSERT_EQ(c->nb_points(), 5);
    EXPECT_EQ(r.pick.index, 0);
    EXPECT_FLOAT_EQ(c->points[0].x, -3);

    // A one-key curve: the new key goes where the pointer is, ordered by frame.
    auto single = HermCreate(10, 0.5f);
    r = apply_press(CurveTool::kInsert, pick_displayed({single.get()}, 4, 0.5f, v.ux, v.uy), 4, 0.5f);
    ASSERT_EQ(single->nb_points(), 2);
    EXPECT_EQ(r.pick.index, 0);
    EXPECT_FLOAT_EQ(single->points[0].x, 4);
}

TEST(CurveEditorView, AltSnapsAKeyOntoTheCurrentFrameAndKeepsHandlesLevel) {
    CurveView v = view_over(1, 30, 0, 1);
    auto c = two_keys();
    HermPick key = pick_displayed({c.get()}, 21, 1, v.ux, v.uy);
    ASSERT_EQ(key.what, herm::kPoint);
    const float near_current = 12 + 15 * v.ux, far_from_current = 12 + 25 * v.ux;
    HermXY t = drag_target(key, near_current, 0.4f, true, kFrames, v.ux);
    EXPECT_EQ(std::tie(t.x, t.y), std::make_tuple(12.0f, 0.4f));
    EXPECT_FLOAT_EQ(drag_target(key, near_current, 0.4f, false, kFrames, v.ux).x, near_current);
    EXPECT_FLOAT_EQ(drag_target(key, far_from_current, 0.4f, true, kFrames, v.ux).x, far_from_current);
    // The first frame, then the last, when the current one is out of reach.
    EXPECT_FLOAT_EQ(drag_target(key, 1 + 5 * v.ux, 0, true, kFrames, v.ux).x, 1);
    EXPECT_FLOAT_EQ(drag_target(key, 30 - 5 * v.ux, 0, true, kFrames, v.ux).x, 30);
    // The current frame wins over the first when both are near.
    EXPECT_FLOAT_EQ(drag_target(key, 1.5f, 0, true, FrameSpan{1, 30, 2}, v.ux).x, 2);

    apply_drag(key, t);
    EXPECT_EQ(std::tie(c->points[1].x, c->points[1].y), std::make_tuple(12.0f, 0.4f));

    HermPick handle = pick_displayed({c.get()}, 1 + c->points[0].out_dx, 0, v.ux, v.uy);
    ASSERT_EQ(handle.what, herm::kOutHandle);
    const HermXY level = drag_target(handle, 6, 0.7f, true, kFrames, v.ux);
    EXPECT_EQ(std::tie(level.x, level.y), std::make_tuple(6.0f, 0.0f));
    // A hit on the curve itself drags nothing.
    const HermXY before = HermPoint(*c, 0.3f);
    HermPick on;
    on.curve = c.get();
    on.what = herm::kOnCurve;
    on.index = 0;
    apply_drag(on, {3, 3});
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.3f).x, before.x);
}

}  // namespace
}  // namespace vellimor
