// The bundled demo database opened as the stand-alone program opens it, for the benchmarks.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "furdata/fur_data.h"
#include "host/globals.h"
#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor::bench {

// The source tree: VELLIMOR_SOURCE_DIR, else two levels above this file (a relative __FILE__
// is relative to the build folder, which holds bin/).
inline std::filesystem::path source_dir() {
    if (const char *dir = std::getenv("VELLIMOR_SOURCE_DIR")) return dir;
    std::filesystem::path file = __FILE__;
    if (file.is_relative())
        file = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / file;
    return file.parent_path().parent_path();
}

// Opens examples/furball once per process (quietly: the persistent run mode shows progress
// nowhere) and returns the index of the named fur surface, or -1.
inline int open_demo_surface(const char *surface) {
    static bool opened = false;
    if (!opened) {
        run_state().run_mode = kRunModeStandAlone;
        SAA_InitInternal("", 0, "SDKv1.71.6");
        const std::string database = (source_dir() / "examples" / "furball").string();
        if (MY_read_scene("furball", database.c_str()) != 0) return -1;
        read_fur_data(0);
        run_state().run_mode = kRunModePersistent;
        opened = true;
    }
    SceneState &s = scene_state();
    for (int p = 0; p < static_cast<int>(s.patches.size()); ++p)
        if (s.patches[p] && s.patches[p]->name == surface) return p;
    return -1;
}

}  // namespace vellimor::bench
