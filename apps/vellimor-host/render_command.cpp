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
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "render/png_image.h"

namespace vellimor::host_driver {
namespace {

namespace fs = std::filesystem;

constexpr const char *kSceneExtension = ".dsc";
constexpr const char *kRenderFolder = "RENDER_PICTURES";

struct FrameRange {
    int start = 0, end = 0, step = 1;
    int count() const { return int((int64_t(end) - start) / step + 1); }
};

// The frames asked for, else the scene's play range (a step below 1 counts as 1).
FrameRange frames_to_render(const RenderOptions &options, const SAA_Scene &scene) {
    FrameRange range{options.start, options.end, options.step};
    if (!options.has_frames) {
        SAA_sceneGetPlayCtrlStartFrame(&scene, &range.start);
        SAA_sceneGetPlayCtrlEndFrame(&scene, &range.end);
        SAA_sceneGetPlayCtrlFrameStep(&scene, &range.step);
    }
    if (range.step < 1) range.step = 1;
    return range;
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

// Fails before any work when the frames could not be written at all.
bool folder_is_writable(const std::string &folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        report_error("cannot write frames into " + folder + ": no such folder");
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
                                         const FrameRange &range, const std::string &base) {
    vellimor::CommandLine batch = batch_frames(line, options, range.start, range.end, range.step);
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
          encode_png_(alpha ? encode_rgba_png : encode_rgb_png) {}

    bool write(int frame, const PicImage &picture) {
        // A frame whose drawing Ctrl-C cut short is not a frame.
        if (platform::interrupt_seen()) return false;
        std::string files;
        bool ok = true;
        if (format_ != PictureFormat::png) ok = save(frame_file(base_, frame, "pic"), picture, encode_pic, files);
        if (ok && format_ != PictureFormat::pic)
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
    Encoder encode_png_;
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
    const FrameRange range = frames_to_render(options, scene);
    if (range.start > range.end) {
        report_error("the play range of scene " + line.scene + " is empty (" + std::to_string(range.start) + ".." +
                     std::to_string(range.end) + "): give --frames START END");
        return kExitFailure;
    }
    if (!picture_size_is_valid(options, scene, line.scene)) return kExitFailure;
    const std::string base = frames_base(options, line);
    const std::string folder = folder_of(base);
    if (!folder_is_writable(folder)) return kExitFailure;
    const int fur_frame = fur_frame_of(options, scene, range.start);
    if (options.jobs > 1 && range.count() > 1)
        return render_in_processes(line, options, {range.start, range.end, range.step}, fur_frame, folder);

    app::set_host_environment();
    FrameFiles files(base, options.format, options.alpha, range.count());
    bool fur_grown = false;
    BatchHooks hooks;
    hooks.write_frame = [&files](int frame, const PicImage &picture) { return files.write(frame, picture); };
    hooks.fur_grown = [&fur_grown] {
        fur_grown = true;
        warn_of_bare_surfaces();
    };
    hooks.fur_frame = fur_frame;
    if (options.max_memory > 0) hooks.max_memory = options.max_memory;
    const int result = run_stand_alone(batch_command_line(options, line, range, base), hooks);
    return reported_outcome(result, files, range.count(), fur_grown, line.scene, folder, seconds_since(started));
}

}  // namespace vellimor::host_driver
