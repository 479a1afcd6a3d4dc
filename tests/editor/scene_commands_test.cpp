// The scene menu's commands and "I"/"O" on a copy of the demo database, without a display: a
// scene outside a SCENE directory is refused, opening the demo again works, saving keeps the
// fur, and one surface's settings written by "O" come back on another surface by "I"; an
// animated length saved into the scene renders frame by frame.
#include "support/test_prelude.h"

#include "editor/fur_settings_io.h"
#include "editor/scene_menu.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_autokey.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/fur_text_file.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/pic_file.h"
#include "support/fur_square_scene.h"
#include "support/message_log.h"
#include "support/paths.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
const bool kWindowless = (unsetenv("DISPLAY"), true);

TEST(ScenePathParts, TheDatabaseIsWhatLiesBeforeTheSceneDirectory) {
    auto parts = scene_path_parts("/data/furball/SCENES/furball.dsc");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->database, "/data/furball");
    EXPECT_EQ(parts->scene, "furball.dsc");
    parts = scene_path_parts("/Data/Scenes/db/scenes/ball.dsc");  // the last such directory, any case
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->database, "/Data/Scenes/db");
    EXPECT_EQ(parts->scene, "ball.dsc");
    EXPECT_FALSE(scene_path_parts("/data/furball/ball.dsc"));
    EXPECT_FALSE(scene_path_parts("/data/MYSCENES/ball.dsc"));  // SCENE inside a name only
    EXPECT_FALSE(scene_path_parts("/data/SCENES/"));
}

class SceneCommands : public ::testing::Test {
protected:
    void SetUp() override {
        fm_init();
        run_state().run_mode = kRunModeStandAlone;
        SAA_InitInternal("", 0, "SDKv1.71.6");
        db = work.path() + "/furball";
        fs::copy(test::demo_database(), db, fs::copy_options::recursive);
        scene_file = db + "/SCENES/furball.dsc";
    }
    void TearDown() override {
        free_all();
        fcurve_delete_all();
        reset_globals();
    }
    int patch_named(const std::string &name) {
        const SceneState &s = scene_state();
        for (int i = 0; i < s.patch_count(); ++i)
            if (s.patches[i] && s.patches[i]->name == name) return i;
        return -1;
    }
    PatchData &patch(const std::string &name) { return *scene_state().patches[patch_named(name)]; }
    void select_only(const std::string &name) {
        for (auto &p : scene_state().patches) p->is_selected = p->name == name;
    }

    test::TempDir work;
    test::MessageLog log;
    std::string db, scene_file;
};

TEST_F(SceneCommands, OpensSceneFilesOnlyFromTheSceneDirectory) {
    ASSERT_TRUE(open_scene_file(scene_file)) << log.text();
    EXPECT_EQ(scene_state().patch_count(), 3);
    EXPECT_GT(patch("Sphere").hairs.size(), 0u);
    EXPECT_EQ(patch("Sphere").texture_keys.size(), 4u);

    // A copy outside any SCENE directory is refused and nothing changes.
    fs::create_directories(work.path() + "/elsewhere");
    fs::copy_file(scene_file, work.path() + "/elsewhere/furball.dsc");
    const std::string outside = work.path() + "/elsewhere/furball.dsc";
    EXPECT_FALSE(open_scene_file(outside));
    EXPECT_TRUE(log.has("ERROR: Can't load scene " + outside + ". Only load scenes located in the SCENE dir"));
    EXPECT_EQ(scene_state().patch_count(), 3);

    // Opening the demo again starts over: curves of the old scene are gone, records are fresh.
    float value = 1;
    patch("Sphere").texture_keys.front().length.fcurve_id = fcurve_create(1, 1, {&value, 1});
    patch("Sphere").number_of_hairs_pr_square_unit = 7;
    ASSERT_TRUE(open_scene_file(scene_file));
    EXPECT_EQ(fcurve_count(), 0);
    EXPECT_EQ(patch("Sphere").texture_keys.front().length.fcurve_id, 0);
    EXPECT_NE(patch("Sphere").number_of_hairs_pr_square_unit, 7);

    // A scene that can't be read leaves no surfaces.
    const std::string missing = db + "/SCENES/nothing.dsc";
    EXPECT_FALSE(open_scene_file(missing));
    EXPECT_TRUE(log.has("ERROR: Can't load scene " + missing + " - nothing.dsc")) << log.text();
    EXPECT_EQ(scene_state().patch_count(), 0);
    EXPECT_TRUE(open_scene_file(scene_file));
    EXPECT_EQ(scene_state().patch_count(), 3);
}

TEST_F(SceneCommands, SettingsWrittenByOReadByIOnAnotherSurface) {
    ASSERT_TRUE(open_scene_file(scene_file));
    const std::string file = work.path() + "/sphere.txt";
    select_only("Sphere");
    ASSERT_TRUE(save_surface_settings(file));
    EXPECT_EQ(test::read_file(file), object_text(patch("Sphere")));

    select_only("Flag");
    ASSERT_NE(patch("Flag").texture_keys.size(), patch("Sphere").texture_keys.size());
    ASSERT_TRUE(load_surface_settings(file)) << log.text();
    PatchData &flag = patch("Flag"), &sphere = patch("Sphere");
    EXPECT_EQ(flag.name, "Flag");
    EXPECT_EQ(flag.texture_keys.size(), sphere.texture_keys.size());
    EXPECT_EQ(flag.number_of_hairs_pr_square_unit, sphere.number_of_hairs_pr_square_unit);
    EXPECT_FLOAT_EQ(flag.texture_keys.back().length.value, sphere.texture_keys.back().length.value);
    EXPECT_GT(flag.hairs.size(), 0u);

    // Exactly one surface must be selected; files that can't be written or read change nothing.
    select_only("");
    EXPECT_FALSE(save_surface_settings(work.path() + "/none.txt"));
    EXPECT_TRUE(log.has("WARNING: No objects selected"));
    for (auto &p : scene_state().patches) p->is_selected = 1;
    EXPECT_FALSE(load_surface_settings(file));
    EXPECT_TRUE(log.has("WARNING: More than one object is selected"));
    EXPECT_FALSE(fs::exists(work.path() + "/none.txt"));
    select_only("Ground");
    EXPECT_FALSE(save_surface_settings(work.path() + "/no/such/dir/ground.txt"));
    const int keys = static_cast<int>(patch("Ground").texture_keys.size());
    EXPECT_FALSE(load_surface_settings(work.path() + "/missing.txt"));
    EXPECT_EQ(static_cast<int>(patch("Ground").texture_keys.size()), keys);
}

TEST_F(SceneCommands, SaveSceneKeepsTheFurAndSaveHairsWritesTheModel) {
    ASSERT_TRUE(open_scene_file(scene_file));
    patch("Flag").number_of_hairs_pr_square_unit = 123;
    EXPECT_EQ(save_scene_command(), 0);
    EXPECT_TRUE(log.has("Saving scene"));
    EXPECT_TRUE(log.has("Scene saved ..."));
    ASSERT_TRUE(open_scene_file(scene_file));
    EXPECT_EQ(patch("Flag").number_of_hairs_pr_square_unit, 123);

    // "Save hairs" writes the model file chosen.
    const std::string model = db + "/MODELS/fur_model.hrc";
    EXPECT_TRUE(save_hairs_to(model));
    bool written = false;
    for (const auto &entry : fs::directory_iterator(db + "/MODELS"))
        written |= entry.path().filename().string().rfind("fur_model", 0) == 0 && fs::file_size(entry.path()) > 0;
    EXPECT_TRUE(written) << log.text();
}

// A texture key's length animated in the curve editor and keyed by autokeying at two frames,
// saved into the scene and rendered by the batch program: the frames show different hair
// lengths; after "Static" the last value stays.
class AnimatedRender : public ::testing::Test {
protected:
    void SetUp() override {
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
