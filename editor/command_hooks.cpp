#include "editor/command_hooks.h"

#include <vector>

#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor {

CommandHooks &command_hooks() {
    static CommandHooks hooks;
    return hooks;
}

std::string database_subdirectory(const char *name) {
    const SceneState &s = scene_state();
    int length = 0;
    if (SAA_databaseGetPathLength(&s.database, &length) != SAA_OK || length <= 0) return "";
    std::vector<char> path(static_cast<size_t>(length) + 1, '\0');
    if (SAA_databaseGetPath(&s.database, length + 1, path.data()) != SAA_OK) return "";
    return std::string(path.data()) + "/" + name;
}

}  // namespace vellimor
