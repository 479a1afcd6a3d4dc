// A texture key's length animated in the curve editor and keyed by autokeying at two frames,
// saved into the scene and rendered by the batch program: the frames show different hair
// lengths; after "Static" the last value stays.
#include "support/test_prelude.h"

#include "support/run_program.h"
#include "editor/scene_menu.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_autokey.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "host/globals.h"
#include "host/scene.h"
#include "support/fur_square_scene.h"
#include "render/pic_file.h"
#include "support/message_log.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class AnimatedRender : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("DISPLAY");
        fm_init();
        fcurve_delete_all();
        database = work.path() + "/db";
        testing::FurSceneOptions options;
        options.length = 0.5f;
        testing::write_fur_scene(database, options);
        ASSERT_TRUE(open_scene_file(database + "/SCENES/fur.dsc"));
        scene_state().patches[0]->is_selected = 1;
        curve_editor_set_hooks({});
        create_curve_editor();
        curve_editor().source = CurveListSource::kTexture;
        fill_list();
        ASSERT_EQ(fm_get_browser_maxline(curve_editor().list), 1);
        ASSERT_STREQ(fm_get_browser_line(curve_editor().list, 1), "Square-1-L");
    }
    void TearDown() override {
        free_all();
        fcurve_delete_all();
        reset_globals();
    }
    TextureKey &key() { return scene_state().patches[0]->texture_keys.front(); }
    void press(FmObject *obj) { obj->callback(obj, obj->argument); }
    // A slider moving the key's length at a frame, as the designer's slider does.
    int set_length_at(int frame, float length) {
        scene_state().current_frame = frame;
        key().length.value = length;
        const float values[2] = {key().length.value, key().length.random};
        return fcurve_autokey(key().length.fcurve_id, frame, values, display_settings()->autokey_fcurves);
    }
    // Renders frames 1 and 6 and counts the hair pixels of each.
    std::pair<int, int> render_frames(const std::string &name) {
        const test::ProgramResult r = test::run_program(
            "vellimor", {"-b", "-d", database, "-s", "fur", "-n", "1", "6", "5", "-o", name},
            {{"TEMP", work.path()}, {"FUR_LOCATION", "/fur"}, {"DISPLAY", std::nullopt},
             {"VELLIMOR_PLUGIN", std::nullopt}},
            work.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return {hair_pixels(work.path() + "/" + name + ".1.pic"), hair_pixels(work.path() + "/" + name + ".6.pic")};
    }
    static int hair_pixels(const std::string &path) {
        auto picture = pic_read_file(path);
        if (!picture) return -1;
        int count = 0;
        for (size_t i = 0; i < picture->pixel_count(); ++i) count += picture->red()[i] > 40;
        return count;
    }

    test::TempDir work;
    test::MessageLog log;
    std::string database;
};

TEST_F(AnimatedRender, KeyedLengthsRenderDifferentlyAndStaticKeepsTheLastValue) {
    fm_select_browser_line(curve_editor().list, 1);
    press(curve_editor().animate);
    ASSERT_NE(key().length.fcurve_id, 0);
    ASSERT_STREQ(fm_get_browser_line(curve_editor().list, 1), "*Square-1-L");

    // Without autokeying only the existing key at the first frame takes a value.
    EXPECT_EQ(set_length_at(6, 1.2f), 0);
    EXPECT_TRUE(log.has("WARNING: Turn on autokeying or use the FCurve editor to edit frames with no animation keys"));
    display_settings()->autokey_fcurves = 1;
    EXPECT_EQ(set_length_at(1, 0.15f), 1);
    EXPECT_EQ(set_length_at(6, 1.2f), 1);
    Herm &length = *fcurve_find(key().length.fcurve_id)->limits[0].curve;
    ASSERT_EQ(length.nb_points(), 2);
    EXPECT_NEAR(HermEvaluate(&length, 1), 0.15f, 1e-3);
    EXPECT_NEAR(HermEvaluate(&length, 6), 1.2f, 1e-3);
    ASSERT_EQ(save_scene_command(), 0);

    const auto [short_hairs, long_hairs] = render_frames("keyed");
    ASSERT_GT(short_hairs, 0);
    EXPECT_GT(long_hairs, short_hairs * 3 / 2) << short_hairs << " " << long_hairs;

    // "Static" at frame 6: the curve goes, the value it gave stays on every frame.
    float values[2] = {0.0f, key().length.random};
    ASSERT_EQ(fcurve_query(key().length.fcurve_id, 6, values), 1);
    key().length.value = values[0];
    fm_select_browser_line(curve_editor().list, 1);
    press(curve_editor().make_static);
    EXPECT_EQ(key().length.fcurve_id, 0);
    EXPECT_NEAR(key().length.value, 1.2f, 1e-3);
    ASSERT_EQ(save_scene_command(), 0);
    const auto [first, last] = render_frames("static");
    EXPECT_NEAR(first, long_hairs, long_hairs / 20);
    EXPECT_NEAR(last, long_hairs, long_hairs / 20);
}

}  // namespace
}  // namespace vellimor
