// The KeyMap and colour areas of the designer driven with the pointer and keys on the demo scene,
// looked at through their pixels: colour keys selected, added, dragged, deleted and copied; keys
// placed, added, moved, deleted, flipped, shaped and zoomed.
#include "designer_session.h"
#include "editor/color_conversion.h"
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
    // The screen point at position p along the hair in the colour area.
    test::ScreenPoint at(float p) { return object_screen(main->color_area, 0.5f, p); }
    const MainColorKey *keys_of(PatchData &r) { return r.main_color_keys[kColorDiffuse]; }
    int count(PatchData &r) { return r.nbColorKeys[kColorDiffuse]; }
    // The key bar of main key k: bright red when selected, dark red otherwise.
    test::Rgb bar(PatchData &r, int k) {
        const FmObject *a = main->color_area;
        const float y = std::min(keys_of(r)[k].where, 0.985f) * a->h + 2.0f;
        return object_pixel(a, 0.5f, y / a->h);
    }
};

// One session on the demo's sphere: its colour ramp edited, the view zoomed about the pointer, fur
// painted and rendered, then its keys placed, added, moved, deleted, shaped and toggled from a new
// record.
TEST_F(KeyMapWindowed, ColoursZoomPaintAndKeysWithTheMouse) {
    {  // The colour area and panel on the sphere's diffuse ramp (keys at 0, 0.55 and 1).
        select_only({"Sphere"});
        PatchData &r = record("Sphere");
        r.texture_keys.front().selected = 1;  // the area shows the first key's ramp
        redraw_color_area();
        pump_for(100);
        ASSERT_EQ(count(r), 3);
        int &selected = editor_state().current_color_key[kColorDiffuse];

        // Within 0.05 of a key a click selects it instead of adding one.
        click(at(0.52f));
        ASSERT_TRUE(pump_until([&] { return selected == 1; }));
        EXPECT_EQ(count(r), 3);
        EXPECT_FLOAT_EQ(keys_of(r)[1].where, 0.55f);  // a click does not move the key
        pump_for(100);
        EXPECT_GT(bar(r, 1).r, 200);
        EXPECT_LT(bar(r, 0).r, 160);

        // Elsewhere it adds a key there, which becomes the selected one.
        click(at(0.3f));
        ASSERT_TRUE(pump_until([&] { return count(r) == 4; }));
        EXPECT_EQ(selected, 1);
        EXPECT_NEAR(keys_of(r)[1].where, 0.3f, 2.0f / main->color_area->h);
        pump_for(100);
        EXPECT_GT(bar(r, 1).r, 200);

        // The first and the last key do not move; a middle key moves between its neighbours.
        const test::ScreenPoint root = at(0.0f), tip = at(0.999f), middle = at(0.3f);
        drag(root, {root.x, at(0.2f).y});
        drag(tip, {tip.x, at(0.8f).y});
        drag(middle, {middle.x, at(0.4f).y});
        ASSERT_TRUE(pump_until([&] { return std::fabs(keys_of(r)[1].where - 0.4f) < 0.01f; }));
        EXPECT_EQ(keys_of(r)[0].where, 0.0f);
        EXPECT_EQ(keys_of(r)[3].where, 1.0f);
        const test::ScreenPoint past = at(0.7f);  // beyond the next key at 0.55: the key stops
        drag(at(0.4f), past);
        pump_for(200);
        EXPECT_LT(keys_of(r)[1].where, 0.55f);

        // Holding the middle button while moving over keys deletes only the first key pressed.
        const float first = keys_of(r)[1].where;
        drag(at(first), at(0.55f), 2);
        ASSERT_TRUE(pump_until([&] { return count(r) == 3; }));
        pump_for(200);
        EXPECT_EQ(count(r), 3);
        EXPECT_NEAR(keys_of(r)[1].where, 0.55f, 1e-6f);

        // The sliders convert between RGB and HLS and write the selected key.
        editor_state().current_color_key[kColorDiffuse] = 1;
        redraw_color_area();
        pump_for(100);
        enter(main->red_field, "0.2");
        ASSERT_TRUE(pump_until([&] { return std::fabs(r.texture_keys.front().color_keys[0][1].R - 0.2f) < 1e-4f; }));
        const Hls hls = rgb_to_hls({0.2f, pair_get(main->green), pair_get(main->blue)});
        EXPECT_NEAR(pair_get(main->hue), hls.h, 1e-4f);
        EXPECT_NEAR(pair_get(main->lightness), hls.l, 1e-4f);
        EXPECT_NEAR(pair_get(main->saturation), hls.s, 1e-4f);

        // HLS moved back to the values it shows gives the same RGB again.
        const float green = pair_get(main->green), blue = pair_get(main->blue);
        enter(main->lightness_field, pair_format(pair_get(main->lightness), 4));
        pump_for(300);
        EXPECT_NEAR(pair_get(main->red), 0.2f, 0.01f);
        EXPECT_NEAR(pair_get(main->green), green, 0.01f);
        EXPECT_NEAR(pair_get(main->blue), blue, 0.01f);

        // "C" then "P" onto a surface without a selected key changes nothing there.
        PatchData &sphere = r, &ground = record("Ground");
        for (TextureKey &k : ground.texture_keys) k.selected = 0;
        const int ground_keys = ground.nbColorKeys[kColorDiffuse];
        const float ground_root = ground.texture_keys.front().color_keys[kColorDiffuse][0].R;
        click(object_screen(main->copy_color));
        pump_for(150);
        select_only({"Ground"});
        click(object_screen(main->paste_color));
        pump_for(200);
        EXPECT_EQ(ground.nbColorKeys[kColorDiffuse], ground_keys);
        EXPECT_EQ(ground.texture_keys.front().color_keys[kColorDiffuse][0].R, ground_root);

        // With a selected key the ramp arrives.
        ground.texture_keys.front().selected = 1;
        click(object_screen(main->paste_color));
        ASSERT_TRUE(pump_until([&] { return ground.nbColorKeys[kColorDiffuse] == sphere.nbColorKeys[kColorDiffuse]; }));
        EXPECT_EQ(ground.texture_keys.front().color_keys[kColorDiffuse][0].R,
                  sphere.texture_keys.front().color_keys[kColorDiffuse][0].R);
    }
    {  // Zooming keeps the point under the pointer; key A resets the view.
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
    {  // Fur painted on the sphere shows in the saved batch render.
        ASSERT_EQ(write_fur_data(1), 0);  // the colour edits above are in both renders
        const auto before = pic_read_file(batch_frame(database, "before", 160, 120));
        ASSERT_TRUE(before);
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
        // The picture of the painted keys that docs/designer.md shows (scripts/designer-images.sh).
        const std::filesystem::path artefacts = std::filesystem::path(test::build_dir()) / "artefacts";
        std::filesystem::create_directories(artefacts);
        EXPECT_TRUE(driver.save_png(window(), (artefacts / "keymap-painted-sphere.png").string()));
        ASSERT_EQ(write_fur_data(1), 0);

        const auto after = pic_read_file(batch_frame(database, "after", 160, 120));
        ASSERT_TRUE(after);
        ASSERT_EQ(after->pixel_count(), before->pixel_count());
        size_t differing = 0;
        for (size_t i = 0; i < before->pixel_count(); ++i)
            differing += before->red()[i] != after->red()[i] || before->green()[i] != after->green()[i];
        EXPECT_GT(differing, before->pixel_count() / 50) << "the painted fur shows in the render";
        for (int row : {0, 2, 3, 7}) click(object_screen(main->channel_add[size_t(row)]));  // "A" as it was
    }
    // The sphere starts over from a new record.
    const int sphere = patch_index("Sphere");
    ASSERT_GE(sphere, 0);
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

}  // namespace
}  // namespace vellimor
