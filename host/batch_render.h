// The batch render of the stand-alone command line (-b): the scene's fur grown once, then a
// frame range drawn into the offscreen target and saved. The host driver's render command runs
// the same path with its own frame writer, so both give the same pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "host/command_line.h"
#include "render/frame_render.h"
#include "render/hair_export.h"

namespace vellimor {

// A batch render that ran but could not save every frame.
constexpr int kFrameFailure = 1;
// A batch render stopped by Ctrl-C (the shells' status for an interrupted program).
constexpr int kInterrupted = 130;

// Frames start, start + step, ... up to end.
struct FrameSpan {
    int start = 0, end = 0, step = 1;
};

// What a caller adds to the written batch render.
struct BatchHooks {
    FrameWriter write_frame;          // empty: "<output>.<frame>.pic"
    std::function<void()> fur_grown;  // after every surface has grown its hairs
    // Chunk-safe frames: the fur of surfaces not regrown every frame grows at this frame instead
    // of the first rendered one, and every frame is drawn from one random state, so a frame's
    // picture depends neither on where its run starts nor on the frames drawn before it. Unset:
    // the written batch render. Needs write_frame.
    std::optional<int> fur_frame;
    // Chunk-safe renders only: these runs of frames in turn, each after its own pre-roll, instead
    // of the command line's one range.
    std::vector<FrameSpan> frame_runs;
    // Set: draw mode 8, no pictures; every frame's hairs go to this writer.
    HairExportWriter export_hairs;
    // The memory the render may need, in bytes; unset: the machine's default. A render estimated
    // to need more is refused before any hair grows.
    std::optional<int64_t> max_memory;
    // Set: the hairs are drawn as the exact tubes (the display setting exact_tubes) for the run.
    bool exact_tubes = false;
};

// Renders the frames the command line asks for (else the play range) from the loaded scene,
// then frees the scene's tables. 0 when every frame was saved; kUsageError when the range or
// the render size is wrong, no offscreen target can be made or the render would need more memory
// than allowed; kFrameFailure when a frame was not saved or lost hairs (an ERROR line while it was
// grown or drawn); kInterrupted when Ctrl-C stopped it (after the frame it came in).
int batch_render(const CommandLine &line, const BatchHooks &hooks = {});

}  // namespace vellimor
