// The process-wide scene tables, empty: the fur readers only reach them to free patches.
#include "host/scene.h"

namespace vellimor {

SceneState &scene_state() {
    static SceneState state;
    return state;
}

}  // namespace vellimor
