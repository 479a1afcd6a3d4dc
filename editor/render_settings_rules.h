// The render settings' rules, free of the window: the resolution with its aspect ratio, the frame
// range checked against the scene's, and the scene range saved while the window is up.
#pragma once

namespace vellimor {

constexpr int kNoRememberedRange = -999;

struct RenderResolution {
    int x = 384;
    int y = 288;
    float aspect = -1.0f;  // -1 until the window first opens
};

struct RenderFrameRange {
    int start = kNoRememberedRange;
    int end = 0;
    int step = 1;
};

// Everything the render settings keep while the plug-in is loaded.
struct RenderSettingsState {
    RenderResolution resolution;
    RenderFrameRange remembered;  // start kNoRememberedRange: none yet
    RenderFrameRange saved_scene;  // the scene's range while the window is up
    int saved_current = 0;
    bool open = false;
};
RenderSettingsState &render_settings_state();
// Back to the start values (tests; a fresh library load).
void render_settings_state_reset();

enum class ResolutionField { kX, kY, kAspect };

// Y from X (or X from Y) by the aspect ratio, as the window computes them.
int height_for(int x, float aspect);
int width_for(int y, float aspect);

// A typed resolution: a non-positive aspect is reported and replaced by the scene's; the changed
// field is raised to at least 2 and the other follows from the aspect ratio.
RenderResolution apply_resolution(RenderResolution typed, ResolutionField changed, float scene_aspect);

// A typed frame range: a zero step becomes 1 and a negative one positive (each reported), start
// and end are exchanged when end < start, and both are clamped into the scene's range (reported
// as warnings).
RenderFrameRange apply_frame_range(RenderFrameRange typed, int scene_start, int scene_end);

// Opening the window: the aspect ratio taken from the scene the first time, Y from X; the scene's
// range saved and, when a range was remembered, put in its place while the window is up.
void render_settings_open(float scene_aspect);
// "Cancel" and after "Render": `shown` becomes the remembered range and the scene's own range
// is back in force.
void render_settings_close(const RenderFrameRange &shown);

}  // namespace vellimor
