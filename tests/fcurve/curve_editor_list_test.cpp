// The curve editor's list and its buttons without a display: the lines of the selected surfaces,
// "*" marks, "Animate" and "Static", the selection buttons, and the tools through the area.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

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
    // Animating again changes nothing.
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
        e.view.x0 = 1;
        e.view.x1 = 30;
        e.view.y0 = 0;
        e.view.y1 = 1;
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

}  // namespace
}  // namespace vellimor
