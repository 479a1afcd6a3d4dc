#include <cstdio>

#include "host/scene.h"

namespace vellimor {

SceneState &scene_state() {
    static SceneState state;
    return state;
}

std::string hold_file_name(const std::string &directory, int month, int day, int hour, int minute) {
    char name[64];
    std::snprintf(name, sizeof name, "/fur_hold_%.2d%.2d_%.2d%.2d", month, day, hour + 1,
                  minute + 1);
    return directory + name;
}

}  // namespace vellimor
