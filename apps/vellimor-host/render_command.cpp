// "render": the batch render of a scene for scripts and pipelines. It runs the stand-alone batch
// render in this process, so the pictures are those of `vellimor -b` with the same settings, and
// adds what a pipeline needs: zero-padded frame files, PNG, one log line per frame, the written
// files on stdout, and an exit status that says whether every frame was written.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/common/plugin_loader.h"
#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/render_chunks.h"
#include "apps/vellimor-host/render_options.h"
#include "host/entry_points.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/atomic_file.h"
#include "render/exr_image.h"
#include "render/frame_render.h"
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "render/png_image.h"

namespace vellimor::host_driver {
namespace {

namespace fs = std::filesystem;

constexpr const char *kSceneExtension = ".dsc";
constexpr const char *kRenderFolder = "RENDER_PICTURES";

// The frames asked for, else the scene's play range (a step below 1 counts as 1); empty when
// the play range is.
FrameList frames_to_render(const RenderOptions &options, const SAA_Scene &scene) {
    if (!options.frames.empty()) return options.frames;
    FrameRun range;
    SAA_sceneGetPlayCtrlStartFrame(&scene, &range.start);
    SAA_sceneGetPlayCtrlEndFrame(&scene, &range.end);
    SAA_sceneGetPlayCtrlFrameStep(&scene, &range.step);
    if (range.step < 1) range.step = 1;
    if (range.start > range.end) return {};
    return {range};
}

// DIR/NAME of the frames: the option's, else the scene's name in the database's render folder.
std::string frames_base(const RenderOptions &options, const CommandLine &line) {
    if (!options.output.empty()) return options.output;
    std::string name = fs::path(line.scene).filename().string();
    const std::string extension = kSceneExtension;
    if (name.size() > extension.size() && name.ends_with(extension)) name.resize(name.size() - extension.size());
    return (fs::path(line.database) / kRenderFolder / name).string();
}

std::string folder_of(const std::string &base) {
    const fs::path folder = fs::path(base).parent_path();
    return folder.empty() ? "." : folder.string();
}

// Makes the folder (with its parents) when missing; fails before any work when the frames could
// not be written there at all.
bool folder_is_writable(const std::string &folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error) && !fs::create_directories(folder, error) && error) {
        report_error("cannot write frames into " + folder + ": " + error.message());
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        report_error("cannot write frames into " + folder + ": not writable");
        return false;
    }
    return true;
}

// The stand-alone batch command line that renders the same pictures.
vellimor::CommandLine batch_command_line(const RenderOptions &options, const CommandLine &line,
                                         const FrameList &frames, const std::string &base) {
    vellimor::CommandLine batch = batch_frames(line, options, frames);
    batch.has_size = options.has_size;
    batch.xres = options.width;
    batch.yres = options.height;
    // A picture of another shape than the scene's keeps its pixels square.
    batch.has_aspect = options.has_aspect || options.has_size;
    batch.aspect = options.has_aspect ? options.aspect : float(options.width) / float(options.height);
    batch.has_antialias = options.has_antialias;
    batch.antialias = options.antialias;
    batch.alpha = options.alpha;
    batch.has_output = true;
    batch.output = base;
    return batch;
}

// Writes each rendered frame as the asked formats, logs it and lists its files on stdout.
class FrameFiles {
public:
    FrameFiles(std::string base, PictureFormat format, bool alpha, int total)
        : base_(std::move(base)), format_(format), total_(total),
          encode_png_(alpha ? encode_rgba_png : encode_rgb_png), encode_exr_(alpha ? encode_exr : encode_opaque_exr) {}

    bool write(int frame, const PicImage &picture) {
        // A frame whose drawing Ctrl-C cut short is not a frame.
        if (platform::interrupt_seen()) return false;
        std::string files;
        bool ok = true;
        if (format_ == PictureFormat::exr) ok = save(frame_file(base_, frame, "exr"), picture, encode_exr_, files);
        if (format_ == PictureFormat::pic || format_ == PictureFormat::both)
            ok = save(frame_file(base_, frame, "pic"), picture, encode_pic, files);
        if (ok && (format_ == PictureFormat::png || format_ == PictureFormat::both))
            ok = save(frame_file(base_, frame, "png"), picture, encode_png_, files);
        if (!ok) {
            ++failed_;
            return false;
        }
        ++written_;
        status_message(kStatusPlain, "Frame %d written (%d of %d):%s", frame, written_ + failed_, total_,
                       files.c_str());
        return true;
    }
    int written() const { return written_; }
    int failed() const { return failed_; }

private:
    using Encoder = bool (*)(const PicImage &, std::vector<uint8_t> *, std::string *);

    static bool encode_pic(const PicImage &picture, std::vector<uint8_t> *bytes, std::string *error) {
        *bytes = pic_encode(picture);
        if (!bytes->empty()) return true;
        *error = "the picture can't be encoded";
        return false;
    }
    // Half floats from the sums of the antialiasing passes where the frame had them.
    static bool encode_exr(const PicImage &picture, std::vector<uint8_t> *bytes, std::string *error) {
        return exr_encode(frame_float_picture(picture), bytes, error);
    }
    // Without an alpha pass the frame is opaque.
    static bool encode_opaque_exr(const PicImage &picture, std::vector<uint8_t> *bytes, std::string *error) {
        FloatPicture floats = frame_float_picture(picture);
        for (size_t i = 3; i < floats.rgba.size(); i += 4) floats.rgba[i] = 1.0f;
        return exr_encode(floats, bytes, error);
    }
    // The batch picture always has an alpha plane; without an alpha pass it is opaque, and the
    // PNG leaves it out.
    static bool encode_rgba_png(const PicImage &picture, std::vector<uint8_t> *bytes, std::string *error) {
        return png_encode_picture(picture, true, bytes, error);
    }
    static bool encode_rgb_png(const PicImage &picture, std::vector<uint8_t> *bytes, std::string *error) {
        return png_encode_picture(picture, false, bytes, error);
    }

    // The file appears whole or not at all.
    static bool save(const std::string &path, const PicImage &picture, Encoder encode, std::string &files) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!encode(picture, &bytes, &error)) {
            status_message(kStatusError, "Can't write %s: %s", path.c_str(), error.c_str());
            return false;
        }
        if (!write_file_atomically(path, bytes, &error)) {  // the reason names the file
            status_message(kStatusError, "%s", error.c_str());
            return false;
        }
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        files += " " + path;
        return true;
    }

    std::string base_;
    PictureFormat format_;
    int total_;
    Encoder encode_png_, encode_exr_;
    int written_ = 0, failed_ = 0;
};

// Surfaces without hairs render as bare surfaces; say so before the frames are drawn.
void warn_of_bare_surfaces() {
    for (const auto &record : scene_state().patches) {
        if (!record || record->deleted || record->hair_count > 0) continue;
        status_message(kStatusWarning, "surface %s grows no hairs (number_of_hairs_pr_square_unit = %d)",
                       record->name.c_str(), record->number_of_hairs_pr_square_unit);
    }
}

// Frames outside the play range render all the same (the scene's animation holds its ends);
// say so once, since they are often a typo.
void warn_of_frames_outside_play_range(const FrameList &frames) {
    const SceneState &s = scene_state();
    FrameList outside;
    for_each_frame(frames, [&](int frame) {
        if (frame >= s.start_frame && frame <= s.end_frame) return;
        if (!outside.empty() && outside.back().end + 1 == frame) outside.back().end = frame;
        else outside.push_back({frame, frame, 1});
    });
    if (outside.empty()) return;
    const bool one = frame_count(outside) == 1;
    status_message(kStatusWarning, "%s %s %s outside the play range %d..%d of the scene", one ? "frame" : "frames",
                   frame_spec_text(outside).c_str(), one ? "lies" : "lie", s.start_frame, s.end_frame);
}

// A surface that moves keeps the hairs it grew at the fur frame unless it regrows them at every
// frame: its fur then stays behind. Said once per surface.
void warn_of_moving_surfaces(const FrameList &frames, int fur_frame) {
    if (frame_count(frames) == 1 && frames.front().start == fur_frame) return;
    const SceneState &s = scene_state();
    for (int i = 0; i < s.patch_count(); ++i) {
        const PatchData *record = s.patches[size_t(i)].get();
        int animated = 0;
        if (!record || record->deleted || record->presistant_rebuild ||
            SAA_modelIsAnimated(&s.scene, &s.models[size_t(i)], &animated) != SAA_OK || !animated)
            continue;
        status_message(kStatusWarning,
                       "surface %s moves, but its hairs grow once at frame %d: mark it presistant_rebuild or give "
                       "--all-persistent to regrow them at every frame",
                       record->name.c_str(), fur_frame);
    }
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The size the frames get: the option's, else the scene's; false after one line when no picture
// can have it.
bool picture_size_is_valid(const RenderOptions &options, const SAA_Scene &scene, const std::string &name) {
    int width = options.width, height = options.height;
    if (!options.has_size) {
        SAA_sceneGetRenCtrlXRes(&scene, &width);
        SAA_sceneGetRenCtrlYRes(&scene, &height);
    }
    if (!pic_size_valid(width, height)) {
        report_error("scene " + name + " renders at " + std::to_string(width) + "x" + std::to_string(height) +
                     ", which no picture can hold: give --size W H");
        return false;
    }
    if (offscreen_target_size_supported(width, height)) return true;
    report_error("no offscreen picture of " + std::to_string(width) + "x" + std::to_string(height) +
                 " pixels can be made here: " + offscreen_target_size_text(width, height));
    return false;
}

// The exit status of a render, and its last line.
int reported_outcome(int result, const FrameFiles &files, int count, bool fur_grown, const std::string &scene,
                     const std::string &folder, double seconds) {
    if (result == kInterrupted) {
        report_error("interrupted: " + std::to_string(files.written()) + " of " + std::to_string(count) +
                     " frames written");
        return kInterrupted;
    }
    if (files.failed() > 0) {
        report_error(std::to_string(files.failed()) + " of " + std::to_string(count) +
                     " frames could not be written (see the ERROR lines above)");
        return kExitFailure;
    }
    if (result == kFrameFailure) {
        report_error(std::to_string(count - files.written()) + " of " + std::to_string(count) +
                     " frames failed (see the ERROR lines above)");
        return kExitFailure;
    }
    if (result != 0 || files.written() != count) {
        const RunState &run = run_state();
        report_error(!fur_grown ? "scene " + scene + " was not rendered (see the lines above)"
                                : "no offscreen picture of " + std::to_string(run.render_xres) + "x" +
                                      std::to_string(run.render_yres) + " pixels can be made here");
        return kExitFailure;
    }
    std::fprintf(stderr, "%d frame%s in %.1f s (%.2f s a frame) \u2192 %s\n", count, count == 1 ? "" : "s", seconds,
                 seconds / count, folder.c_str());
    return kExitSuccess;
}

}  // namespace

int run_render(const CommandLine &line) {
    const auto started = std::chrono::steady_clock::now();
    RenderOptions options;
    if (!parse_render_options(line.args, options)) return kExitUsage;
    if (options.help) {
        std::fputs(render_usage(), stdout);
        return kExitSuccess;
    }
    if (line.database.empty() || line.scene.empty()) {
        report_error("render needs -d DATABASE and -s SCENE");
        return kExitUsage;
    }
    SAA_Database database{};
    SAA_Scene scene{};
    if (!open_scene(line, database, scene)) return kExitFailure;
    const FrameList frames = frames_to_render(options, scene);
    if (frames.empty()) {
        report_error("the play range of scene " + line.scene + " is empty: give --frames");
        return kExitFailure;
    }
    if (!picture_size_is_valid(options, scene, line.scene)) return kExitFailure;
    const std::string base = frames_base(options, line);
    const std::string folder = folder_of(base);
    if (!folder_is_writable(folder)) return kExitFailure;
    const int fur_frame = fur_frame_of(options, scene, first_frame(frames));
    const int count = int(frame_count(frames));
    if (options.jobs > 1 && count > 1) return render_in_processes(line, options, frames, fur_frame, folder);

    use_threads(options.threads);
    app::set_host_environment();
    FrameFiles files(base, options.format, options.alpha, count);
    bool fur_grown = false;
    BatchHooks hooks;
    hooks.write_frame = [&files](int frame, const PicImage &picture) { return files.write(frame, picture); };
    hooks.fur_grown = [&fur_grown, &frames, fur_frame] {
        fur_grown = true;
        warn_of_bare_surfaces();
        warn_of_frames_outside_play_range(frames);
        warn_of_moving_surfaces(frames, fur_frame);
    };
    hooks.exact_tubes = options.exact_tubes;
    render_frame_list(hooks, frames, fur_frame);
    if (options.max_memory > 0) hooks.max_memory = options.max_memory;
    keep_float_pictures(options.format == PictureFormat::exr);
    const int result = run_stand_alone(batch_command_line(options, line, frames, base), hooks);
    return reported_outcome(result, files, count, fur_grown, line.scene, folder, seconds_since(started));
}

}  // namespace vellimor::host_driver
