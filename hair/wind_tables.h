// Wind: per-frame tables of the wind null's frequency, step and accumulated drift, and the point
// at which a hair samples the wind noise.
#pragma once

namespace vellimor {

struct PatchData;
struct HairRoot;

// Without a wind null the wind drifts this far along x per frame, at frequency 1.
constexpr float kDefaultWindStep = 0.1f;

// Fills the scene's wind tables for every frame of the play range: from the wind null when the
// scene has one (evaluating the scene at every frame, then back at the current frame), else the
// built-in drift.
void build_wind_tables();

// The point at which the hair of `root` samples the wind noise at `frame`.
// `surface_translation` is the surface model's global translation, used when the record's
// wind_move_with_geometry is set. Frames outside the play range use its nearest end.
void wind_sample_point(const PatchData &record, const HairRoot &root, int frame,
                       const float surface_translation[3], float out[3]);

}  // namespace vellimor
