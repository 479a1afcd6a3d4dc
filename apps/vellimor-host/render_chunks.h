// Chunks of a render: a frame range cut into runs of consecutive frames that separate processes
// (side by side with --jobs, or as the tasks of a Slurm job array) render into the same frame
// files. Every chunk grows its fur at the same frame as the whole run would, so its pictures are
// those of the same frames of one long render.
#pragma once

#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/frame_list.h"
#include "apps/vellimor-host/render_options.h"
#include "host/batch_render.h"
#include "host/command_line.h"

namespace vellimor::host_driver {

// The stand-alone batch command line for the scene `line` names, with every surface regrowing
// when the options ask for it, and the hooks that render `frames` chunk-safely from `fur_frame`;
// callers add what else they need.
vellimor::CommandLine batch_frames(const CommandLine &line, const RenderOptions &options, const FrameList &frames);
void render_frame_list(BatchHooks &hooks, const FrameList &frames, int fur_frame);

// The frame at which surfaces not regrown every frame grow their fur: --fur-frame, else the
// scene's play start, or the range's start when that comes earlier.
int fur_frame_of(const RenderOptions &options, const SAA_Scene &scene, int first_frame);

// The arguments after "render" that render one chunk with these options: -d and -s as given,
// every picture option, the chunk's --frames and the run's --fur-frame, never --jobs.
std::vector<std::string> chunk_render_arguments(const CommandLine &line, const RenderOptions &options,
                                                const FrameList &chunk, int fur_frame);

// --jobs: the frames rendered by options.jobs processes side by side, each a chunk of them; a
// last line gives the time taken. The exit status as render_chunks_in_processes'.
int render_in_processes(const CommandLine &line, const RenderOptions &options, const FrameList &frames,
                        int fur_frame, const std::string &folder);

// Renders the chunks in processes of this program side by side, at most `jobs` at a time; their
// logs and listed files pass through. The exit status of the render: 0 when every chunk rendered
// every frame, 130 when interrupted, 1 otherwise (one line names the chunks that failed).
int render_chunks_in_processes(const CommandLine &line, const RenderOptions &options,
                               const std::vector<FrameList> &chunks, int fur_frame, int jobs);

// The running program, as an absolute path (what a batch script or a child process runs).
std::string this_program();

}  // namespace vellimor::host_driver
