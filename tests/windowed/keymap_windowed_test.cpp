// The KeyMap area of the designer driven with the pointer and keys on the demo scene, looked at
// through its pixels: placing the first key, adding, moving, deleting, flipping and zooming.
#include "designer_session.h"
#include "editor/keymap_keys.h"

#include "furdata/fur_data.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

using test::DesignerSession;

// The sphere starts over from a new record, as the object browser's Shift-click gives it.
void reset_surface(int p) {
    auto fresh = patch_new();
    fresh->name = scene_state().patches[size_t(p)]->name;
    fresh->is_selected = 1;
    scene_state().patches[size_t(p)] = std::move(fresh);
    patch_geometry(p);
}

bool near(float a, float b, float tolerance) { return std::fabs(a - b) <= tolerance; }

class KeyMapWindowed : public DesignerSession {
protected:
    void SetUp() override {
        DesignerSession::SetUp();
        open();
    }
};

TEST_F(KeyMapWindowed, KeysArePlacedAddedMovedDeletedShapedAndToggledWithTheMouse) {
    const int sphere = patch_index("Sphere");
    ASSERT_GE(sphere, 0);
    select_only({"Sphere"});
    reset_surface(sphere);
    selection_sync(1);
    pump_for(100);
    PatchData &r = record("Sphere");
    const float pixel = 1.5f / main->keymap_area->w;

    // The first click places the new record's default key.
    click(map_screen(0.3f, 0.6f));
    ASSERT_TRUE(pump_until([&] { return r.texture_keys.front().u >= 0.0f; }));
    EXPECT_EQ(r.texture_keys.size(), 1u);
    EXPECT_TRUE(near(r.texture_keys.front().u, 0.3f, pixel));
    EXPECT_TRUE(near(r.texture_keys.front().v, 0.6f, pixel));
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.3f, 0.6f)));

    // A second click adds a key carrying the "A" channels (length only by default).
    ASSERT_TRUE(fm_get_button(main->channel_add[1]));
    click(map_screen(0.7f, 0.3f));
    ASSERT_TRUE(pump_until([&] { return r.texture_keys.size() == 2; }));
    const TextureKey &added = r.texture_keys.back();
    EXPECT_TRUE(added.length.active);
    EXPECT_FALSE(added.curl.active);
    EXPECT_FALSE(added.color_active[kColorDiffuse]);
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.7f, 0.3f)));
    EXPECT_TRUE(yellow(map_pixel(0.3f, 0.6f)));

    // M and the left button drag it.
    hold("m");
    const test::ScreenPoint from = map_screen(0.7f, 0.3f), to = map_screen(0.55f, 0.2f);
    drag(from, to);
    let_go("m");
    ASSERT_TRUE(pump_until([&] { return near(r.texture_keys.back().u, 0.55f, pixel); }));
    EXPECT_TRUE(near(r.texture_keys.back().v, 0.2f, pixel));
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.55f, 0.2f)));
    EXPECT_FALSE(red(map_pixel(0.7f, 0.3f)));

    // Delete removes the key's channels, so the key goes; the last key of a channel stays.
    hold("Delete");
    click(map_screen(0.55f, 0.2f));
    ASSERT_TRUE(pump_until([&] { return r.texture_keys.size() == 1; }));
    click(map_screen(0.3f, 0.6f));
    pump_for(150);
    let_go("Delete");
    ASSERT_EQ(r.texture_keys.size(), 1u);
    EXPECT_TRUE(r.texture_keys.front().length.active);
    EXPECT_FALSE(red(map_pixel(0.55f, 0.2f)) || yellow(map_pixel(0.55f, 0.2f)));
    EXPECT_TRUE(red(map_pixel(0.3f, 0.6f)));

    // "Flip U" twice restores the key.
    const float placed_u = r.texture_keys.front().u;
    click(object_screen(main->flip_u));
    ASSERT_TRUE(pump_until([&] { return near(r.texture_keys.front().u, 0.7f, pixel); }));
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.7f, 0.6f)));
    EXPECT_FALSE(red(map_pixel(0.3f, 0.6f)));
    click(object_screen(main->flip_u));
    ASSERT_TRUE(pump_until([&] { return near(r.texture_keys.front().u, placed_u, 1e-6f); }));
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.3f, 0.6f)));

    // Letters held with the buttons shape, box-select and toggle keys.
    click(map_screen(0.6f, 0.6f));
    ASSERT_TRUE(pump_until([&] { return r.texture_keys.size() == 2; }));
    TextureKey &first = r.texture_keys.front(), &second = r.texture_keys.back();

    // R: the key under the pointer becomes a circle whose radius follows the drag.
    hold("r");
    drag(map_screen(0.6f, 0.6f), map_screen(0.75f, 0.6f));
    let_go("r");
    ASSERT_TRUE(pump_until([&] { return second.key_mode == kShapeCircle; }));
    EXPECT_NEAR(second.w, 0.15f, 2 * pixel);
    EXPECT_FALSE(first.selected);
    pump_for(100);
    EXPECT_TRUE(red(map_pixel(0.6f + second.w, 0.6f)));  // the circle is drawn

    // V with the right button: a directed key turned towards the pointer.
    hold("v");
    drag(map_screen(0.6f, 0.6f), map_screen(0.6f, 0.4f), 3);
    let_go("v");
    ASSERT_TRUE(pump_until([&] { return second.key_mode == kShapeDirected; }));
    EXPECT_NEAR(second.ang, -1.5707964f, 0.05f);

    // T: a rubber band selects the visible keys inside it; S toggles the key under the pointer.
    hold("t");
    drag(map_screen(0.1f, 0.1f), map_screen(0.9f, 0.9f));
    let_go("t");
    ASSERT_TRUE(pump_until([&] { return first.selected && second.selected; }));
    hold("s");
    click(map_screen(0.3f, 0.6f));
    let_go("s");
    ASSERT_TRUE(pump_until([&] { return !first.selected; }));
    EXPECT_TRUE(second.selected);
    pump_for(100);
    EXPECT_TRUE(yellow(map_pixel(0.3f, 0.6f)));
}

TEST_F(KeyMapWindowed, ZoomingKeepsThePointUnderThePointerAndKeyAResets) {
    select_only({"Sphere"});
    const FmObject *area = main->keymap_area;
    const float px = area->x + 0.3f * area->w, py = area->y + 0.7f * area->h;
    const test::ScreenPoint p = test::on_screen(driver, main->form, px, py);
    const MapPoint before = keymap_view().to_map(px - area->x, py - area->y, area->w, area->h);

    hold("z");
    driver.move(p.x, p.y);
    pump_for(30);
    driver.press(2);
    pump_for(30);
    for (int i = 0; i < 10; ++i) {  // every motion event zooms one step about the pointer
        driver.move(p.x + 1, p.y);
        pump_for(15);
        driver.move(p.x, p.y);
        pump_for(15);
    }
    driver.release(2);
    pump_for(30);
    let_go("z");
    ASSERT_TRUE(pump_until([&] { return keymap_view().su > 1.5f; }));
    pump_for(100);
    const MapPoint after = keymap_view().to_map(px - area->x, py - area->y, area->w, area->h);
    EXPECT_NEAR(after.u, before.u, 0.5f / area->w);
    EXPECT_NEAR(after.v, before.v, 0.5f / area->h);
    EXPECT_LE(keymap_view().su, std::pow(1.0f / 0.95f, 20.0f) * 1.001f);

    // The demo's first key (0.25, 0.5) is drawn where the zoomed view puts it.
    EXPECT_TRUE(yellow(map_pixel(0.25f, 0.5f)) || red(map_pixel(0.25f, 0.5f)));

    driver.type("a");
    ASSERT_TRUE(pump_until([&] { return keymap_view().su == 1.0f; }));
    EXPECT_EQ(keymap_view().ou, 0.0f);
}

TEST_F(KeyMapWindowed, FurPaintedOnTheSphereShowsInTheSavedBatchRender) {
    const auto before = pic_read_file(batch_frame(database, "before", 160, 120));
    ASSERT_TRUE(before);
    select_only({"Sphere"});
    PatchData &r = record("Sphere");

    // A longer coat: M picks the coat's first key, the length field sets it on that key only.
    const TextureKey &first = r.texture_keys.front();  // at (0.25, 0.5)
    hold("m");
    click(map_screen(first.u, first.v));
    let_go("m");
    ASSERT_TRUE(pump_until([&] { return first.selected != 0; }));
    EXPECT_TRUE(red(map_pixel(first.u, first.v)));
    const float old_length = first.length.value;
    enter(main->length_field, "0.9");
    ASSERT_TRUE(pump_until([&] { return first.length.value == 0.9f; }));
    for (auto it = std::next(r.texture_keys.begin()); it != r.texture_keys.end(); ++it)
        EXPECT_EQ(it->selected, 0);
    EXPECT_NE(old_length, 0.9f);

    // A new key carrying wave, direction, density and colour besides length.
    for (int row : {0, 2, 3, 7}) click(object_screen(main->channel_add[size_t(row)]));
    pump_until([&] { return fm_get_button(main->channel_add[7]) != 0; });
    const size_t keys_before = r.texture_keys.size();
    click(map_screen(0.6f, 0.65f));
    ASSERT_TRUE(pump_until([&] { return r.texture_keys.size() == keys_before + 1; }));
    const TextureKey &painted = r.texture_keys.back();
    EXPECT_TRUE(painted.length.active && painted.curl.active && painted.grow.active &&
                painted.density.active && painted.color_active[kColorDiffuse]);
    EXPECT_FALSE(painted.bend.active || painted.segments.active || painted.gravity.active);
    enter(main->wave_field, "0.8");
    ASSERT_TRUE(pump_until([&] { return painted.curl.value == 0.8f; }));
    enter(main->density_field, "1");
    ASSERT_TRUE(pump_until([&] { return painted.density.value == 1.0f; }));
    click(object_screen(main->direction, 0.9f, 0.9f));
    ASSERT_TRUE(pump_until([&] { return painted.grow.valueU > 0.5f && painted.grow.valueV > 0.5f; }));

    // A colour ramp key at a third of the hair, made red on the painted key.
    click(object_screen(main->color_area, 0.5f, 0.3f));
    ASSERT_TRUE(pump_until([&] { return r.nbColorKeys[kColorDiffuse] == 4; }));
    enter(main->red_field, "0.95");
    enter(main->green_field, "0.1");
    enter(main->blue_field, "0.1");
    ASSERT_TRUE(pump_until([&] { return painted.color_keys[kColorDiffuse][1].B == 0.1f; }));
    EXPECT_EQ(painted.color_keys[kColorDiffuse][1].R, 0.95f);
    EXPECT_NE(first.color_keys[kColorDiffuse][1].R, 0.95f);
    pump_for(200);
    ASSERT_EQ(write_fur_data(1), 0);

    const auto after = pic_read_file(batch_frame(database, "after", 160, 120));
    ASSERT_TRUE(after);
    ASSERT_EQ(after->pixel_count(), before->pixel_count());
    size_t differing = 0;
    for (size_t i = 0; i < before->pixel_count(); ++i)
        differing += before->red()[i] != after->red()[i] || before->green()[i] != after->green()[i];
    EXPECT_GT(differing, before->pixel_count() / 50) << "the painted fur shows in the render";
}

}  // namespace
}  // namespace vellimor
