// The offscreen render target of batch renders.
#pragma once

namespace vellimor {

enum class OffscreenKind { PBuffer, PixMap };

// Creates the target of the given size and makes it current; false when it can't be made.
bool offscreen_target_create(int width, int height, OffscreenKind kind);
// Destroys the target when there is one.
void offscreen_target_destroy();

}  // namespace vellimor
