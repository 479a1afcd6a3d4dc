// The KeyMap's rules on one record: the view, which keys are shown and picked, adding, removing,
// applying channels, flipping, slider values, pictures and copies of whole records.
#include "support/test_prelude.h"

#include "editor/keymap_keys.h"
#include "editor/keymap_object_copy.h"
#include "editor/keymap_pictures.h"
#include "hair/channel_maps.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

constexpr int kAllShown[kChannelCount] = {1, 1, 1, 1, 1, 1, 1, 1};
constexpr int kNoneShown[kChannelCount] = {};

TextureKey key_at(float u, float v, std::initializer_list<int> channels) {
    TextureKey key = texture_key_new();
    key.u = u;
    key.v = v;
    for (int t = 0; t < kColorTypes; ++t) key.color_active[t] = 0;
    for (int c = kChannelLength; c <= kChannelDensity; ++c) key_channel_fields(key, c).active = 0;
    for (int c : channels) {
        if (c == kChannelColor) key.color_active[kColorDiffuse] = 1;
        else key_channel_fields(key, c).active = 1;
    }
    key.selected = 0;
    return key;
}

// A record whose keys are the given ones (the default key is dropped).
std::unique_ptr<PatchData> record_with(std::initializer_list<TextureKey> keys) {
    auto record = patch_new();
    record->texture_keys.assign(keys);
    return record;
}

void build_maps(PatchData &record) {
    for (int c = kChannelLength; c <= kChannelDensity; ++c) {
        RecordChannelMap m = record_channel_map(record, c);
        m.map_a.assign(size_t(m.res) * m.res, 0.0f);
        if (m.map_b) m.map_b->assign(size_t(m.res) * m.res, 0.0f);
        build_value_map(record, m.map_a.data(), m.map_b ? m.map_b->data() : nullptr, m.res, c);
    }
    for (int t = 0; t < kColorTypes; ++t)
        for (int k = 0; k < record.nbColorKeys[t]; ++k) build_color_map(record, k, t);
}

TEST(KeyMapView, PixelsAndMapPointsAreInverseAndZoomKeepsThePointUnderThePointer) {
    KeyMapView view;
    view.ou = 0.1f;
    view.ov = -0.2f;
    view.su = 2.0f;
    view.sv = 1.5f;
    const MapPoint p = view.to_map(57.0f, 120.0f, 228.0f, 228.0f);
    float px = 0, py = 0;
    view.to_pixel(p.u, p.v, 228.0f, 228.0f, &px, &py);
    EXPECT_NEAR(px, 57.0f, 1e-3f);
    EXPECT_NEAR(py, 120.0f, 1e-3f);
    float u0, u1, v0, v1;
    view.visible_range(&u0, &u1, &v0, &v1);
    EXPECT_FLOAT_EQ(u0, -0.05f);
    EXPECT_FLOAT_EQ(u1, 0.45f);
    EXPECT_NEAR(view.pick_radius(), 0.015f, 1e-7f);

    // Zoom keeps the point under the pointer.
    view.reset();
    const MapPoint before = view.to_map(50.0f, 170.0f, 228.0f, 228.0f);
    for (int i = 0; i < 20; ++i) view.zoom(true, 50.0f, 170.0f, 228.0f, 228.0f);
    EXPECT_NEAR(view.su, std::pow(1.0f / 0.95f, 20.0f), 1e-3f);
    MapPoint after = view.to_map(50.0f, 170.0f, 228.0f, 228.0f);
    EXPECT_NEAR(after.u, before.u, 1e-5f);
    EXPECT_NEAR(after.v, before.v, 1e-5f);
    for (int i = 0; i < 7; ++i) view.zoom(false, 10.0f, 10.0f, 228.0f, 228.0f);
    const MapPoint corner = view.to_map(10.0f, 10.0f, 228.0f, 228.0f);
    view.zoom(false, 10.0f, 10.0f, 228.0f, 228.0f);
    after = view.to_map(10.0f, 10.0f, 228.0f, 228.0f);
    EXPECT_NEAR(after.u, corner.u, 1e-5f);
    view.pan(22.8f, -45.6f, 228.0f, 228.0f);
    EXPECT_NEAR(view.to_map(32.8f, -35.6f, 228.0f, 228.0f).u, after.u, 1e-5f);
    view.reset();
    EXPECT_EQ(view.su, 1.0f);
    EXPECT_EQ(view.ou, 0.0f);
}

TEST(KeyMapKeys, OnlyKeysOfShownChannelsAreVisibleLabelledAndPicked) {
    auto record = record_with({key_at(0.2f, 0.2f, {kChannelLength}),
                               key_at(0.5f, 0.5f, {kChannelColor, kChannelSegments}),
                               key_at(0.8f, 0.8f, {kChannelLength, kChannelCurl})});
    record->texture_keys.back().color_active[kColorThickness] = 1;
    ChannelView view{kChannelLength, kNoneShown};
    update_key_visibility(*record, view);
    auto it = record->texture_keys.begin();
    EXPECT_TRUE(it->visible);
    EXPECT_FALSE(std::next(it)->visible);
    EXPECT_EQ(key_label(*std::next(it, 2), 3, view), "3-L");

    ChannelView all{kChannelLength, kAllShown};
    EXPECT_EQ(key_label(*std::next(it, 2), 3, all), "3-tLW");
    EXPECT_EQ(key_label(*std::next(it), 2, all), "2-dS");

    // The length-only key disappears from view and picking when wave is chosen.
    view.current_channel = kChannelCurl;
    update_key_visibility(*record, view);
    EXPECT_EQ(pick_key(*record, {0.2f, 0.2f}, 0.03f, kPickSelect), nullptr);
    TextureKey *picked = pick_key(*record, {0.81f, 0.79f}, 0.03f, kPickSelect);
    ASSERT_NE(picked, nullptr);
    EXPECT_TRUE(picked->selected);
    pick_key(*record, {0.81f, 0.79f}, 0.03f, kPickToggle);
    EXPECT_FALSE(picked->selected);
    EXPECT_EQ(pick_key(*record, {0.84f, 0.8f}, 0.03f, kPickSelect), nullptr);

    update_key_visibility(*record, all);
    box_select(*record, {0.8f, 0.8f}, {0.2f, 0.2f}, kPickSelect);  // edges count
    for (const TextureKey &k : record->texture_keys) EXPECT_TRUE(k.selected);
    box_select(*record, {0.4f, 0.4f}, {0.6f, 0.6f}, kPickUnselect);
    EXPECT_FALSE(std::next(record->texture_keys.begin())->selected);
}

TEST(KeyMapKeys, MovingAndShapingClampAndMarkTheKeysMapsDirty) {
    auto record = record_with({key_at(0.2f, 0.2f, {kChannelLength}), key_at(0.5f, 0.5f, {kChannelCurl})});
    record->texture_keys.front().selected = 1;
    record->length_map_dirty = record->curl_map_dirty = 0;
    EXPECT_TRUE(move_selected_keys(*record, {1.3f, -0.2f}));
    EXPECT_EQ(record->texture_keys.front().u, 1.0f);
    EXPECT_EQ(record->texture_keys.front().v, 0.0f);
    EXPECT_EQ(record->length_map_dirty, 1);
    EXPECT_EQ(record->curl_map_dirty, 0);

    TextureKey &key = record->texture_keys.front();
    key.u = key.v = 0.5f;
    key.key_mode = kShapeCircle;
    drag_key_shapes(*record, {0.8f, 0.9f}, false);
    EXPECT_NEAR(key.w, 0.5f, 1e-6f);
    EXPECT_NEAR(key_handle(key, false).u, 1.0f, 1e-6f);
    key.key_mode = kShapeBox;
    drag_key_shapes(*record, {0.4f, 0.8f}, false);
    EXPECT_NEAR(key.w, 0.1f, 1e-6f);
    EXPECT_NEAR(key.h, 0.3f, 1e-6f);
    key.key_mode = kShapeDirected;
    drag_key_shapes(*record, {0.5f, 0.2f}, true);  // straight down
    EXPECT_NEAR(key.ang, -1.5707964f, 1e-5f);
    const MapPoint handle = key_handle(key, true);
    EXPECT_NEAR(handle.v, 0.3f, 1e-5f);
}

TEST(KeyMapKeys, TheFirstClickPlacesTheDefaultKeyAndLaterClicksAddKeysOfTheAChannels) {
    auto record = patch_new();
    KeyEditSettings settings;
    EXPECT_EQ(add_key(*record, {0.3f, 0.6f}, settings), kAddPlacedFirstKey);
    ASSERT_EQ(record->texture_keys.size(), 1u);
    const TextureKey &first = record->texture_keys.front();
    EXPECT_EQ(first.u, 0.3f);
    EXPECT_TRUE(first.selected);
    EXPECT_EQ(count_active_keys(*record, kChannelDensity, 0), 1);

    EXPECT_EQ(add_key(*record, {0.7f, 0.2f}, settings), kAddNoChannels);
    EXPECT_EQ(record->texture_keys.size(), 1u);

    record->texture_keys.front().length.value = 2.0f;
    record->texture_keys.front().grow.valueU = 0.4f;
    build_maps(*record);
    settings.add[kChannelLength] = settings.add[kChannelGrow] = settings.add[kChannelColor] = true;
    settings.random[kChannelLength] = 0.25f;
    settings.random[kChannelGrow] = 0.1f;
    EXPECT_EQ(add_key(*record, {0.7f, 0.2f}, settings), kAddNewKey);
    ASSERT_EQ(record->texture_keys.size(), 2u);
    EXPECT_FALSE(record->texture_keys.front().selected);
    const TextureKey &added = record->texture_keys.back();
    EXPECT_TRUE(added.selected);
    EXPECT_EQ(added.u, 0.7f);
    EXPECT_TRUE(added.length.active);
    EXPECT_NEAR(added.length.value, 2.0f, 1e-5f);  // what the map had there
    EXPECT_EQ(added.length.random, 0.25f);
    EXPECT_NEAR(added.grow.valueU, 0.4f, 1e-5f);
    EXPECT_EQ(added.grow.random, 0.1f);
    EXPECT_FALSE(added.curl.active);
    EXPECT_FALSE(added.density.active);
    EXPECT_TRUE(added.color_active[kColorDiffuse]);
    EXPECT_FALSE(added.color_active[kColorThickness]);
    EXPECT_NEAR(added.color_keys[kColorDiffuse][0].G, 0.7f, 1.0f / 255);  // the default root colour
    EXPECT_NEAR(added.color_keys[kColorDiffuse][1].R, 0.0f, 1.0f / 255);
}

TEST(KeyMapKeys, RemovingChannelsNeverTakesAChannelsLastKey) {
    auto record = record_with({key_at(0.1f, 0.1f, {kChannelLength, kChannelCurl, kChannelColor}),
                               key_at(0.5f, 0.5f, {kChannelLength, kChannelColor}),
                               key_at(0.9f, 0.9f, {kChannelCurl})});
    for (TextureKey &k : record->texture_keys) k.selected = 1;
    remove_channels(*record, true, kColorDiffuse);
    int carrying_length = count_active_keys(*record, kChannelLength, 0);
    EXPECT_EQ(carrying_length, 1);
    EXPECT_EQ(count_active_keys(*record, kChannelCurl, 0), 1);
    EXPECT_EQ(count_active_keys(*record, kChannelColor, kColorDiffuse), 1);
    // The first key gave its channels away and is gone; the others keep the last of each.
    ASSERT_EQ(record->texture_keys.size(), 2u);
    EXPECT_EQ(record->texture_keys.front().u, 0.5f);

    // Colour only: the current colour type goes, other channels stay.
    auto colors = record_with({key_at(0.1f, 0.1f, {kChannelColor, kChannelLength}),
                               key_at(0.2f, 0.2f, {kChannelColor})});
    colors->texture_keys.front().selected = 1;
    remove_channels(*colors, false, kColorDiffuse);
    EXPECT_FALSE(colors->texture_keys.front().color_active[kColorDiffuse]);
    EXPECT_TRUE(colors->texture_keys.front().length.active);
}

TEST(KeyMapKeys, SwitchingTheOnlyKeyOfAChannelOffGivesItBackToTheFirstKey) {
    auto record = record_with({key_at(0.1f, 0.1f, {kChannelCurl, kChannelGrow, kChannelColor,
                                                   kChannelBend, kChannelSegments, kChannelGravity,
                                                   kChannelDensity}),
                               key_at(0.5f, 0.5f, {kChannelLength})});
    record->texture_keys.back().selected = 1;
    KeyEditSettings settings;
    apply_channel_to_selected(*record, kChannelLength, false, settings);
    ASSERT_EQ(record->texture_keys.size(), 1u);  // the key carried nothing else
    std::vector<int> restored;
    const auto warnings = restore_lost_channels(*record, &restored);
    ASSERT_EQ(warnings.size(), 4u);  // length, and the colour types the keys never had
    EXPECT_EQ(warnings[0], "All length keys deleted, default length key added to key zero");
    EXPECT_EQ(warnings[1], "All color keys deleted, default color key added to key zero");
    EXPECT_EQ(restored.front(), kChannelLength);
    EXPECT_TRUE(record->texture_keys.front().length.active);
    EXPECT_EQ(record->texture_keys.front().length.value, 0.5f);

    // Switching on samples the map at the key.
    record->texture_keys.front().selected = 1;
    record->texture_keys.front().length.value = 3.0f;
    build_maps(*record);
    record->texture_keys.front().length.value = 0.0f;
    settings.random[kChannelLength] = 0.5f;
    apply_channel_to_selected(*record, kChannelLength, true, settings);
    EXPECT_NEAR(record->texture_keys.front().length.value, 3.0f, 1e-5f);
    EXPECT_EQ(record->texture_keys.front().length.random, 0.5f);
}

TEST(KeyMapKeys, SlidersChangeSelectedKeysOrTheOnlyKeyOrThePictureScale) {
    auto record = record_with({key_at(0.1f, 0.1f, {kChannelLength, kChannelCurl}),
                               key_at(0.5f, 0.5f, {kChannelLength}),
                               key_at(0.9f, 0.9f, {kChannelLength})});
    auto second = std::next(record->texture_keys.begin());
    second->selected = 1;
    ChannelValues length;
    length.value = 1.5f;
    EXPECT_TRUE(set_channel_values(*record, kChannelLength, length, 1, 0));
    EXPECT_EQ(second->length.value, 1.5f);
    EXPECT_EQ(record->texture_keys.front().length.value, 0.5f);
    ChannelSliders shown = channel_sliders(*record, kChannelLength);
    EXPECT_TRUE(shown.found);
    EXPECT_EQ(shown.value, 1.5f);

    ChannelValues curl;  // the only wave key takes it though it is not selected
    curl.random = 0.3f;
    EXPECT_TRUE(set_channel_values(*record, kChannelCurl, curl, 1, 0));
    EXPECT_EQ(record->texture_keys.front().curl.random, 0.3f);
    EXPECT_FALSE(set_channel_values(*record, kChannelGravity, curl, 1, 0));

    record->length_picture_scale.active = 1;
    record->length_map_dirty = 0;
    length.value = 4.0f;
    EXPECT_TRUE(set_channel_values(*record, kChannelLength, length, 1, 0));
    EXPECT_EQ(record->length_picture_scale.value, 4.0f);
    EXPECT_EQ(second->length.value, 1.5f);
    EXPECT_EQ(record->length_map_dirty, 1);
    EXPECT_TRUE(channel_sliders(*record, kChannelLength).from_picture);
}

TEST(KeyMapObjects, PastingARecordKeepsTheTargetsSurfaceAndCopiesKeysDeeply) {
    auto source = record_with({key_at(0.2f, 0.3f, {kChannelLength}), key_at(0.6f, 0.3f, {kChannelCurl})});
    source->number_of_hairs_pr_square_unit = 321;
    source->TileU = 1;
    source->surfacetype = 1;
    source->shadow_subdivision = 4;
    source->length_picture = std::make_unique<Picture>();
    source->length_picture->texture_filename = "fur.pic";
    source->length_picture->image = std::make_shared<PicImage>();
    source->main_color_keys[kColorDiffuse][0].color_map.assign(4, 7u);
    auto copy = record_settings_copy(*source);
    source->texture_keys.front().u = 0.9f;  // the copy is its own

    auto target = patch_new();
    target->name = "Target";
    target->surfacetype = 10;
    target->nbPointsU = 4.75f;
    target->nbPointsV = 2.0f;
    target->Display_shading_model = 3;
    target->is_selected = 1;
    paste_record_settings(*copy, *target);
    EXPECT_EQ(target->name, "Target");
    EXPECT_EQ(target->surfacetype, 10);
    EXPECT_EQ(target->nbPointsU, 4.0f);
    EXPECT_EQ(target->Display_shading_model, 3);
    EXPECT_EQ(target->is_selected, 1);
    EXPECT_EQ(target->number_of_hairs_pr_square_unit, 321);
    EXPECT_EQ(target->TileU, 1);
    EXPECT_EQ(target->shadow_subdivision, 4);
    ASSERT_EQ(target->texture_keys.size(), 2u);
    EXPECT_EQ(target->texture_keys.front().u, 0.2f);
    ASSERT_TRUE(target->length_picture);
    EXPECT_EQ(target->length_picture->texture_filename, "fur.pic");
    EXPECT_FALSE(target->length_picture->image);  // the file does not exist
    EXPECT_TRUE(target->main_color_keys[kColorDiffuse][0].color_map.empty());
    EXPECT_EQ(target->length_map_dirty, 1);
}

TEST(KeyMapPictures, AMapSavedAsAPictureRunsBottomUpAndScalesToItsMaximum) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("keymap_pictures_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto record = patch_new();
    record->length_map_res = 4;
    record->length_map.assign(16, 0.0f);
    record->length_map[0] = 2.0f;   // row 0, column 0
    record->length_map[15] = 1.0f;  // row 3, column 3
    const std::string path = (dir / "length.pic").string();
    ASSERT_TRUE(save_map_as_picture(*record, kChannelLength, 0, 0, path));
    auto image = pic_read_file(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->red()[3 * 4 + 0], 255);  // map row 0 is the bottom row
    EXPECT_EQ(image->red()[0 * 4 + 3], 127);
    EXPECT_FALSE(image->has_plane(kPicGreen));

    record->grow_map_res = 2;
    record->grow_map_u = {1.0f, 0.0f, 0.0f, 0.0f};
    record->grow_map_v = {0.0f, -2.0f, 0.0f, 0.0f};
    ASSERT_TRUE(save_map_as_picture(*record, kChannelGrow, 0, 0, path));
    image = pic_read_file(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->red()[2], 127 + 63);
    EXPECT_EQ(image->green()[3], 0);
    EXPECT_EQ(image->green()[0], 127);

    // Attaching the saved picture drives the map from it.
    PictureChoice choice{path, false, 0, 0};
    EXPECT_EQ(attach_channel_picture(*record, kChannelLength, 0, 0, choice), kPictureAttached);
    EXPECT_TRUE(channel_uses_picture(*record, kChannelLength, 0, 0));
    remove_channel_picture(*record, kChannelLength, 0, 0);
    EXPECT_FALSE(record->length_picture);
    EXPECT_EQ(record->length_map_res, 50);

    // A colour key accepts only pictures of three or four channels.
    record->grow_map_res = 2;
    ASSERT_TRUE(save_map_as_picture(*record, kChannelGrow, 0, 0, path));
    EXPECT_EQ(attach_channel_picture(*record, kChannelColor, kColorDiffuse, 1, choice),
              kPictureWrongChannels);
    EXPECT_FALSE(record->main_color_keys[kColorDiffuse][1].this_key_uses_picture);
    std::filesystem::remove_all(dir);
}

TEST(KeyMapKeys, FlippingTwiceRestoresTheKeys) {
    auto record = record_with({key_at(0.3f, 0.7f, {kChannelGrow, kChannelBend})});
    TextureKey &key = record->texture_keys.front();
    key.grow.valueU = 0.4f;
    key.grow.valueV = 0.2f;
    key.bend.valueU = -0.1f;
    const TextureKey before = key;
    flip_keys(*record, true);
    EXPECT_NEAR(key.u, 0.7f, 1e-6f);
    EXPECT_EQ(key.grow.valueU, -0.4f);
    EXPECT_EQ(key.grow.valueV, 0.2f);
    EXPECT_EQ(record->grow_map_dirty, 1);
    flip_keys(*record, true);
    flip_keys(*record, false);
    EXPECT_NEAR(key.v, 0.3f, 1e-6f);
    EXPECT_EQ(key.grow.valueV, -0.2f);
    flip_keys(*record, false);
    EXPECT_NEAR(key.u, before.u, 1e-6f);
    EXPECT_NEAR(key.v, before.v, 1e-6f);
    EXPECT_EQ(key.grow.valueU, before.grow.valueU);
    EXPECT_EQ(key.bend.valueU, before.bend.valueU);
    EXPECT_NEAR(key.ang, before.ang, 1e-6f);
}

TEST(KeyMapKeys, MapResolutionComesFromTheSliderForTheChannelOrItsColourKeys) {
    EXPECT_EQ(map_resolution_from_slider(0.4f), 1);
    EXPECT_EQ(map_resolution_from_slider(37.9f), 37);
    auto record = patch_new();
    set_map_resolution(*record, kChannelBend, 0, 37, 1);
    EXPECT_EQ(record->bend_map_res, 37);
    EXPECT_EQ(record->bend_map_interp, 1);
    set_map_resolution(*record, kChannelColor, kColorThickness, 20, 1);
    EXPECT_EQ(record->main_color_keys[kColorThickness][1].map_res, 20);
    EXPECT_EQ(record->main_color_keys[kColorDiffuse][1].map_res, 50);
}

}  // namespace
}  // namespace vellimor
