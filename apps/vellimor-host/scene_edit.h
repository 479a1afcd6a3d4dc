// A scene file that a command changes as a whole: read (or begun, when the import creates it)
// and written back atomically, so that a failed command leaves it byte for byte as it was.
#pragma once

#include <string>

#include "apps/vellimor-host/commands.h"
#include "saa/scene_data.h"

namespace vellimor::host_driver {

struct EditedScene {
    std::string path;  // DATABASE/SCENES/SCENE.dsc
    bool exists = false;
    saa::Scene scene;
};

// Reads -s SCENE of -d DATABASE; with `may_create`, a scene that does not exist yet starts empty.
// Reports one error line and returns false when the names are missing or the file can't be read.
bool read_edited_scene(const CommandLine &line, bool may_create, EditedScene &edited);

// Writes the scene, making the database's folders first when they do not exist.
bool write_edited_scene(const CommandLine &line, const EditedScene &edited);

}  // namespace vellimor::host_driver
