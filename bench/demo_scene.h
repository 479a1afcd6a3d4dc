// The bundled demo database opened as the stand-alone program opens it, for the benchmarks.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/draw.h"
#include "render/draw_fur.h"
#include "render/offscreen_target.h"
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

// The demo opened with its stored fur for whole batch frames into a width x height offscreen
// target (made once per process), only the sphere drawn, its fur grown to about `hairs` hairs.
// False when the scene or the target is unavailable.
inline bool open_demo_sphere_with(int hairs, int width, int height) {
    static bool opened = false;
    SceneState &s = scene_state();
    if (!opened) {
        run_state().run_mode = kRunModeStandAlone;
        SAA_InitInternal("", 0, "SDKv1.71.6");
        const std::string database = (source_dir() / "examples" / "furball").string();
        if (MY_read_scene("furball", database.c_str()) != 0) return false;
        read_fur_data(1);
        run_state().run_mode = kRunModePersistent;  // quiet: no progress output
        run_state().batch = 1;
        if (!offscreen_target_create(width, height, OffscreenKind::PBuffer) &&
            !offscreen_target_create(width, height, OffscreenKind::PixMap))
            return false;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        graphics_view().state = ViewState::kRendering;
        opened = true;
    }
    int sphere = -1;
    for (int p = 0; p < s.patch_count(); ++p) {
        if (s.patches[size_t(p)]->name == "Sphere") sphere = p;
        else s.patches[size_t(p)]->deleted = 1;
    }
    if (sphere < 0) return false;
    PatchData &r = *s.patches[size_t(sphere)];
    static int grown_for = -1;  // the count asked for at the last growth
    if (grown_for != hairs) {
        grown_for = hairs;
        // Density scales the count; one correction lands close to the wanted number.
        const int density = std::max(1, r.number_of_hairs_pr_square_unit);
        grow_fur(sphere, density, 0);
        const double per_unit = double(std::max(1, r.hair_count)) / density;
        grow_fur(sphere, std::max(1, int(hairs / per_unit)), 0);
        r.presistant_rebuild = 0;
        r.built_as_preview = 0;
    }
    return true;
}

// Times whole render frames of the demo sphere with about `hairs` hairs into a width x height
// target at antialiasing `level`: the hair geometry, sort, drawing and accumulation of each.
inline void time_demo_sphere_frames(benchmark::State &state, int hairs, int width, int height,
                                    int level) {
    if (!open_demo_sphere_with(hairs, width, height)) {
        state.SkipWithError("demo scene or offscreen target unavailable");
        return;
    }
    display_settings()->antialias_level = level;
    int drawn = 0;
    for (auto _ : state) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawn = draw_fur(kDrawRender, 1, true, false);
        glFinish();
    }
    state.counters["hairs"] = drawn;
    state.SetItemsProcessed(int64_t(state.iterations()) * drawn);
}

}  // namespace vellimor::bench
