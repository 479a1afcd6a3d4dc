#include "editor/render_settings_rules.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr int kSmallestSide = 2;
// A side computed from the other and the aspect ratio is never empty: a picture needs a pixel.
constexpr int kSmallestDerivedSide = 1;

}  // namespace

RenderSettingsState &render_settings_state() {
    static RenderSettingsState state;
    return state;
}

void render_settings_state_reset() { render_settings_state() = RenderSettingsState{}; }

int height_for(int x, float aspect) { return static_cast<int>((static_cast<float>(x) + 0.5f) / aspect); }
int width_for(int y, float aspect) { return static_cast<int>((static_cast<float>(y) + 0.5f) * aspect); }

RenderResolution apply_resolution(RenderResolution typed, ResolutionField changed, float scene_aspect) {
    RenderResolution r = typed;
    if (r.aspect <= 0.0f) {
        status_message(kStatusError, "Invalid aspect ratio %f", r.aspect);
        r.aspect = scene_aspect > 0.0f ? scene_aspect : 1.0f;
    }
    if (changed == ResolutionField::kY) {
        r.y = std::max(r.y, kSmallestSide);
        r.x = std::max(width_for(r.y, r.aspect), kSmallestDerivedSide);
    } else {
        r.x = std::max(r.x, kSmallestSide);
        r.y = std::max(height_for(r.x, r.aspect), kSmallestDerivedSide);
    }
    return r;
}

RenderFrameRange apply_frame_range(RenderFrameRange typed, int scene_start, int scene_end) {
    RenderFrameRange r = typed;
    if (r.step == 0) {
        status_message(kStatusError, "Frame step is Zero. Changed to 1");
        r.step = 1;
    } else if (r.step < 0) {
        status_message(kStatusError, "Can't render backwards. Frame step changed to -Frame step");
        r.step = r.step == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max() : -r.step;
    }
    if (r.end < r.start) std::swap(r.start, r.end);
    if (r.start < scene_start) {
        status_message(kStatusWarning, "Start frame clamped to start frame set in the host");
        r.start = scene_start;
    }
    if (r.end > scene_end) {
        status_message(kStatusWarning, "End frame clamped to end frame set in the host");
        r.end = scene_end;
    }
    return r;
}

void render_settings_open(float scene_aspect) {
    RenderSettingsState &state = render_settings_state();
    SceneState &s = scene_state();
    RenderResolution &r = state.resolution;
    if (r.aspect < 0.0f) r.aspect = scene_aspect > 0.0f ? scene_aspect : 1.0f;
    r.y = height_for(r.x, r.aspect);
    // Opening again while up must not take the remembered range for the scene's own.
    if (!state.open) {
        state.saved_scene = {s.start_frame, s.end_frame, s.frame_step};
        state.saved_current = s.current_frame;
    }
    state.open = true;
    if (state.remembered.start != kNoRememberedRange) {
        s.start_frame = state.remembered.start;
        s.end_frame = state.remembered.end;
        s.frame_step = state.remembered.step;
    }
}

void render_settings_close(const RenderFrameRange &shown) {
    RenderSettingsState &state = render_settings_state();
    state.remembered = shown;
    if (!state.open) return;
    SceneState &s = scene_state();
    s.start_frame = state.saved_scene.start;
    s.end_frame = state.saved_scene.end;
    s.frame_step = state.saved_scene.step;
    state.open = false;
}

}  // namespace vellimor
