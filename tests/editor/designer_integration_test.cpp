// The curve editor, the scene menu, the render settings and "I"/"O" inside the running designer
// (without a display): the window buttons open them, the modal ones deactivate the main window,
// the curve list follows the designer's selection and channel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "editor/designer_objects.h"
#include "editor/fur_settings_io.h"
#include "editor/main_loop.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/test_env.h"
#include "support/paths.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class DesignerCommands : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("DISPLAY");
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
    void press(FmObject *obj) { obj->callback(obj, obj->argument); }
    void select_line(int n) {
        fm_deselect_browser(main().browser);
        fm_select_browser_line(main().browser, n);
        selection_sync(1);
    }
    std::vector<std::string> curve_lines() {
        std::vector<std::string> out;
        for (int i = 1; i <= fm_get_browser_maxline(curve_editor().list); ++i)
            out.push_back(fm_get_browser_line(curve_editor().list, i));
        return out;
    }

    test::ScopedEnv env;
    test::TempDir work;
    std::string database;
};

TEST_F(DesignerCommands, FCurveButtonTogglesTheEditorWhoseListFollowsTheSelection) {
    ASSERT_NE(curve_editor().form, nullptr);
    EXPECT_EQ(fm_get_button(curve_editor().tools[static_cast<int>(CurveTool::kMove)]), 1);
    EXPECT_EQ(fm_get_button(curve_editor().texture), 1);
    select_line(1);
    const std::string first = scene_state().patches[size_t(scene_state().current_patch)]->name;
    press(main().fcurve);
    ASSERT_TRUE(curve_editor_shown());
    ASSERT_FALSE(curve_lines().empty());
    EXPECT_EQ(curve_lines()[0], first + "-1-L");

    // Another surface and another channel: the list follows while the editor is up.
    select_line(2);
    const std::string second = scene_state().patches[size_t(scene_state().current_patch)]->name;
    EXPECT_EQ(curve_lines()[0], second + "-1-L");
    editor_state().current_channel = kChannelColor;
    editor_state().current_color_type = kColorSpecular;
    selection_sync(0);
    EXPECT_EQ(curve_lines()[0], second + "-1-s");

    press(main().fcurve);
    EXPECT_FALSE(curve_editor_shown());
}

TEST_F(DesignerCommands, ModalWindowsDeactivateTheMainWindowUntilClosed) {
    press(main().file);
    ASSERT_TRUE(scene_menu_window().form->visible);
    EXPECT_GT(main().form->deactivated, 0);
    EXPECT_FALSE(scene_menu_window().save_scene_as->visible);
    press(scene_menu_window().close);
    EXPECT_FALSE(scene_menu_window().form->visible);
    EXPECT_EQ(main().form->deactivated, 0);

    press(main().render);
    ASSERT_TRUE(render_settings_window().form->visible);
    EXPECT_GT(main().form->deactivated, 0);
    press(render_settings_window().cancel);
    EXPECT_FALSE(render_settings_window().form->visible);
    EXPECT_EQ(main().form->deactivated, 0);
}

}  // namespace
}  // namespace vellimor
