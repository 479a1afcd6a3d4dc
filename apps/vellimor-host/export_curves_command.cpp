// "export-curves": the hairs of a frame range as curves for other tools. The frames are grown as
// the render grows them (the same fur frame, the same points), through draw mode 8, and written
// as one USD text layer with a time sample per frame, or as one PLY of vertices and edges per
// frame.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/common/plugin_loader.h"
#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/render_chunks.h"
#include "apps/vellimor-host/render_options.h"
#include "host/batch_render.h"
#include "host/entry_points.h"
#include "host/status.h"
#include "render/atomic_file.h"
#include "render/curves_export.h"

namespace vellimor::host_driver {
namespace {

namespace fs = std::filesystem;

constexpr const char *kUsage =
    "usage: vellimor-host export-curves -d DATABASE -s SCENE [options] OUT\n"
    "Writes every hair of the frames as a curve through the points the render draws.\n"
    "  --frames FRAMES            frames to export: 5, 1-100, 1-100x2, 1,5,10-20 or START END [STEP]\n"
    "                             (default: the scene's play range)\n"
    "  --format usda|ply          usda (default): OUT is one USD text layer with a BasisCurves\n"
    "                             prim per surface, time samples only where the hairs move;\n"
    "                             ply: OUT.0001.ply ... (#### or %04d in OUT places the number)\n"
    "                             one file of vertices and edges per frame\n"
    "  --fur-frame F              frame at which surfaces not regrown every frame grow their fur\n"
    "                             (default: the play range's start, or START when earlier)\n"
    "  --all-persistent           regrow every surface's hairs at each frame\n"
    "  --threads N                threads growing the hairs (default: FUR_MAX_PROC, else every core)\n"
    "OUT's folder is made when missing.\n"
    "Written files are listed on stdout. Exit status: 0 written, 1 failed, 2 wrong options.\n";

enum class CurvesFormat { usda, ply };

struct CurvesOptions {
    RenderOptions render;  // the frames, the fur frame and the rebuild choice, as the render reads them
    CurvesFormat format = CurvesFormat::usda;
    bool has_format = false;
    std::string out;
};

// OUT is the last argument; --format is this command's, the rest are render options.
bool parse_curves_options(const std::vector<std::string> &args, CurvesOptions &o) {
    std::vector<std::string> rest = args;
    if (!rest.empty() && !rest.back().empty() && rest.back()[0] != '-') {
        o.out = rest.back();
        rest.pop_back();
    }
    for (auto it = rest.begin(); it != rest.end(); ++it) {
        if (*it != "--format") continue;
        const std::string name = it + 1 != rest.end() ? *(it + 1) : "";
        if (name != "usda" && name != "ply") {
            report_error("--format must be usda or ply, not \"" + name + "\"");
            return false;
        }
        o.format = name == "ply" ? CurvesFormat::ply : CurvesFormat::usda;
        o.has_format = true;
        rest.erase(it, it + 2);
        break;
    }
    if (!parse_render_options(rest, o.render)) return false;
    if (o.render.help) return true;
    for (bool unused : {o.render.has_size, o.render.has_aspect, o.render.has_antialias, o.render.alpha,
                        !o.render.output.empty(), o.render.jobs != 1}) {
        if (!unused) continue;
        report_error("export-curves takes --frames, --format, --fur-frame, --all-persistent and --threads only");
        return false;
    }
    int number = 0;
    if (o.out.empty() || parse_integer(o.out, number)) {
        report_error("export-curves needs the file to write: OUT" +
                     (o.out.empty() ? std::string() : " (\"" + o.out + "\" is a frame number)"));
        return false;
    }
    if (!o.has_format && fs::path(o.out).extension() == ".ply") o.format = CurvesFormat::ply;
    return true;
}

std::string scene_name_of(const std::string &scene) {
    std::string name = fs::path(scene).filename().string();
    if (name.ends_with(".dsc")) name.resize(name.size() - 4);
    return name;
}

std::string usda_path(const std::string &out) {
    return fs::path(out).extension() == ".usda" ? out : out + ".usda";
}

bool write_text_file(const std::string &path, const std::string &text) {
    std::string error;
    if (write_file_atomically(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) {
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        return true;
    }
    report_error(error);
    return false;
}

// Collects the curves of every frame and writes them in the asked format.
class CurvesWriter {
public:
    CurvesWriter(const CurvesOptions &options, std::string scene_name, double frames_per_second)
        : options_(options), scene_name_(std::move(scene_name)), layer_(scene_name_, frames_per_second) {}

    bool add(const HairDrawing &drawing, int frame) {
        const FrameCurves curves = curves_of_drawing(drawing, frame);
        size_t hairs = 0, points = 0;
        for (const SurfaceCurves &c : curves.surfaces) {
            hairs += c.vertex_counts.size();
            points += c.point_count();
        }
        ++frames_;
        status_message(kStatusPlain, "Frame %d: %zu hairs, %zu points", frame, hairs, points);
        if (options_.format == CurvesFormat::usda) {
            layer_.add_frame(curves);
            return true;
        }
        const std::string bytes = curves_ply_bytes(curves, scene_name_);
        const bool ok = write_text_file(frame_file(options_.out, frame, "ply"), bytes);
        if (!ok) ++failed_;
        return ok;
    }

    bool finish() {
        if (options_.format != CurvesFormat::usda) return failed_ == 0;
        return write_text_file(usda_path(options_.out), layer_.text());
    }
    int frames() const { return frames_; }

private:
    const CurvesOptions &options_;
    std::string scene_name_;
    UsdCurvesLayer layer_;
    int frames_ = 0, failed_ = 0;
};

// Makes OUT's folder, with its parents, when missing.
bool folder_made(const std::string &file) {
    const fs::path folder = fs::path(file).parent_path();
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error) || fs::create_directories(folder, error) || !error)
        return true;
    report_error("cannot write " + file + ": cannot make folder " + folder.string() + ": " + error.message());
    return false;
}

}  // namespace

int run_export_curves(const CommandLine &line) {
    CurvesOptions options;
    if (!parse_curves_options(line.args, options)) return kExitUsage;
    if (options.render.help) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (!folder_made(options.out)) return kExitFailure;
    SAA_Database database{};
    SAA_Scene scene{};
    if (!open_scene(line, database, scene)) return kExitFailure;
    RenderOptions &r = options.render;
    if (r.frames.empty()) {
        FrameRun play;
        SAA_sceneGetPlayCtrlStartFrame(&scene, &play.start);
        SAA_sceneGetPlayCtrlEndFrame(&scene, &play.end);
        if (play.start > play.end) {
            report_error("no frames to export (" + std::to_string(play.start) + ".." + std::to_string(play.end) + ")");
            return kExitFailure;
        }
        r.frames = {play};
    }
    const int count = int(frame_count(r.frames));
    float frames_per_second = 24.0f;
    SAA_sceneGetPlayCtrlFrameRate(&scene, &frames_per_second);

    const vellimor::CommandLine batch = batch_frames(line, r, r.frames);

    use_threads(r.threads);
    app::set_host_environment();
    CurvesWriter writer(options, scene_name_of(line.scene), frames_per_second);
    BatchHooks hooks;
    render_frame_list(hooks, r.frames, fur_frame_of(r, scene, first_frame(r.frames)));
    hooks.export_hairs = [&writer](const HairDrawing &drawing, int frame) { return writer.add(drawing, frame); };
    bool has_surfaces = false;
    hooks.fur_grown = [&has_surfaces] { has_surfaces = scene_state().patch_count() > 0; };
    const int result = run_stand_alone(batch, hooks);
    if (result == kInterrupted) {
        report_error("interrupted: nothing written");
        return kInterrupted;
    }
    if (result == 0 && !has_surfaces) {
        report_error("scene " + line.scene + " has no patch or NURBS surface to grow hairs on: no curves to export");
        return kExitFailure;
    }
    if (result != 0 || writer.frames() != count) {
        report_error("the hairs of " + std::to_string(count - writer.frames()) + " of " + std::to_string(count) +
                     " frames could not be grown (see the lines above)");
        return kExitFailure;
    }
    return writer.finish() ? kExitSuccess : kExitFailure;
}

}  // namespace vellimor::host_driver
