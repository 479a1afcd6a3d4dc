// Scene files edited whole by the import and flip-surface commands.
#include "apps/vellimor-host/scene_edit.h"

#include <filesystem>

#include "saa/atomic_file.h"
#include "saa/scene_file.h"

namespace vellimor::host_driver {

namespace {

namespace fs = std::filesystem;

constexpr const char *kSceneEnding = ".dsc";
constexpr const char *kDatabaseFolders[] = {"SCENES", "MODELS", "PICTURES", "RENDER_PICTURES"};

}  // namespace

bool read_edited_scene(const CommandLine &line, bool may_create, EditedScene &edited) {
    if (line.database.empty() || line.scene.empty()) {
        report_error(line.command + " needs -d DATABASE and -s SCENE");
        return false;
    }
    std::string name = line.scene;
    const std::string ending(kSceneEnding);
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        name.resize(name.size() - ending.size());
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        report_error("\"" + line.scene + "\": not a plain scene name");
        return false;
    }
    edited.path = line.database + "/SCENES/" + name + kSceneEnding;
    std::error_code ec;
    edited.exists = fs::exists(edited.path, ec);
    if (!edited.exists) {
        if (!may_create) {
            report_error("cannot load scene " + edited.path + ": no such scene file");
            return false;
        }
        edited.scene = saa::empty_scene();
        return true;
    }
    try {
        edited.scene = saa::read_scene_file(edited.path);
    } catch (const saa::SceneFileError &e) {
        report_error("cannot load scene " + edited.path + ": " + e.what());
        return false;
    }
    return true;
}

bool write_edited_scene(const CommandLine &line, const EditedScene &edited) {
    std::error_code ec;
    for (const char *folder : kDatabaseFolders) {
        fs::create_directories(fs::path(line.database) / folder, ec);
        if (ec) {
            report_error("cannot make " + (fs::path(line.database) / folder).string() + ": " + ec.message());
            return false;
        }
    }
    try {
        saa::write_file_atomically(edited.path, saa::scene_to_text(edited.scene));
    } catch (const saa::WriteError &e) {
        report_error("cannot save scene " + edited.path + ": " + e.what());
        return false;
    }
    return true;
}

}  // namespace vellimor::host_driver
