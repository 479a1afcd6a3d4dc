// The light table that shading reads: the scene's lights, re-read once per frame, or one light at
// the camera when the scene has none.
#pragma once

namespace vellimor {

// The colours of the light that stands in for a scene without lights.
constexpr float kDefaultLightColor = 0.8f;
constexpr float kDefaultLightShadowColor = 0.4f;
constexpr float kDefaultLightRange = 100000.0f;

// Refreshes scene_state().light_cache for the current frame.
void update_light_table();

}  // namespace vellimor
