// The curve editor without a display: the list's lines of the selected surfaces, "*" marks,
// "Animate" and "Static", the selection buttons, the tools through the area; and the view and
// pointer logic: framing, picking, the tools' press actions, Alt snapping.
#include "support/test_prelude.h"

#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "support/curve_editor_scene.h"

namespace vellimor {
namespace {

const bool kWindowless = (unsetenv("DISPLAY"), true);

class CurveEditorList : public ::testing::Test {
protected:
    void SetUp() override {
        fm_init();
        ASSERT_TRUE(fm_headless());
        test::reset_curve_editor_scene(5);
        add_patch("Sphere", true, 2);
        add_patch("Flag", false, 1);
        add_patch("Ground", true, 1);
        channel_ = {kChannelLength, 0, 0};
        curve_editor_set_hooks({nullptr, nullptr, [this] { return channel_; }});
        create_curve_editor();
        CurveEditor &e = curve_editor();
        e.source = CurveListSource::kTexture;
        fm_set_button(e.texture, 1);
        fill_list();
    }
    void TearDown() override {
        scene_state().patches.clear();
        fcurve_delete_all();
    }
    void add_patch(const char *name, bool selected, int keys) {
        auto record = patch_new();
        record->name = name;
        record->is_selected = selected;
        for (int k = 1; k < keys; ++k) record->texture_keys.push_back(texture_key_new());
        scene_state().patches.push_back(std::move(record));
    }
    TextureKey &key(int p, int n) { return *std::next(scene_state().patches[p]->texture_keys.begin(), n); }
    std::vector<std::string> lines() {
        std::vector<std::string> out;
        for (int i = 1; i <= fm_get_browser_maxline(curve_editor().list); ++i)
            out.push_back(fm_get_browser_line(curve_editor().list, i));
        return out;
    }
    // A click on a list line as the browser reports it: the line toggles, then the callback.
    void click_line(int n) {
        FmObject *list = curve_editor().list;
        if (fm_isselected_browser_line(list, n)) fm_deselect_browser_line(list, n);
        else fm_select_browser_line(list, n);
        press(list);
    }
    void press(FmObject *obj) {
        ASSERT_TRUE(obj->callback);
        obj->callback(obj, obj->argument);
    }
    void select_only(std::initializer_list<int> wanted) {
        FmObject *list = curve_editor().list;
        fm_deselect_browser(list);
        for (int n : wanted) fm_select_browser_line(list, n);
    }
    void show_dynamics() { press(curve_editor().dynamics); }

    CurveListChannel channel_;
};

TEST_F(CurveEditorList, TextureLinesFollowTheChannelAndTheKeys) {
    EXPECT_EQ(lines(), (std::vector<std::string>{"Sphere-1-L", "Sphere-2-L", "Ground-1-L"}));
    // Keys are selected by default, so their lines are.
    EXPECT_TRUE(curve_editor_line_selected(1));
    key(0, 1).selected = 0;
    fill_list();
    EXPECT_TRUE(curve_editor_line_selected(1));
    EXPECT_FALSE(curve_editor_line_selected(2));
    key(0, 1).length.active = 0;  // only keys that carry the channel have a line
    fill_list();
    EXPECT_EQ(lines(), (std::vector<std::string>{"Sphere-1-L", "Ground-1-L"}));

    channel_ = {kChannelBend, 0, 0};
    fill_list();
    EXPECT_EQ(lines()[0], "Sphere-1-B");
    EXPECT_EQ(curve_editor().entries[0].type, 3);

    // Colour: the key of the current type and index, when the key carries it.
    channel_ = {kChannelColor, kColorSpecular, 0};
    key(2, 0).color_active[kColorSpecular] = 0;
    fill_list();
    EXPECT_EQ(lines(), (std::vector<std::string>{"Sphere-1-s", "Sphere-2-s"}));
    EXPECT_EQ(curve_editor().entries[0].type, 4);
    EXPECT_EQ(curve_editor().entries[0].used_components, 3);
    channel_ = {kChannelColor, kColorDiffuse, 1};  // diffuse has two main keys
    fill_list();
    EXPECT_EQ(lines()[0], "Sphere-1-d");
    channel_ = {kChannelColor, kColorAmbient, 1};  // ambient has one
    fill_list();
    EXPECT_TRUE(lines().empty());
}

TEST_F(CurveEditorList, AnimateMarksTheLineAndSetsUpTheCurve) {
    key(0, 0).length.value = 0.7f;
    key(0, 0).length.random = 0.2f;
    select_only({1});
    press(curve_editor().animate);
    EXPECT_EQ(lines()[0], "*Sphere-1-L");
    EXPECT_EQ(lines()[1], "Sphere-2-L");  // its key is selected, but its line was not chosen
    const int id = key(0, 0).length.fcurve_id;
    FCurve *f = fcurve_find(id);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->nb_curves, 2);
    // At the scene's first frame; texture key groups get no limits.
    EXPECT_EQ(std::tie(f->limits[0].curve->points[0].x, f->limits[0].curve->points[0].y, f->limits[1].curve->points[0].y,
                       f->limits[0].curve->limit_flags), std::make_tuple(1.0f, 0.7f, 0.2f, 0u));
    press(curve_editor().animate);
    EXPECT_EQ(key(0, 0).length.fcurve_id, id);
    EXPECT_EQ(fcurve_count(), 1);

    // Patch-level groups: used components and limits.
    show_dynamics();
    select_only({3, 9});  // Sphere-w_color, Sphere-w_acc
    press(curve_editor().animate);
    EXPECT_EQ(lines()[2], "*Sphere-w_color");
    EXPECT_EQ(lines()[8], "*Sphere-w_acc");
    PatchData &sphere = *scene_state().patches[0];
    FCurve *color = fcurve_find(sphere.wind_color.fcurve_id);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(std::tie(color->use[0], color->use[3], color->limits[0].has_max, color->limits[2].max),
              std::make_tuple(1, 0, int16_t(1), 1.0f));
    FCurve *acc = fcurve_find(sphere.wind_acceleration.fcurve_id);
    ASSERT_NE(acc, nullptr);
    EXPECT_EQ(std::tie(acc->limits[0].has_min, acc->limits[0].has_max, acc->limits[1].has_max),
              std::make_tuple(int16_t(1), int16_t(0), int16_t(1)));
    EXPECT_EQ(std::tie(acc->limits[1].curve->color[0], acc->limits[1].curve->color[2]), std::make_tuple(1.0f, 1.0f));
    // Shown: the used components of the selected lines.
    EXPECT_EQ(curve_editor_displayed().size(), 3u + 2u);
}

TEST_F(CurveEditorList, LinesSelectKeysAndTheButtonsSelectLines) {
    click_line(2);
    EXPECT_EQ(key(0, 1).selected, 0);
    EXPECT_FALSE(curve_editor_line_selected(2));
    click_line(2);
    EXPECT_EQ(key(0, 1).selected, 1);

    press(curve_editor().none);
    EXPECT_EQ(std::tie(key(0, 0).selected, key(2, 0).selected), std::make_tuple(0, 0));
    for (int n = 1; n <= 3; ++n) EXPECT_FALSE(curve_editor_line_selected(n));
    click_line(3);
    press(curve_editor().invert);
    EXPECT_EQ(std::tie(key(0, 0).selected, key(2, 0).selected), std::make_tuple(1, 0));
    EXPECT_FALSE(curve_editor_line_selected(3));
    press(curve_editor().all);
    EXPECT_EQ(key(2, 0).selected, 1);
    press(curve_editor().del);
    EXPECT_EQ(lines().size(), 3u);
    EXPECT_TRUE(curve_editor_line_selected(3));

    // Only the selected keys' curves are shown.
    select_only({1, 2, 3});
    press(curve_editor().animate);
    EXPECT_EQ(curve_editor_displayed().size(), 6u);
    click_line(1);
    EXPECT_EQ(curve_editor_displayed().size(), 4u);
}

// The area's press and motion with the view the first draw would give.
class CurveEditorArea : public CurveEditorList {
protected:
    void SetUp() override {
        CurveEditorList::SetUp();
        select_only({1});
        press(curve_editor().animate);
        curve = fcurve_find(key(0, 0).length.fcurve_id)->limits[0].curve.get();
        HermInsertPoint(*curve, 1, 20, 1.0f);
        CurveEditor &e = curve_editor();
        e.view.x0 = 1, e.view.x1 = 30, e.view.y0 = 0, e.view.y1 = 1;
        derive_view(e.view, static_cast<int>(e.area->w), static_cast<int>(e.area->h), {1, 30, 5});
    }
    // Form position of a data point of the area.
    float fx(float x) { return curve_editor().area->x + view_pixel_x(curve_editor().view, x); }
    float fy(float y) { return curve_editor().area->y + view_pixel_y(curve_editor().view, y); }
    void push(float x, float y) { curve_area_handle(curve_editor().area, FM_PUSH, fx(x), fy(y), 1); }
    void drag_to(float x, float y) { curve_area_handle(curve_editor().area, FM_MOUSE, fx(x), fy(y), 0); }
    void release() { curve_area_handle(curve_editor().area, FM_RELEASE, 0, 0, 1); }
    void choose_tool(CurveTool tool) {
        FmObject *b = curve_editor().tools[static_cast<int>(tool)];
        fm_set_button(b, 1);
        press(b);
    }

    Herm *curve = nullptr;
};

TEST_F(CurveEditorArea, DraggingAKeyShowsItInTheFields) {
    push(20, 1);
    drag_to(25, 0.5f);
    release();
    EXPECT_NEAR(curve->points[1].x, 25, 0.05);
    EXPECT_NEAR(curve->points[1].y, 0.5, 0.01);
    EXPECT_STREQ(fm_get_input(curve_editor().frame_field), "25");
    EXPECT_EQ(std::string(fm_get_input(curve_editor().value_field)).substr(0, 4), "0.50");

    // Typing into the fields moves the same key.
    fm_set_input(curve_editor().frame_field, "17");
    fm_set_input(curve_editor().value_field, "0.25");
    press(curve_editor().value_field);
    EXPECT_FLOAT_EQ(curve->points[1].x, 17);
    EXPECT_FLOAT_EQ(curve->points[1].y, 0.25f);
    EXPECT_STREQ(fm_get_input(curve_editor().value_field), "0.25");

    // A list change forgets the key: the fields move nothing.
    press(curve_editor().del);
    EXPECT_STREQ(fm_get_input(curve_editor().frame_field), "");
    fm_set_input(curve_editor().frame_field, "3");
    press(curve_editor().frame_field);
    EXPECT_FLOAT_EQ(curve->points[1].x, 17);
}

TEST_F(CurveEditorList, TheDisplayListHoldsAtMost1024Curves) {
    PatchData &sphere = *scene_state().patches[0];
    for (int k = 0; k < 520; ++k) sphere.texture_keys.push_back(texture_key_new());
    fill_list();
    press(curve_editor().all);
    press(curve_editor().animate);
    const std::vector<Herm *> shown = curve_editor_displayed();
    ASSERT_EQ(shown.size(), kMaxDisplayedCurves);
    // Ground's key comes last in the list; its random curve took the last slot.
    const FCurve *ground = fcurve_find(key(2, 0).length.fcurve_id);
    ASSERT_NE(ground, nullptr);
    EXPECT_EQ(shown.back(), ground->limits[1].curve.get());
}

constexpr FrameSpan kFrames{1, 30, 12};
constexpr int kW = 876, kH = 335;

// A curve with keys at (1, 0) and (21, 1), flat handles of 3 frames.
std::unique_ptr<Herm> two_keys() {
    auto c = HermCreate(1, 0);
    HermInsertPoint(*c, 1, 21, 1);
    return c;
}

CurveView view_over(float x0, float x1, float y0, float y1) {
    CurveView v{x0, x1, y0, y1};
    derive_view(v, kW, kH, kFrames);
    return v;
}

void expect_range(const CurveView &v, float x0, float x1, float y0, float y1) {
    const float got[] = {v.x0, v.x1, v.y0, v.y1}, wanted[] = {x0, x1, y0, y1};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(got[i], wanted[i]) << "x0, x1, y0, y1: " << i;
}

TEST(CurveEditorView, FramingCoversTheCurvesAndTheSceneRange) {
    auto inside = two_keys();
    CurveView v{.zoom = 3, .px = 4};
    frame_all(v, {inside.get()}, kFrames);
    EXPECT_EQ(v.zoom, 1);
    EXPECT_EQ(v.px, 0);
    expect_range(v, 1, 30, 0, 1);  // from the scene's first frame, raised to its last

    auto wide = HermCreate(-20, 5);
    HermInsertPoint(*wide, 1, 50, -5);
    frame_all(v, {wide.get()}, kFrames);
    expect_range(v, -20, 50, -5, 5);
    HermSetLimit(*wide, herm::kYMin, -2);  // what the limits cut off is not framed
    HermSetLimit(*wide, herm::kYMax, 3);
    frame_all(v, {wide.get()}, kFrames);
    expect_range(v, -20, 50, -2, 3);

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
    EXPECT_EQ(pick_displayed(shown, 28, 1, v.ux, v.uy).index, 2);
    EXPECT_EQ(pick_displayed(shown, 10, 0.9f, v.ux, v.uy).index, herm::kNoHit);
    // A key of a second curve is found before the first curve's line.
    auto other = HermCreate(mid.x, mid.y);
    EXPECT_EQ(picked(pick_displayed({c.get(), other.get()}, mid.x, mid.y, v.ux, v.uy)),
              std::make_tuple(other.get(), int(herm::kPoint), 0));
}

TEST(CurveEditorView, ToolsActOnTheHitPointAndInsertSplitsOrExtendsTheCurve) {
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
    r = apply_press(CurveTool::kMove, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_TRUE(r.drag);
    EXPECT_EQ(r.pick.what, herm::kPoint);
    // Delete removes the key; the last one stays.
    apply_press(CurveTool::kDelete, pick_displayed({c.get()}, 21, 1, v.ux, v.uy), 21, 1);
    ASSERT_EQ(c->nb_points(), 1);
    apply_press(CurveTool::kDelete, pick_displayed({c.get()}, 1, 0, v.ux, v.uy), 1, 0);
    EXPECT_EQ(c->nb_points(), 1);
    EXPECT_FALSE(apply_press(CurveTool::kMove, HermPick{}, 5, 5).drag);

    // Insert splits or extends the curve and drags the new key.
    c = two_keys();
    const HermXY half = HermPoint(*c, 0.5f);
    r = apply_press(CurveTool::kInsert, pick_displayed({c.get()}, half.x, half.y, v.ux, v.uy), half.x, half.y);
    ASSERT_EQ(c->nb_points(), 3);
    EXPECT_EQ(std::tie(r.drag, r.pick.what, r.pick.index), std::make_tuple(true, int(herm::kPoint), 1));
    EXPECT_NEAR(c->points[1].x, half.x, 0.5f);
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
    apply_drag(HermPick{c.get(), herm::kOnCurve, 0}, {3, 3});
    EXPECT_FLOAT_EQ(HermPoint(*c, 0.3f).x, before.x);
}

}  // namespace
}  // namespace vellimor
