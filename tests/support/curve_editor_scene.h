// The scene the curve editor's tests start from, with or without a display: no curves, fresh
// display settings, no surfaces, frames 1..30 played at `current_frame`.
#pragma once

#include "fcurve/fcurve_list.h"
#include "furdata/display_settings.h"
#include "host/scene.h"

namespace vellimor::test {

inline SceneState &reset_curve_editor_scene(int current_frame) {
    fcurve_delete_all();
    display_settings_create();
    SceneState &s = scene_state();
    s.patches.clear();
    s.start_frame = 1;
    s.end_frame = 30;
    s.current_frame = current_frame;
    return s;
}

}  // namespace vellimor::test
