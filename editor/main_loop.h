// The designer's main loop.
#pragma once

namespace vellimor {

// Builds the designer's windows and runs its event loop; returns when the user has left it.
void designer_start();

}  // namespace vellimor
