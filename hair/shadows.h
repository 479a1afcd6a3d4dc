// The shadow model the fur casts on itself.
#pragma once

namespace vellimor {

// Rebuilds the whole shadow model for the current frame.
void quant_patches();

}  // namespace vellimor
