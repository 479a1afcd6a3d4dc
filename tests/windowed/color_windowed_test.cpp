// The colour area and colour panel of the designer driven with the pointer on the demo sphere's
// diffuse ramp (keys at 0, 0.55 and 1), looked at through the area's pixels.
#include "designer_session.h"
#include "editor/color_conversion.h"

namespace vellimor {
namespace {

using test::DesignerSession;

class ColorWindowed : public DesignerSession {
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

TEST_F(ColorWindowed, KeysAreEditedWithTheMouseTheSlidersAndCopies) {
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

}  // namespace
}  // namespace vellimor
