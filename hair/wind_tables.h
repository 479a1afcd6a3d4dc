// The per-frame wind tables of the play range.
#pragma once

namespace vellimor {

// Fills the wind tables of the scene state for the play range, from the wind null when the scene
// has one, else with the built-in defaults.
void build_wind_tables();

}  // namespace vellimor
