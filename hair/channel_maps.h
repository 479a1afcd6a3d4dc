// Channel maps: the per-surface value maps painted by the texture keys.
#pragma once

namespace vellimor {

// Brings every map of surface p up to date for the current frame.
void update_channel_maps(int p);

}  // namespace vellimor
