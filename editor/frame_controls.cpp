// The current frame: the frame slider over the play range, the frame field and the two arrows.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/keymap_editor.h"
#include "editor/slider_panel.h"
#include "forms/forms.h"
#include "hair/channel_maps.h"
#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

int clamp_to_range(int frame) {
    const SceneState &s = scene_state();
    return std::clamp(frame, std::min(s.start_frame, s.end_frame), std::max(s.start_frame, s.end_frame));
}

// The new frame shows everywhere at once: the host's moving surfaces are evaluated there (as the
// fur is), and the slider panel shows the animated values of that frame.
void go_to_frame(int frame) {
    SceneState &s = scene_state();
    s.current_frame = frame;
    editor_state().camera_mode = kCameraFrameChanged;
    double seconds = 0.0;
    if (SAA_frame2Seconds(&s.scene, frame, &seconds) == SAA_OK) SAA_updatelistEvalScene(&s.scene, seconds);
    for (auto &p : s.patches)
        if (p && p->is_selected) animate_record(*p, frame);
    if (s.current_patch >= 0 && s.current_patch < int(s.patches.size()) && s.patches[size_t(s.current_patch)]) {
        slider_panel_load(*s.patches[size_t(s.current_patch)]);
        keymap_load_sliders();
    }
    redraw_views();
}

void set_frame(int frame) {
    go_to_frame(frame);
    frame_controls_update();
}

}  // namespace

void frame_controls_update() {
    const SceneState &s = scene_state();
    MainWindowObjects &m = designer_windows().main;
    const int span = s.end_frame - s.start_frame;
    if (m.frame_slider)
        fm_set_slider_value(m.frame_slider, span != 0 ? float(s.current_frame - s.start_frame) / float(span) : 0.0f);
    if (m.frame_field) {
        char text[32];
        std::snprintf(text, sizeof text, "%d", s.current_frame);
        fm_set_input(m.frame_field, text);
    }
}

void frame_slider_callback(FmObject *obj, long) {
    const SceneState &s = scene_state();
    const float value = fm_get_slider_value(obj);
    const int frame = s.start_frame + int(std::trunc(value * float(s.end_frame - s.start_frame)));
    // The slider stays where it was dragged; only the field follows.
    char text[32];
    std::snprintf(text, sizeof text, "%d", frame);
    fm_set_input(designer_windows().main.frame_field, text);
    go_to_frame(frame);
}

void frame_field_callback(FmObject *obj, long) {
    const std::optional<float> frame = field_number(obj);
    if (!frame) {
        frame_controls_update();
        return;
    }
    set_frame(clamp_to_range(int(std::clamp(std::trunc(*frame), -1e9f, 1e9f))));
}

void frame_arrow_callback(FmObject *, long step) {
    set_frame(clamp_to_range(scene_state().current_frame + int(step)));
}

}  // namespace vellimor
