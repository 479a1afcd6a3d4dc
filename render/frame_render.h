// Frame rendering: frame ranges drawn with antialiasing and alpha passes and saved as PIC files.
#pragma once

namespace vellimor {

// Renders frames start..end by step in draw mode 5 or 6 into the offscreen target, one
// "<base_name>.<frame>.pic" per frame. Returns 0.
int render_frames_batch(int start, int end, int step, int mode, const char *base_name);

}  // namespace vellimor
