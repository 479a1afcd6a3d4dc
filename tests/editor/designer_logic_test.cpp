// The designer's operations without a display: its windows are built and dispatched but never
// drawn, so selection, frame controls, messages, help, slider pairs and the windows its buttons
// open (curve editor, scene menu, render settings) can be checked directly.
#include "support/test_prelude.h"

#include <cstdio>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/graphics_view.h"
#include "editor/main_loop.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "editor/windows.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "furdata/patch_data.h"
#include "host/configuration.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/test_env.h"
#include "support/paths.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

const bool kNoDisplay = (unsetenv("DISPLAY"), true);

std::vector<std::string> lines_of(FmObject *browser) {
    std::vector<std::string> lines;
    for (int i = 1; i <= fm_get_browser_maxline(browser); ++i) lines.push_back(fm_get_browser_line(browser, i));
    return lines;
}

TEST(SliderPairs, RightButtonRescalingPutsTheValueUnderTheKnob) {
    // Value 1 on 0..10, knob released at 5: the range becomes 0..2.
    EXPECT_FLOAT_EQ(pair_rescaled_bound(1, 0, 10, 5, kPairOneSided), 2.0f);
    // Symmetric: half of it.
    EXPECT_FLOAT_EQ(pair_rescaled_bound(1, -10, 10, 5, kPairSymmetric), 2.0f);
    EXPECT_FLOAT_EQ(pair_rescaled_bound(0, 0, 10, 5, kPairOneSided), 0.005f);
    EXPECT_FLOAT_EQ(pair_rescaled_bound(1, 0, 10, 0.01f, kPairOneSided), 40.0f);  // at most 4 x hi
    EXPECT_FLOAT_EQ(pair_rescaled_bound(1, 0, 10, 0, kPairOneSided), 0.005f);    // knob at 0: no division
}

// The demo scene read as the stand-alone program reads it, with the designer's windows built.
class DesignerLogic : public testing::Test {
protected:
    void SetUp() override {
        env.set("TEMP", work.path());
        env.unset("FUR_SIZE");
        reset_globals();
        fcurve_delete_all();
        run_state().run_mode = kRunModeStandAlone;
        database = work.path() + "/db";
        fs::copy(test::demo_database(), database, fs::copy_options::recursive);
        open_message_file();
        ASSERT_EQ(MY_read_scene("furball", database.c_str()), 0);
        ASSERT_TRUE(designer_open());
    }
    void TearDown() override {
        curve_editor_hide();
        designer_quit();
        designer_close();
        free_all();
        fcurve_delete_all();
        close_message_file();
        status_reset();
        reset_globals();
    }
    MainWindowObjects &main() { return designer_windows().main; }
    std::vector<std::string> messages() { return lines_of(main().message_area); }
    void press(FmObject *obj) { obj->callback(obj, obj->argument); }
    void select_line(int n) {
        fm_deselect_browser(main().browser);
        fm_select_browser_line(main().browser, n);
        selection_sync(1);
    }
    const std::string &current_name() { return scene_state().patches[size_t(scene_state().current_patch)]->name; }

    test::ScopedEnv env;
    test::TempDir work;
    std::string database;
};

TEST_F(DesignerLogic, BrowserListsTheSurfacesAndSelectionFollowsIt) {
    EXPECT_EQ(lines_of(main().browser), (std::vector<std::string>{"Sphere", "Ground", "Flag"}));
    EXPECT_EQ(scene_state().current_patch, -1);
    EXPECT_EQ(count_selected(0, 0, nullptr, 0), 0);

    select_all_callback(main().all, 0);
    int first[3] = {-1, -1, -1};
    EXPECT_EQ(count_selected(0, 0, first, 3), 3);
    EXPECT_EQ(first[2], 2);
    EXPECT_EQ(scene_state().current_patch, 0);

    select_invert_callback(main().inv, 0);
    EXPECT_EQ(count_selected(1, 0, nullptr, 0), 0);
    EXPECT_EQ(messages().back(), "WARNING: No objects selected");

    fm_select_browser_line(main().browser, 2);
    fm_select_browser_line(main().browser, 3);
    browser_callback(main().browser, 0);
    EXPECT_EQ(scene_state().current_patch, 1);
    EXPECT_EQ(count_selected(0, 1, nullptr, 0), 2);
    EXPECT_EQ(messages().back(), "WARNING: More than one object is selected");

    // "Del" takes the selected surfaces out of the list; they keep their records.
    delete_callback(main().del, 0);
    EXPECT_EQ(lines_of(main().browser), (std::vector<std::string>{"Sphere"}));
    EXPECT_EQ(scene_state().patches[1]->deleted, 1);
    EXPECT_EQ(count_selected(0, 0, nullptr, 0), 0);
}

TEST_F(DesignerLogic, EveryControlOfEveryWindowHasHelp) {
    const DesignerWindows &w = designer_windows();
    for (const FmForm *form : {w.main.form, w.display.form, w.help.form, w.status.form, w.selected.form,
                               w.dynamic.form}) {
        for (FmObject *obj = form->first; obj; obj = obj->next) {
            const bool control = std::set<int>{FM_BUTTON, FM_LIGHTBUTTON, FM_SLIDER, FM_VALSLIDER, FM_INPUT, FM_BROWSER,
                                               FM_POSITIONER, FM_COUNTER, FM_CHOICE, FM_FREE}
                                      .count(obj->objclass) != 0;
            if (!control || obj == w.main.message_area) continue;
            const char *text = help_text(obj);
            EXPECT_TRUE(text && std::strlen(text) >= 3) << form->title << ": " << obj->label;
        }
    }
}

// Fetching a surface's settings from a file shows them in the controls at once.
TEST_F(DesignerLogic, FetchedFurDataReachesTheControls) {
    fm_select_browser_line(main().browser, 1);
    selection_sync(0);
    PatchData &sphere = *scene_state().patches[0];
    TextureKey &key = sphere.texture_keys.front();
    const float stored = key.length.value;
    key.length.value = 0.77f;
    const std::string file = work.path() + "/sphere.fur";
    std::FILE *out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    write_object(out, 0);
    std::fclose(out);
    key.length.value = stored;
    selection_sync(0);
    EXPECT_FLOAT_EQ(fm_get_slider_value(main().length), stored);
    ASSERT_TRUE(fetch_fur_data(0, file.c_str(), 0));
    EXPECT_FLOAT_EQ(scene_state().patches[0]->texture_keys.front().length.value, 0.77f);
    EXPECT_FLOAT_EQ(fm_get_slider_value(main().length), 0.77f);
    EXPECT_EQ(std::string(fm_get_input(main().length_field)), "0.77");
}

TEST_F(DesignerLogic, DisplaySettingsControlsWriteTheRecord) {
    DisplayWindowObjects &d = designer_windows().display;
    DisplaySettings &s = *display_settings();
    auto set = [](FmObject *control) {
        fm_set_button(control, 1);
        display_settings_callback(control, 0);
    };
    set(d.redraw_never);
    EXPECT_EQ(s.redraw_auto, 0);
    EXPECT_EQ(s.redraw_always, 0);
    set(d.redraw_allways);
    EXPECT_EQ(s.redraw_auto, 1);
    EXPECT_EQ(s.redraw_always, 1);
    set(d.antialias[5]);
    EXPECT_EQ(s.antialias_level, 5);
    fm_set_slider_value(d.background_red, 1.0f);
    display_settings_callback(d.background_red, 0);
    EXPECT_EQ(s.background_color & 0xFF, 0xFF);
    set(d.show_matte);
    EXPECT_EQ(s.other_display_mode, 5);
    s.beep_on_error = 0;
    display_settings_fill();
    EXPECT_EQ(fm_get_button(d.beep_on_error), 0);
    EXPECT_EQ(fm_get_button(d.antialias[5]), 1);
}

TEST_F(DesignerLogic, RightDragRescalesAOneSidedSliderAroundItsValue) {
    FmObject *slider = main().length;  // one-sided
    fm_set_slider_bounds(slider, 0, 10);
    pair_set(slider, 1);
    const float y = slider->y + slider->h / 2;
    fm_handle_object(slider, FM_PUSH, slider->x + slider->w * 0.3f, y, 3);
    EXPECT_FALSE(pair_values_valid());  // fur-changing callbacks wait meanwhile
    fm_handle_object(slider, FM_MOUSE, slider->x + slider->w * 0.5f, y, 3);
    const float knob = fm_get_slider_value(slider);
    ASSERT_GT(knob, 2.0f);
    fm_handle_object(slider, FM_RELEASE, slider->x + slider->w * 0.5f, y, 3);
    float lo = -1, hi = -1;
    fm_get_slider_bounds(slider, &lo, &hi);
    EXPECT_FLOAT_EQ(lo, 0.0f);
    EXPECT_NEAR(hi, 10.0f / knob, 1e-4f);
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 1.0f);
    EXPECT_EQ(std::string(fm_get_input(main().length_field)), "1.00");
    EXPECT_TRUE(pair_values_valid());

    // A fixed-range slider does not rescale; its field follows the knob.
    FmObject *fixed = main().density;
    fm_handle_object(fixed, FM_PUSH, fixed->x + fixed->w * 0.5f, fixed->y + fixed->h / 2, 3);
    fm_handle_object(fixed, FM_RELEASE, fixed->x + fixed->w * 0.5f, fixed->y + fixed->h / 2, 3);
    fm_get_slider_bounds(fixed, &lo, &hi);
    EXPECT_FLOAT_EQ(hi, 1.0f);
    EXPECT_EQ(std::string(fm_get_input(main().density_field)), pair_format(fm_get_slider_value(fixed), 2));

    // Typing in a field sets its slider.
    fm_set_input(main().wave_field, "0.25");
    pair_field_callback(main().wave_field, 0);
    EXPECT_FLOAT_EQ(fm_get_slider_value(main().wave), 0.25f);
}

TEST_F(DesignerLogic, StatusTextWindowReadsTheMessageFile) {
    status_line("a line for the status window");
    message_button_callback(main().message_button, 0);
    const auto lines = lines_of(designer_windows().status.text);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "a line for the status window"), lines.end());
    config().message_file_path = work.path() + "/missing/fur_message";
    status_text_load();
    EXPECT_EQ(lines_of(designer_windows().status.text), (std::vector<std::string>{"Can't load status file"}));
    status_level_callback(designer_windows().status.debug, 3);
    EXPECT_EQ(display_settings()->debug_level, 3);
}

TEST_F(DesignerLogic, GroupButtonsRecallTheirSurfacesAndPersistentFollowsThem) {
    scene_state().patches[0]->group = 1 << 2;  // in G3
    scene_state().patches[2]->group = 1 << 2;
    group_callback(main().group[2], 2);
    EXPECT_TRUE(fm_isselected_browser_line(main().browser, 1));
    EXPECT_FALSE(fm_isselected_browser_line(main().browser, 2));
    EXPECT_TRUE(fm_isselected_browser_line(main().browser, 3));
    EXPECT_EQ(count_selected(0, 0, nullptr, 0), 2);
    group_callback(main().group[0], 0);  // G1 is empty
    EXPECT_EQ(count_selected(0, 0, nullptr, 0), 0);

    // "Persistent" follows the selected surfaces.
    fm_select_browser_line(main().browser, 1);
    selection_sync(0);
    fm_set_button(main().persistent, 1);
    persistent_callback(main().persistent, 0);
    EXPECT_EQ(scene_state().patches[0]->presistant_rebuild, 1);
    EXPECT_EQ(scene_state().patches[1]->presistant_rebuild, 0);
    select_none_callback(main().none, 0);
    fm_select_browser_line(main().browser, 1);
    selection_sync(0);
    EXPECT_EQ(fm_get_button(main().persistent), 1);  // shown from the current surface
}

TEST_F(DesignerLogic, FrameControlsStayInThePlayRange) {
    const SceneState &s = scene_state();
    ASSERT_LT(s.start_frame, s.end_frame);
    fm_set_input(main().frame_field, "-50");
    frame_field_callback(main().frame_field, 0);
    EXPECT_EQ(s.current_frame, s.start_frame);
    EXPECT_EQ(std::string(fm_get_input(main().frame_field)), std::to_string(s.start_frame));
    EXPECT_FLOAT_EQ(fm_get_slider_value(main().frame_slider), 0.0f);
    EXPECT_EQ(editor_state().camera_mode, kCameraFrameChanged);

    fm_set_input(main().frame_field, "100000");
    frame_field_callback(main().frame_field, 0);
    EXPECT_EQ(s.current_frame, s.end_frame);
    frame_arrow_callback(main().frame_next, 1);
    EXPECT_EQ(s.current_frame, s.end_frame);
    frame_arrow_callback(main().frame_prev, -1);
    EXPECT_EQ(s.current_frame, s.end_frame - 1);

    fm_set_slider_value(main().frame_slider, 0.5f);
    frame_slider_callback(main().frame_slider, 0);
    EXPECT_EQ(s.current_frame, s.start_frame + (s.end_frame - s.start_frame) / 2);
    EXPECT_EQ(std::string(fm_get_input(main().frame_field)), std::to_string(s.current_frame));
}

TEST_F(DesignerLogic, FCurveButtonTogglesTheEditorWhoseListFollowsTheSelection) {
    ASSERT_NE(curve_editor().form, nullptr);
    EXPECT_EQ(fm_get_button(curve_editor().tools[static_cast<int>(CurveTool::kMove)]), 1);
    EXPECT_EQ(fm_get_button(curve_editor().texture), 1);
    select_line(1);
    const std::string first = current_name();
    press(main().fcurve);
    ASSERT_TRUE(curve_editor_shown());
    ASSERT_GE(fm_get_browser_maxline(curve_editor().list), 1);
    EXPECT_EQ(fm_get_browser_line(curve_editor().list, 1), first + "-1-L");

    // Another surface and another channel: the list follows while the editor is up.
    select_line(2);
    EXPECT_EQ(fm_get_browser_line(curve_editor().list, 1), current_name() + "-1-L");
    editor_state().current_channel = kChannelColor;
    editor_state().current_color_type = kColorSpecular;
    selection_sync(0);
    EXPECT_EQ(fm_get_browser_line(curve_editor().list, 1), current_name() + "-1-s");
    press(main().fcurve);
    EXPECT_FALSE(curve_editor_shown());

    // The modal windows deactivate the main window until they are closed.
    for (const auto &[button, form, close] :
         {std::tuple{main().file, scene_menu_window().form, scene_menu_window().close},
          std::tuple{main().render, render_settings_window().form, render_settings_window().cancel}}) {
        press(button);
        ASSERT_TRUE(form->visible) << button->label;
        EXPECT_GT(main().form->deactivated, 0);
        press(close);
        EXPECT_FALSE(form->visible);
        EXPECT_EQ(main().form->deactivated, 0);
    }
    EXPECT_FALSE(scene_menu_window().save_scene_as->visible);

    // A text too short to be help is none.
    help_show("ok");
    EXPECT_EQ(lines_of(designer_windows().help.text), (std::vector<std::string>{"No help for this object"}));
}

}  // namespace
}  // namespace vellimor
