// The shadow model the fur casts on itself.
#pragma once

namespace vellimor {

// Rebuilds the whole shadow model for the current frame.
void quant_patches();

// Exact query: the shadow value (0 lit .. 1 fully shadowed) of `point` for the light at
// `light`, given that the point already has value s. Without a model: s.
float shadow_ray(const float light[3], const float point[3], float s);

// Smooth query on surface p's grid of precomputed shadow values for light number light_index.
// `hint` carries the search position between queries of nearby points (start it at 0).
// Without a grid: 0.
float shadow_smooth(const float point[3], int light_index, int p, int &hint);

// Draws the shadow model's triangles over the view for inspection: translucent, coloured by level
// (red 0, green 1, blue 2, grey above), without depth test.
void draw_shadow_triangles();

}  // namespace vellimor
