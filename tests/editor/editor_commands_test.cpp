// The editors' commands over the selected surfaces: every refusal is a warning with its own
// text in the message area (or the message box), and refused commands change nothing.

#include "support/test_prelude.h"
#include "editor/color_commands.h"
#include "editor/keymap_commands.h"
#include "furdata/display_settings.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/hair_color.h"

namespace vellimor {
namespace {

// A scene table of fur records without a host scene, and the designer's message area and message
// box caught as text.
class EditorRecords : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        display_settings_create().beep_on_error = 0;
        scene_state().patches.clear();
        scene_state().models.clear();
        scene_state().current_patch = -1;
        scene_state().current_frame = 1;
        DesignerOutput out;
        out.message_box = [this](const char *text) { boxes.push_back(text); };
        out.browser_add_line = [this](const char *line) { lines.push_back(line); };
        out.browser_line_count = [this] { return int(lines.size()); };
        out.browser_delete_first_line = [] {};
        designer_connect(out);
        keymap_forget_copied_object();
        color_forget_copied();
    }
    void TearDown() override {
        designer_disconnect();
        scene_state().patches.clear();
        scene_state().models.clear();
        scene_state().current_patch = -1;
        display_settings_free();
        reset_globals();
    }

    // Adds a surface with a new record; selected ones become current in table order.
    PatchData &add_surface(const char *name, bool selected) {
        auto record = patch_new();
        record->name = name;
        record->surfacetype = 10;
        record->nbPointsU = 4.0f;
        record->nbPointsV = 3.0f;
        record->is_selected = selected ? 1 : 0;
        scene_state().patches.push_back(std::move(record));
        scene_state().models.emplace_back();
        if (selected && scene_state().current_patch < 0)
            scene_state().current_patch = int(scene_state().patches.size()) - 1;
        return *scene_state().patches.back();
    }

    bool said(const std::string &line) const {
        for (const std::string &l : lines)
            if (l == line) return true;
        return false;
    }
    void forget_lines() {
        lines.clear();
        boxes.clear();
        status_reset();
    }

    std::vector<std::string> lines;
    std::vector<std::string> boxes;
};

KeyEditSettings length_only() {
    KeyEditSettings settings;
    settings.add[kChannelLength] = true;
    return settings;
}

bool choose_nothing(const char *, PictureChoice &) { return false; }

TEST_F(EditorRecords, SwitchingOffTheLastKeysOfChannelsWarnsPerChannel) {
    PatchData &record = add_surface("Sphere", true);
    TextureKey &only = record.texture_keys.front();
    only.u = only.v = 0.5f;
    const std::pair<int, const char *> channels[] = {
        {kChannelLength, "length"}, {kChannelDensity, "density"}, {kChannelSegments, "segments"},
        {kChannelBend, "bend"},     {kChannelGrow, "grow"},       {kChannelCurl, "curl"},
        {kChannelGravity, "gravity"}, {kChannelColor, "color"}};
    for (const auto &[channel, name] : channels) {
        forget_lines();
        const std::vector<int> restored = keymap_apply_channel(channel, false, KeyEditSettings{});
        const std::string text = std::string("WARNING: All ") + name + " keys deleted, default " + name +
                                 " key added to key zero";
        EXPECT_TRUE(said(text)) << text;
        ASSERT_EQ(restored.size(), 1u);
        EXPECT_EQ(restored.front(), channel);
        ASSERT_EQ(record.texture_keys.size(), 1u);
        EXPECT_TRUE(key_carries(record.texture_keys.front(), channel, kColorDiffuse));
    }
}

TEST_F(EditorRecords, SlidersWithoutMatchingKeysWarnWithTheChannelsName) {
    PatchData &record = add_surface("Sphere", true);
    record.texture_keys.front().selected = 0;
    record.texture_keys.push_back(texture_key_new());
    record.texture_keys.back().selected = 0;
    const std::pair<int, const char *> panels[] = {
        {kChannelLength, "length"},     {kChannelDensity, "density"}, {kChannelSegments, "segments"},
        {kChannelCurl, "wave"},         {kChannelGrow, "direction"},  {kChannelBend, "bend"},
    };
    ChannelValues values;
    values.value = 1.0f;
    for (const auto &[channel, name] : panels) {
        EXPECT_FALSE(keymap_channel_values(channel, values));
        EXPECT_TRUE(said(std::string("WARNING: No selected texturekeys with active ") + name + " keys"))
            << name;
    }
    EXPECT_EQ(record.texture_keys.front().length.value, 0.5f);
    record.texture_keys.back().selected = 1;
    EXPECT_TRUE(keymap_channel_values(kChannelLength, values));
    EXPECT_EQ(record.texture_keys.back().length.value, 1.0f);
}

TEST_F(EditorRecords, PicturesNeedExactlyOneSelectedSurface) {
    EXPECT_FALSE(keymap_picture_off(kChannelLength, 0, 0));
    EXPECT_TRUE(said("WARNING: No objects selected"));
    PatchData &first = add_surface("Sphere", true);
    add_surface("Ground", true);
    EXPECT_FALSE(keymap_picture_on(kChannelLength, 0, 0, choose_nothing));
    EXPECT_TRUE(said("WARNING: More than one object is selected"));
    scene_state().patches[1]->is_selected = 0;
    first.length_picture_scale.active = 1;
    first.length_picture = std::make_unique<Picture>();
    first.length_map_res = 80;
    EXPECT_FALSE(keymap_save_map_picture(kChannelLength, 0, 0, choose_nothing));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Only use save texture, when a picture is not mapped"), std::string::npos);
    EXPECT_TRUE(keymap_picture_off(kChannelLength, 0, 0));
    EXPECT_TRUE(said("length texture deleted"));
    EXPECT_EQ(first.length_map_res, 50);
    EXPECT_FALSE(first.length_picture);

    auto sequence_without_number = [](const char *, PictureChoice &choice) {
        choice = PictureChoice{"skin.pic", true, 0, 1};
        return true;
    };
    EXPECT_TRUE(keymap_picture_on(kChannelLength, 0, 0, sequence_without_number));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].find("Filename does not contain\nany image numbers, please\nselect another file"),
              std::string::npos);
    EXPECT_EQ(first.length_picture_scale.active, 0);
}

TEST_F(EditorRecords, ColourCommandsWarnAndPasteOnlyOntoSelectedTextureKeys) {
    ColorSliderValues values;
    EXPECT_FALSE(color_apply_sliders(kColorDiffuse, 0, values));
    EXPECT_TRUE(said("WARNING: No objects selected"));
    EXPECT_FALSE(color_copy(kColorDiffuse));
    EXPECT_FALSE(color_paste(kColorDiffuse));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("You have to COPY a color key,\nTHEN paste it..... (press the \"C\" "
                            "left of the \"P\" you just pressed)\nTry again."),
              std::string::npos);

    PatchData &source = add_surface("Sphere", true);
    source.texture_keys.front().selected = 0;
    forget_lines();
    EXPECT_FALSE(color_copy(kColorAmbient));
    EXPECT_TRUE(said("WARNING: Select a texture key with an active colorkey"));
    source.texture_keys.front().selected = 1;
    source.texture_keys.front().color_active[kColorSpecular] = 0;
    EXPECT_FALSE(color_apply_sliders(kColorSpecular, 0, values));
    EXPECT_TRUE(said("WARNING: No texturekeys with active specular-key"));

    PatchData &target = add_surface("Ground", true);
    PatchData &other = add_surface("Flag", true);
    add_main_color_key(source, 0.5f, kColorDiffuse);
    source.texture_keys.front().color_keys[kColorDiffuse][1].R = 0.123f;
    EXPECT_TRUE(color_copy(kColorDiffuse));
    other.texture_keys.front().selected = 0;
    target.main_color_keys[kColorDiffuse][1].color_map.assign(4, 1u);
    EXPECT_TRUE(color_paste(kColorDiffuse));
    EXPECT_EQ(target.nbColorKeys[kColorDiffuse], 3);
    EXPECT_FLOAT_EQ(target.main_color_keys[kColorDiffuse][1].where, 0.5f);
    EXPECT_TRUE(target.main_color_keys[kColorDiffuse][1].color_map.empty());  // its map is made again
    EXPECT_EQ(target.texture_keys.front().color_keys[kColorDiffuse][1].R, 0.123f);
    EXPECT_EQ(other.nbColorKeys[kColorDiffuse], 2);  // no selected texture key: unchanged
    EXPECT_NE(other.texture_keys.front().color_keys[kColorDiffuse][1].R, 0.123f);

    color_set_interpolation(1);
    EXPECT_EQ(target.color_interpolation_method, 1);
    EXPECT_EQ(color_type_from_button(4), 0);
    EXPECT_EQ(color_type_from_button(3), 3);
}

TEST_F(EditorRecords, AddingNeedsASelectedSurfaceAndAnAChannel) {
    PatchData &record = add_surface("Sphere", false);
    EXPECT_FALSE(keymap_add_keys({0.5f, 0.5f}, length_only()));
    EXPECT_TRUE(said("WARNING: Can't add keys, with no objects selected. Please select a model."));
    EXPECT_LT(record.texture_keys.front().u, 0.0f);

    record.is_selected = 1;
    scene_state().current_patch = 0;
    EXPECT_TRUE(keymap_add_keys({0.5f, 0.5f}, KeyEditSettings{}));  // places the first key
    EXPECT_TRUE(keymap_add_keys({0.2f, 0.5f}, length_only()));
    EXPECT_EQ(record.texture_keys.size(), 2u);
    forget_lines();
    EXPECT_FALSE(keymap_add_keys({0.8f, 0.5f}, KeyEditSettings{}));
    EXPECT_TRUE(said("WARNING: Please select which channel keys to add - can't add keys with no "
                     "channels active"));
    EXPECT_EQ(record.texture_keys.size(), 2u);
}

TEST_F(EditorRecords, FlipTileCopyAndPasteNeedACurrentSurface) {
    PatchData &record = add_surface("Sphere", false);
    record.texture_keys.front().u = 0.25f;
    EXPECT_FALSE(keymap_flip(true));
    EXPECT_TRUE(said("WARNING: You must select an object before flipping"));
    EXPECT_FALSE(keymap_tile(true, false));
    EXPECT_EQ(record.TileU, 0);
    EXPECT_FALSE(keymap_copy_object());
    EXPECT_TRUE(said("WARNING: You must use select an object before copying"));
    EXPECT_FALSE(keymap_paste_object());
    EXPECT_TRUE(said("WARNING: You must use select an object before pasting"));

    record.is_selected = 1;
    scene_state().current_patch = 0;
    EXPECT_FALSE(keymap_paste_object());
    EXPECT_TRUE(said("WARNING: You must use 'copy texture' before pasting"));
    EXPECT_TRUE(keymap_flip(true));
    EXPECT_TRUE(said("Object: Sphere flipped in U"));
    EXPECT_EQ(record.texture_keys.front().u, 0.75f);
    EXPECT_TRUE(keymap_flip(false));
    EXPECT_TRUE(said("Object: Sphere flipped in V"));
    EXPECT_TRUE(keymap_tile(true, false));
    EXPECT_EQ(record.TileU, 1);
    EXPECT_EQ(record.TileV, 0);
}

}  // namespace
}  // namespace vellimor
