#include "editor/scene_menu.h"

#include <algorithm>
#include <cctype>

#include "editor/command_hooks.h"
#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/draw.h"
#include "render/mesh_export.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr const char *kTitle = "Save settings";
constexpr const char *kSceneDirMark = "SCENE";
constexpr float kButtonX = 10, kButtonW = 244, kButtonH = 28;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Lets the window system take the menu down before the command's work begins.
void hide_menu() {
    SceneMenuWindow &w = scene_menu_window();
    if (w.form && w.form->visible) fm_hide_form(w.form);
    if (!fm_headless()) fm_process_events(false);
}

// Every command ends the same way.
void end_command() {
    status_line("");
    run_hook(command_hooks().activate_main);
    run_hook(command_hooks().redraw_graphics);
}

bool stand_alone() { return run_state().run_mode == kRunModeStandAlone; }

}  // namespace

SceneMenuWindow &scene_menu_window() {
    static SceneMenuWindow window;
    return window;
}

std::optional<ScenePathParts> scene_path_parts(const std::string &path) {
    const std::string up = upper(path);
    // The last directory whose name begins with SCENE holds the scene file.
    for (size_t at = up.rfind(std::string("/") + kSceneDirMark); at != std::string::npos;
         at = at == 0 ? std::string::npos : up.rfind(std::string("/") + kSceneDirMark, at - 1)) {
        const size_t after_dir = path.find('/', at + 1);
        if (after_dir == std::string::npos || after_dir + 1 >= path.size()) continue;
        return ScenePathParts{path.substr(0, at), path.substr(after_dir + 1)};
    }
    return std::nullopt;
}

bool open_scene_file(const std::string &path) {
    const std::optional<ScenePathParts> parts = scene_path_parts(path);
    if (!parts) {
        status_message(kStatusError, "Can't load scene %s. Only load scenes located in the SCENE dir",
                       path.c_str());
        return false;
    }
    SceneState &s = scene_state();
    free_all();
    SAA_sceneClear(&s.scene);
    int rc = 0;
    // The stand-alone read loads the database and scene itself; a host keeps its current ones, so
    // they are made current first.
    if (!stand_alone()) {
        rc = SAA_databaseLoad(parts->database.c_str(), &s.database);
        if (!rc) rc = SAA_sceneLoad(&s.database, parts->scene.c_str(), &s.scene);
    }
    if (!rc) rc = MY_read_scene(parts->scene.c_str(), parts->database.c_str());
    const auto after = command_hooks().after_scene_open;
    if (rc) {
        status_message(kStatusError, "Can't load scene %s - %s", path.c_str(), parts->scene.c_str());
        free_all();
        // The old surfaces are gone: the browser must not offer them.
        if (after) after(false);
        return false;
    }
    fcurve_delete_all();
    read_fur_data(1);
    build_all_patches(0, 0);
    refresh_patch_list();
    if (after) after(true);
    return true;
}

int save_scene_command() {
    if (scene_state().patch_count() == 0) return 0;
    status_line("Saving scene");
    const int rc = write_fur_data(stand_alone() ? 1 : 0);
    // A failed save must not be reported as done.
    if (rc) status_message(kStatusError, "Can't save scene (host error %d)", rc);
    else status_line("Scene saved ...");
    return rc;
}

bool save_hairs_to(const std::string &path) {
    if (scene_state().patch_count() == 0 || path.empty()) return false;
    set_hair_mesh_output_name(path);
    drawing_driver(kDrawSaveHairMesh, -1);
    // Later saves (the persistent effect's) name the mesh after the scene again.
    set_hair_mesh_output_name("");
    return true;
}

void scene_menu_open(FmObject *, long) {
    hide_menu();
    status_line("Loading scene");
    const std::string dir = database_subdirectory("SCENES");
    if (std::optional<std::string> chosen =
            fm_show_file_selector("Open scene file", dir.empty() ? nullptr : dir.c_str(), "*.dsc", ""))
        open_scene_file(*chosen);
    end_command();
}

void scene_menu_save(FmObject *, long) {
    hide_menu();
    save_scene_command();
    end_command();
}

void scene_menu_save_hairs(FmObject *, long) {
    hide_menu();
    if (scene_state().patch_count() > 0) {
        const std::string dir = database_subdirectory("MODELS");
        if (std::optional<std::string> chosen =
                fm_show_file_selector("Save hair model", dir.empty() ? nullptr : dir.c_str(), "*.hrc", ""))
            save_hairs_to(*chosen);
    }
    end_command();
}

void scene_menu_close(FmObject *, long) {
    hide_menu();
    end_command();
}

FmForm *create_scene_menu() {
    SceneMenuWindow &w = scene_menu_window();
    if (w.form) return w.form;
    w.form = fm_bgn_form(FM_UP_BOX, kSceneMenuWidth, kSceneMenuHeight);
    w.form->title = kTitle;
    w.open_scene = fm_add_button(FM_NORMAL_BUTTON, kButtonX, 100, kButtonW, kButtonH, "Open scene");
    w.save_scene = fm_add_button(FM_NORMAL_BUTTON, kButtonX, 68, kButtonW, kButtonH, "Save scene");
    w.save_scene_as = fm_add_button(FM_NORMAL_BUTTON, kButtonX, 68, kButtonW, kButtonH, "Save scene as");
    w.save_hairs = fm_add_button(FM_NORMAL_BUTTON, kButtonX, 36, kButtonW, kButtonH, "Save hairs");
    w.close = fm_add_button(FM_NORMAL_BUTTON, kButtonX, 4, kButtonW, kButtonH, "Close");
    fm_set_object_shortcut(w.close, kFmEscapeShortcut);
    w.help_timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_end_form();
    fm_set_form_close(w.form, w.close);
    fm_hide_object(w.save_scene_as);  // no command behind it
    fm_set_call_back(w.open_scene, scene_menu_open, 0);
    fm_set_call_back(w.save_scene, scene_menu_save, 0);
    fm_set_call_back(w.save_hairs, scene_menu_save_hairs, 0);
    fm_set_call_back(w.close, scene_menu_close, 0);
    return w.form;
}

void scene_menu_show() {
    SceneMenuWindow &w = scene_menu_window();
    create_scene_menu();
    run_hook(command_hooks().deactivate_main);
    fm_show_form(w.form, FM_PLACE_MOUSE, 1, kTitle);
}

}  // namespace vellimor
