// The current frame: the frame slider over the play range, the frame field and the two arrows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"
#include "host/scene.h"

namespace vellimor {
namespace {

int clamp_to_range(int frame) {
    const SceneState &s = scene_state();
    return std::clamp(frame, std::min(s.start_frame, s.end_frame), std::max(s.start_frame, s.end_frame));
}

void set_frame(int frame) {
    scene_state().current_frame = frame;
    editor_state().camera_mode = kCameraFrameChanged;
    frame_controls_update();
    redraw_views();
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
    scene_state().current_frame = frame;
    editor_state().camera_mode = kCameraFrameChanged;
    // The slider stays where it was dragged; only the field follows.
    char text[32];
    std::snprintf(text, sizeof text, "%d", frame);
    fm_set_input(designer_windows().main.frame_field, text);
    redraw_views();
}

void frame_field_callback(FmObject *obj, long) {
    const char *text = fm_get_input(obj);
    set_frame(clamp_to_range(text ? std::atoi(text) : 0));
}

void frame_arrow_callback(FmObject *, long step) {
    set_frame(clamp_to_range(scene_state().current_frame + int(step)));
}

}  // namespace vellimor
