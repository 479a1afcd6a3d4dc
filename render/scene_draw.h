// The scene behind the hairs: the host's objects by display mode, the background, the designer's
// overlays and the texture key marker.
#pragma once

namespace vellimor {

struct TextureKey;

// Display modes of surfaces (Patch_display_mode) and of all other objects (other_display_mode).
enum ObjectDisplayMode {
    kDisplayHidden = 0,
    kDisplayWire = 1,
    kDisplayShade = 2,
    kDisplayTextured = 3,
    kDisplayZbuffer = 4,
    kDisplayMatte = 5
};

// Makes sure the scene has graphics properties to draw with.
void ensure_graphics_properties();

// Clears the depth buffer, draws the scene's objects by display mode and the background, and
// leaves the depth test on and lighting off. frame -1 with a preview mode is an interactive view.
void draw_scene(int frame, int mode);

// The designer's overlays: selected surfaces as wireframe, the axes, the lights, the gravity
// nulls and the wind.
void draw_overlays();

// Marks texture key `key` on surface p with a line along the surface normal (red through
// everything, green where visible) and its number; circle keys are outlined on the surface.
void draw_texture_key_marker(int p, const TextureKey &key, int key_number);

}  // namespace vellimor
