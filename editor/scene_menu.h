// The scene menu ("File", titled "Save settings", modal): open a scene of the database, save the
// fur data into the scene, save the hairs as a model file.
#pragma once

#include <optional>
#include <string>

#include "forms/object.h"

namespace vellimor {

constexpr float kSceneMenuWidth = 264, kSceneMenuHeight = 136;

struct SceneMenuWindow {
    FmForm *form = nullptr;
    FmObject *open_scene = nullptr, *save_scene = nullptr, *save_scene_as = nullptr;
    FmObject *save_hairs = nullptr, *close = nullptr;
    FmObject *help_timer = nullptr;
};
SceneMenuWindow &scene_menu_window();

FmForm *create_scene_menu();
// Shows the menu with the main window deactivated.
void scene_menu_show();

// A scene file's database directory and scene name: the path up to its "SCENES" directory, and
// what follows that directory. Nothing when no directory of the path begins with "SCENE"
// (compared in upper case).
struct ScenePathParts {
    std::string database;
    std::string scene;
};
std::optional<ScenePathParts> scene_path_parts(const std::string &path);

// The commands behind the menu's buttons, once a file is chosen.
// Frees every fur record and reads the scene and its fur data; false (with its message) when
// the path is refused or the scene can't be read (then no surface is left).
bool open_scene_file(const std::string &path);
// Writes the fur data into the scene (and the scene to disk when stand-alone); 0 or the host's
// code. Nothing to do without surfaces.
int save_scene_command();
// Writes the hairs of every surface as a model file.
bool save_hairs_to(const std::string &path);

// The buttons' callbacks.
void scene_menu_open(FmObject *, long);
void scene_menu_save(FmObject *, long);
void scene_menu_save_hairs(FmObject *, long);
void scene_menu_close(FmObject *, long);

}  // namespace vellimor
