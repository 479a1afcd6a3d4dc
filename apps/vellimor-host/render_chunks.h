// Chunks of a render: a frame range cut into runs of consecutive frames that separate processes
// (side by side with --jobs, or as the tasks of a Slurm job array) render into the same frame
// files. Every chunk grows its fur at the same frame as the whole run would, so its pictures are
// those of the same frames of one long render.
#pragma once

#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/render_options.h"
#include "host/command_line.h"

namespace vellimor::host_driver {

struct FrameChunk {
    int start = 0, end = 0, step = 1;
    int count() const;
};

// start..end by step (start <= end, step >= 1) cut into at most `chunks` runs of consecutive
// frames, as equal as they come (earlier runs one frame longer where they cannot be equal).
std::vector<FrameChunk> split_into_chunks(int start, int end, int step, int chunks);

// start..end by step cut into runs of `size` frames; the last run takes what is left.
std::vector<FrameChunk> chunks_of_size(int start, int end, int step, int size);

// The stand-alone batch command line for frames start..end by step of the scene `line` names,
// with every surface regrowing when the options ask for it; callers add what else they need.
vellimor::CommandLine batch_frames(const CommandLine &line, const RenderOptions &options, int start,
                                   int end, int step);

// The frame at which surfaces not regrown every frame grow their fur: --fur-frame, else the
// scene's play start, or the range's start when that comes earlier.
int fur_frame_of(const RenderOptions &options, const SAA_Scene &scene, int range_start);

// The arguments after "render" that render one chunk with these options: -d and -s as given,
// every picture option, the chunk's --frames and the run's --fur-frame, never --jobs.
std::vector<std::string> chunk_render_arguments(const CommandLine &line, const RenderOptions &options,
                                                const FrameChunk &chunk, int fur_frame);

// --jobs: the range rendered by options.jobs processes side by side, each a chunk of consecutive
// frames; a last line gives the time taken. The exit status as render_chunks_in_processes'.
int render_in_processes(const CommandLine &line, const RenderOptions &options, const FrameChunk &range,
                        int fur_frame, const std::string &folder);

// Renders the chunks in processes of this program side by side, at most `jobs` at a time; their
// logs and listed files pass through. The exit status of the render: 0 when every chunk rendered
// every frame, 130 when interrupted, 1 otherwise (one line names the chunks that failed).
int render_chunks_in_processes(const CommandLine &line, const RenderOptions &options,
                               const std::vector<FrameChunk> &chunks, int fur_frame, int jobs);

// The running program, as an absolute path (what a batch script or a child process runs).
std::string this_program();

}  // namespace vellimor::host_driver
