// The function curve editor on Xvfb: keys dragged with the pointer (Alt held: onto the current
// frame), the tools through their buttons, and what the area shows.
#include "support/test_prelude.h"

#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "support/curve_editor_scene.h"
#include "support/paths.h"

#include "support/windowed.h"

namespace vellimor {
namespace {

using test::pump_for;
using test::pump_until;

constexpr int kCurrentFrame = 12;
constexpr uint8_t kContinKey[3] = {34, 34, 187};

class CurveEditorWindowed : public ::testing::Test {
protected:
    void SetUp() override {
        fm_init();
        ASSERT_FALSE(fm_headless()) << "no X display";
        ASSERT_TRUE(driver.ok());
        SceneState &s = test::reset_curve_editor_scene(kCurrentFrame);
        auto record = patch_new();
        record->name = "Sphere";
        record->is_selected = 1;
        record->texture_keys.front().length.value = 0.2f;
        s.patches.push_back(std::move(record));

        curve_editor_set_hooks({});
        CurveEditor &e = curve_editor();
        create_curve_editor();
        e.source = CurveListSource::kTexture;
        fill_list();
        fm_select_browser_line(e.list, 1);
        e.animate->callback(e.animate, 0);
        curve = fcurve_find(s.patches[0]->texture_keys.front().length.fcurve_id)->limits[0].curve.get();
        HermInsertPoint(*curve, 1, 20, 0.8f);
        fm_set_form_position(e.form, 20, 20);
        curve_editor_show();
        ASSERT_TRUE(pump_until([&] { return e.form->window > 0 && driver.window_viewable(test::native_window(e.form)); }));
        ASSERT_TRUE(pump_until([&] { return e.initialised; }));
        pump_for(200);
    }
    void TearDown() override {
        curve_editor_hide();
        pump_for(50);
        scene_state().patches.clear();
        fcurve_delete_all();
    }
    // Screen and window positions of a data point of the curve area.
    test::ScreenPoint on_screen(float x, float y) {
        const CurveEditor &e = curve_editor();
        return test::on_screen(driver, e.form, e.area->x + view_pixel_x(e.view, x), e.area->y + view_pixel_y(e.view, y));
    }
    test::ScreenPoint window_pixel(float x, float y) {
        const CurveEditor &e = curve_editor();
        return test::window_pixel(e.form, e.area->x + view_pixel_x(e.view, x), e.area->y + view_pixel_y(e.view, y));
    }
    bool key_colour_at(const test::Snapshot &image, test::ScreenPoint p) {
        const test::Rgb c = image.at(p.x, p.y);
        return std::abs(c.r - kContinKey[0]) < 8 && std::abs(c.g - kContinKey[1]) < 8 && std::abs(c.b - kContinKey[2]) < 8;
    }

    test::XDriver driver;
    Herm *curve = nullptr;
};

// One editor session: the view panned and framed again, keys dragged (Alt held: onto the current
// frame), a tool used once; what the area shows after each.
TEST_F(CurveEditorWindowed, PanDragAndToolsOnTheCurve) {
    CurveEditor &e = curve_editor();
    const unsigned long window = test::native_window(e.form);
    const test::ScreenPoint middle = on_screen(8, 0.5f);
    // A click first gives the area the keyboard; Z with the left button pans.
    driver.click(middle.x, middle.y);
    pump_for(100);
    driver.key_down("z");
    pump_for(100);
    driver.drag(middle.x, middle.y, middle.x + 120, middle.y + 40);
    const bool panned = pump_until([&] { return e.view.px > 0.5f; });
    driver.key_up("z");
    pump_for(100);
    ASSERT_TRUE(panned) << e.view.px;
    // The data follow the pointer: right, and down.
    EXPECT_NEAR(e.view.px, 120 * e.view.ux, 2 * e.view.ux);
    EXPECT_LT(e.view.py, 0.0f);
    EXPECT_EQ(curve->points[0].x, 1.0f);  // no key was dragged
    EXPECT_EQ(curve->points[1].x, 20.0f);
    // The key is drawn where the moved view puts it.
    pump_for(200);
    EXPECT_TRUE(key_colour_at(driver.grab(window), window_pixel(20, 0.8f)));

    driver.type("a");
    ASSERT_TRUE(pump_until([&] { return e.view.px == 0.0f && e.view.py == 0.0f; }));
    EXPECT_FLOAT_EQ(e.view.x0, 1);
    EXPECT_FLOAT_EQ(e.view.x1, 30);

    // Alt held: a key dragged near the current frame snaps onto it.
    test::Snapshot before = driver.grab(window);
    ASSERT_GT(before.width(), 0);
    EXPECT_TRUE(key_colour_at(before, window_pixel(20, 0.8f)));
    EXPECT_FALSE(key_colour_at(before, window_pixel(kCurrentFrame, 0.8f)));

    const test::ScreenPoint from = on_screen(20, 0.8f);
    // Eight pixels right of the current frame: near enough to snap.
    const test::ScreenPoint to = on_screen(kCurrentFrame + 8 * e.view.ux, 0.8f);
    driver.key_down("Alt_L");
    driver.move(from.x, from.y);
    driver.press(1);
    pump_for(100);
    ASSERT_EQ(e.gesture, CurveGesture::kDrag);
    for (int i = 1; i <= 6; ++i) {
        driver.move(from.x + (to.x - from.x) * i / 6, to.y);
        pump_for(30);
    }
    EXPECT_TRUE(pump_until([&] { return curve->points[1].x == kCurrentFrame; }));
    driver.release(1);
    pump_for(100);
    driver.key_up("Alt_L");
    EXPECT_EQ(curve->points[1].x, static_cast<float>(kCurrentFrame));
    EXPECT_NEAR(curve->points[1].y, 0.8f, 3 * e.view.uy);
    EXPECT_STREQ(fm_get_input(e.frame_field), "12");

    pump_for(200);
    test::Snapshot after = driver.grab(window);
    EXPECT_TRUE(key_colour_at(after, window_pixel(kCurrentFrame, curve->points[1].y)));
    EXPECT_FALSE(key_colour_at(after, window_pixel(20, 0.8f)));

    // Without Alt the same drag leaves the key where the pointer lets go of it.
    const test::ScreenPoint again = on_screen(kCurrentFrame, curve->points[1].y);
    driver.drag(again.x, again.y, to.x, to.y);
    EXPECT_TRUE(pump_until([&] { return curve->points[1].x > kCurrentFrame + 4 * e.view.ux; }));

    // A tool button acts once, then "Move" is back.
    FmObject *del = e.tools[static_cast<int>(CurveTool::kDelete)];
    const test::ScreenPoint button = test::on_screen(driver, del);
    driver.click(button.x, button.y);
    ASSERT_TRUE(pump_until([&] { return e.tool == CurveTool::kDelete; }));
    const float key_x = curve->points[1].x, key_y = curve->points[1].y;
    const test::ScreenPoint key = on_screen(key_x, key_y);
    driver.click(key.x, key.y);
    ASSERT_TRUE(pump_until([&] { return curve->nb_points() == 1; }));
    EXPECT_EQ(e.tool, CurveTool::kMove);
    EXPECT_EQ(fm_get_button(e.tools[static_cast<int>(CurveTool::kMove)]), 1);
    pump_for(200);
    EXPECT_FALSE(key_colour_at(driver.grab(window), window_pixel(key_x, key_y)));
}

}  // namespace
}  // namespace vellimor
