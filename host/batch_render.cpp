#include "host/batch_render.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "hair/random_generators.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/draw.h"
#include "render/frame_memory.h"
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr const char *kDefaultOutputName = "offscreen";
// Draw mode 8 draws into a target of this many pixels a side: it only grows the hairs.
constexpr int kExportTargetSize = 10;

// The frames of a batch render: the command line's, else the play range. False (after the
// messages) when the start lies after the end.
bool batch_frames(const CommandLine &line, FrameSpan &range) {
    const SceneState &s = scene_state();
    if (!line.has_frames) {
        range = {s.start_frame, s.end_frame, s.frame_step};
        return true;
    }
    range = {line.start, line.end, line.step < 1 ? 1 : line.step};
    if (range.start > range.end) {
        std::fprintf(stderr, "Render sequence error: start %d end %d\n", range.start, range.end);
        std::fprintf(stderr,
                     "Check the start and end frames in the host, \nit is not possible to render "
                     "frames outside the limits set in the host\n");
        return false;
    }
    return true;
}

bool open_offscreen_target(bool pixmap_only) {
    const RunState &run = run_state();
    if (!pixmap_only) {
        if (offscreen_target_create(run.render_xres, run.render_yres, OffscreenKind::PBuffer))
            return true;
        std::fprintf(stderr, "Can't open PBuffer offscreen image, trying PixMap\n");
    }
    if (offscreen_target_create(run.render_xres, run.render_yres, OffscreenKind::PixMap)) return true;
    std::fprintf(stderr, "Can't open PixMap offscreen image\n");
    return false;
}

// The depth sorts draw their pivots from the process-wide 15-bit generator, whose state would
// otherwise carry over from frame to frame: equal depths could then be ordered differently in a
// frame drawn alone than in the same frame of a longer run. Every frame starts from this state.
constexpr uint32_t kFrameRandomSeed = 1;

void start_frame_random_state() { standard_srand(kFrameRandomSeed); }

// The frame writer, resetting the random state for the frame that follows.
FrameWriter frames_from_one_random_state(const FrameWriter &write) {
    start_frame_random_state();
    return [write](int frame, const PicImage &picture) {
        const bool written = write(frame, picture);
        start_frame_random_state();
        return written;
    };
}

void stop_interrupt_routing() {
    platform::stop_routing_interrupt_to_escape();
    platform::clear_interrupt();
}

}  // namespace

int batch_render(const CommandLine &line, const BatchHooks &hooks) {
    SceneState &s = scene_state();
    RunState &run = run_state();
    FrameSpan range;
    if (!batch_frames(line, range)) {
        free_all();
        return kUsageError;
    }
    s.current_frame = hooks.fur_frame.value_or(range.start);
    double time = 0.0;
    SAA_frame2Seconds(&s.scene, s.current_frame, &time);
    SAA_updatelistEvalScene(&s.scene, time);
    config().single_buffer = 1;

    read_fur_data(1);
    display_settings()->use_opengl = 1;
    if (hooks.exact_tubes) display_settings()->exact_tubes = true;
    if (hooks.export_hairs) {
        run.render_xres = kExportTargetSize;
        run.render_yres = kExportTargetSize;
    } else if (line.has_size) {
        run.render_xres = line.xres;
        run.render_yres = line.yres;
    } else {
        SAA_sceneGetRenCtrlXRes(&s.scene, &run.render_xres);
        SAA_sceneGetRenCtrlYRes(&s.scene, &run.render_yres);
    }
    // No frame of this size could be saved: say so before any work instead of after every frame.
    if (!pic_size_valid(run.render_xres, run.render_yres)) {
        std::fprintf(stderr, "Unable to allocate picture\n");
        std::fprintf(stderr, "Render size %dx%d: a picture is 1 to %d pixels wide and high\n", run.render_xres,
                     run.render_yres, kPicMaxDimension);
        free_all();
        return kUsageError;
    }
    // A target Mesa cannot draw into would crash it: refused before any work, as a target that
    // cannot be opened.
    if (!offscreen_target_size_supported(run.render_xres, run.render_yres)) {
        std::fprintf(stderr, "Failed to create DIBSection\n%s\n",
                     offscreen_target_size_text(run.render_xres, run.render_yres).c_str());
        std::fprintf(stderr, line.pixmap_only ? "Can't open PixMap offscreen image"
                                              : "Can't open PBuffer offscreen image, trying PixMap");
        if (!line.pixmap_only) std::fprintf(stderr, "Can't open PixMap offscreen image");
        free_all();
        return kUsageError;
    }
    const int antialias = line.has_antialias ? line.antialias : display_settings()->antialias_level;
    const FrameMemory need =
        estimate_frame_memory(run.render_xres, run.render_yres, bool(hooks.export_hairs), antialias > 0);
    if (!frame_memory_fits(need, hooks.max_memory.value_or(default_memory_limit()))) {
        free_all();
        return kUsageError;
    }
    if (line.persistent_all) {
        for (auto &p : s.patches) {
            if (p) p->presistant_rebuild = 1;
        }
    }
    // Ctrl-C aborts the hair build and the render the way Escape does.
    platform::route_interrupt_to_escape();
    const int errors = status_error_count();
    build_all_patches(0, 0);
    if (status_error_count() > errors && !platform::interrupt_seen()) {
        // Hairs that could not be grown are missing from every frame: none is drawn.
        status_message(kStatusError, "Frames %d..%d not rendered: the hairs could not all be grown", range.start,
                       range.end);
        stop_interrupt_routing();
        free_all();
        return kFrameFailure;
    }
    if (hooks.fur_grown) hooks.fur_grown();

    const std::string output = line.has_output ? line.output : kDefaultOutputName;
    if (line.has_aspect) SAA_cameraSetAspectRatio(&s.scene, &s.camera, line.aspect);
    if (line.has_antialias) {
        const bool valid = line.antialias >= 0 && line.antialias <= kMaxAntialiasLevel;
        display_settings()->antialias_level = valid ? line.antialias : 0;
    }
    if (!open_offscreen_target(line.pixmap_only)) {
        stop_interrupt_routing();
        free_all();
        return kUsageError;
    }
    const ScopedHairExportWriter export_writer(hooks.export_hairs);
    const int mode = hooks.export_hairs ? kDrawExport : line.alpha ? kDrawRenderAlpha : kDrawRender;
    const bool chunk_safe = hooks.fur_frame && hooks.write_frame;
    const std::vector<FrameSpan> runs = hooks.frame_runs.empty() ? std::vector<FrameSpan>{range} : hooks.frame_runs;
    int failed = 0;
    for (const FrameSpan &run : runs) {
        if (chunk_safe && run.start > *hooks.fur_frame) {
            const int previous = std::max(run.start - std::max(run.step, 1), *hooks.fur_frame);
            std::fprintf(stderr, "Pre-roll: frame %d drawn, not saved\n", previous);
            render_frames_batch(previous, previous, 1, mode, output.c_str(),
                                frames_from_one_random_state([](int, const PicImage &) { return true; }));
        }
        failed += render_frames_batch(run.start, run.end, run.step, mode, output.c_str(),
                                      chunk_safe ? frames_from_one_random_state(hooks.write_frame) : hooks.write_frame);
        if (platform::interrupt_seen()) break;
    }
    const bool interrupted = platform::interrupt_seen();
    stop_interrupt_routing();
    offscreen_target_destroy();
    free_all();
    if (interrupted) return kInterrupted;
    return failed > 0 ? kFrameFailure : 0;
}

}  // namespace vellimor
