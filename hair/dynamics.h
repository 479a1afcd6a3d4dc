// Hair dynamics: how fast and how sharply every root of a surface moves at the current frame,
// measured by evaluating the animated scene just before the frame (and optionally averaged over
// earlier frames).
#pragma once

namespace vellimor {

// The interval of the backward differences, in seconds.
constexpr double kDynamicsInterval = 0.01;

// Measures velocity and acceleration of every root of surface p at the current frame into
// dynamics_state and sets dynamics_valid. The roots must have been built at the current frame.
// A failed host evaluation ends the process.
void calc_dynamics(int p);

}  // namespace vellimor
