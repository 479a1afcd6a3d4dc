// The batch render of the stand-alone command line (-b): the scene's fur grown once, then a
// frame range drawn into the offscreen target and saved. The host driver's render command runs
// the same path with its own frame writer, so both give the same pictures.
#pragma once

#include <functional>

#include "host/command_line.h"
#include "render/frame_render.h"

namespace vellimor {

// A batch render that ran but could not save every frame.
constexpr int kFrameFailure = 1;
// A batch render stopped by Ctrl-C (the shells' status for an interrupted program).
constexpr int kInterrupted = 130;

// What a caller adds to the written batch render.
struct BatchHooks {
    FrameWriter write_frame;          // empty: "<output>.<frame>.pic"
    std::function<void()> fur_grown;  // after every surface has grown its hairs
};

// Renders the frames the command line asks for (else the play range) from the loaded scene,
// then frees the scene's tables. 0 when every frame was saved; kUsageError when the range or
// the render size is wrong or no offscreen target can be made; kFrameFailure when a frame was
// not saved; kInterrupted when Ctrl-C stopped it (after the frame it came in).
int batch_render(const CommandLine &line, const BatchHooks &hooks = {});

}  // namespace vellimor
