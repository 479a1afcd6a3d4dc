#include "apps/vellimor-host/render_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "apps/vellimor-host/commands.h"
#include "render/frame_render.h"
#include "render/pic_file.h"

namespace vellimor::host_driver {
namespace {

constexpr const char *kUsage =
    "usage: vellimor-host render -d DATABASE -s SCENE [options]\n"
    "Renders frames of the scene with its fur into picture files, as `vellimor -b` does.\n"
    "  --frames FRAMES            frames to render: 5, 1-100, 1-100x2 (every second), 1,5,10-20,\n"
    "                             or START END [STEP] (default: the scene's play range)\n"
    "  --size W H                 picture size in pixels, 1..16384 (default: the scene's)\n"
    "  --aspect A                 camera aspect ratio (default: W/H with --size, else the camera's)\n"
    "  --aa LEVEL                 antialiasing level 0..7: 0, 2, 3, 4, 8, 15, 24 or 66 passes\n"
    "  --alpha                    render the alpha plane (hair coverage)\n"
    "  --all-persistent           regrow every surface's hairs at each frame (moving surfaces;\n"
    "                             else only surfaces marked presistant_rebuild)\n"
    "  --exact-tubes              draw hairs as four-sided tubes, the pictures of earlier versions\n"
    "                             byte for byte (default: camera-facing ribbons, within a level or\n"
    "                             two of them and several times faster)\n"
    "  --output DIR/NAME          frames become DIR/NAME.0001.png ...; #### or %04d in NAME places\n"
    "                             the number (DIR/shot_####.png); DIR is made when missing\n"
    "                             (default: DATABASE/RENDER_PICTURES/SCENE)\n"
    "  --format pic|png|both|exr  picture files to write (default: png); exr: half-float RGBA\n"
    "  --jobs N                   render in N processes side by side, each a chunk of the frames\n"
    "                             (the same pictures as one process)\n"
    "  --threads N                threads drawing the hairs and rasterising in each process\n"
    "                             (default: FUR_MAX_PROC, else every core)\n"
    "  --fur-frame F              frame at which surfaces not regrown every frame grow their fur\n"
    "                             (default: the play range's start, or START when earlier)\n"
    "  --max-memory SIZE          refuse, before any work, a render estimated to need more memory\n"
    "                             (bytes, or with K, M, G; default: 3/4 of this machine's memory,\n"
    "                             shared by the processes of --jobs)\n"
    "Written files are listed on stdout, the log goes to stderr. Exit status: 0 every frame\n"
    "written, 1 a frame or the scene failed, 2 wrong options.\n";

constexpr int kMaxThreads = 1024;
constexpr int kDefaultDigits = 4;
// Endings that name a picture or curves file: the frame's own extension replaces them.
constexpr std::string_view kKnownExtensions[] = {".png", ".pic", ".exr", ".usda", ".ply"};
constexpr std::string_view kNameSeparators = "._-";

// Where the frame number goes in a file name: a run of '#', or "%d" / "%0Nd".
struct Placeholder {
    size_t at = std::string::npos, length = 0;
    int digits = kDefaultDigits;
    bool found() const { return at != std::string::npos; }
};

size_t name_start(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

Placeholder find_placeholder(const std::string &path) {
    const size_t from = name_start(path);
    if (const size_t hash = path.find('#', from); hash != std::string::npos) {
        const size_t end = std::min(path.find_first_not_of('#', hash), path.size());
        return {hash, end - hash, int(end - hash)};
    }
    for (size_t at = path.find('%', from); at != std::string::npos; at = path.find('%', at + 1)) {
        size_t i = at + 1;
        int digits = 1;
        if (i < path.size() && path[i] == '0' && i + 1 < path.size() && path[i + 1] >= '1' && path[i + 1] <= '9') {
            digits = path[i + 1] - '0';
            i += 2;
        }
        if (i < path.size() && path[i] == 'd') return {at, i + 1 - at, digits};
    }
    return {};
}

std::string without_known_extension(const std::string &path) {
    for (std::string_view extension : kKnownExtensions) {
        if (path.size() > name_start(path) + extension.size() && path.ends_with(extension))
            return path.substr(0, path.size() - extension.size());
    }
    return path;
}

// "0012", "-0005": the digits zero-padded after the sign.
std::string frame_number(int frame, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*d", digits + (frame < 0 ? 1 : 0), frame);
    return text;
}

// Reads the next argument as an integer of the option; reports and fails otherwise.
class OptionReader {
public:
    explicit OptionReader(const std::vector<std::string> &args) : args_(args) {}
    bool done() const { return i_ >= args_.size(); }
    const std::string &next() { return args_[i_++]; }
    bool integer(const std::string &option, int &value) {
        if (!done() && parse_integer(args_[i_], value)) {
            ++i_;
            return true;
        }
        report_error(option + " needs a whole number" + (done() ? "" : ", not \"" + args_[i_] + "\""));
        return false;
    }
    bool real(const std::string &option, float &value) {
        if (!done() && parse_real(args_[i_], value)) {
            ++i_;
            return true;
        }
        report_error(option + " needs a number" + (done() ? "" : ", not \"" + args_[i_] + "\""));
        return false;
    }
    bool text(const std::string &option, std::string &value) {
        if (!done() && !args_[i_].empty()) {
            value = args_[i_++];
            return true;
        }
        report_error(option + " needs a value");
        return false;
    }
    // An optional integer: taken when the next argument is one.
    bool optional_integer(int &value) {
        if (done() || !parse_integer(args_[i_], value)) return false;
        ++i_;
        return true;
    }
    // A whole number in lo..hi.
    bool integer_in(const std::string &option, int lo, int hi, int &value) {
        if (!integer(option, value)) return false;
        if (value >= lo && value <= hi) return true;
        report_error(option + " must lie in " + std::to_string(lo) + ".." + std::to_string(hi));
        return false;
    }
private:
    const std::vector<std::string> &args_;
    size_t i_ = 0;
};

// One specification, or the older START END [STEP] in separate arguments.
bool parse_frames(OptionReader &in, RenderOptions &o) {
    std::string first;
    if (!in.text("--frames", first)) return false;
    FrameRun run;
    if (parse_integer(first, run.start) && in.optional_integer(run.end)) {
        if (!in.optional_integer(run.step)) run.step = 1;
        if (run.start > run.end) {
            report_error("--frames: the start frame " + std::to_string(run.start) + " lies after the end frame " +
                         std::to_string(run.end));
            return false;
        }
        if (run.step < 1) {
            report_error("--frames: the step must be 1 or more");
            return false;
        }
        o.frames = {run};
        return true;
    }
    std::string error;
    if (parse_frame_spec(first, o.frames, error)) return true;
    report_error("--frames: " + error);
    return false;
}

bool parse_size(OptionReader &in, RenderOptions &o) {
    if (!in.integer("--size W", o.width) || !in.integer("--size H", o.height)) return false;
    if (!pic_size_valid(o.width, o.height)) {
        report_error("--size " + std::to_string(o.width) + " " + std::to_string(o.height) +
                     ": width and height must lie in 1.." + std::to_string(kPicMaxDimension) +
                     " (the largest PIC picture)");
        return false;
    }
    o.has_size = true;
    return true;
}

// "12G", "800M", "1048576": a memory size in bytes, with an optional binary unit.
bool parse_memory_size(OptionReader &in, RenderOptions &o) {
    std::string text;
    if (!in.text("--max-memory", text)) return false;
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    const std::string unit = text.substr(digits);
    const int shift = unit.empty() || unit == "B" ? 0 : unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30
                      : unit == "T" ? 40 : -1;
    long long value = 0;
    const bool number = digits > 0 && std::from_chars(text.data(), text.data() + digits, value).ec == std::errc();
    if (!number || shift < 0 || value < 1 || value > (LLONG_MAX >> shift)) {
        report_error("--max-memory needs a size such as 8G, 500M or a number of bytes, not \"" + text + "\"");
        return false;
    }
    o.max_memory = value << shift;
    return true;
}

bool parse_format(OptionReader &in, RenderOptions &o) {
    std::string name;
    if (!in.text("--format", name)) return false;
    if (name == "pic") o.format = PictureFormat::pic;
    else if (name == "png") o.format = PictureFormat::png;
    else if (name == "both") o.format = PictureFormat::both;
    else if (name == "exr") o.format = PictureFormat::exr;
    else {
        report_error("--format must be pic, png, both or exr, not \"" + name + "\"");
        return false;
    }
    return true;
}

bool parse_option(const std::string &option, OptionReader &in, RenderOptions &o) {
    if (option == "--frames") return parse_frames(in, o);
    if (option == "--size") return parse_size(in, o);
    if (option == "--format") return parse_format(in, o);
    if (option == "--output") return in.text(option, o.output);
    if (option == "--alpha") {
        o.alpha = true;
        return true;
    }
    if (option == "--all-persistent") {
        o.all_persistent = true;
        return true;
    }
    if (option == "--exact-tubes") {
        o.exact_tubes = true;
        return true;
    }
    if (option == "--help" || option == "-h") {
        o.help = true;
        return true;
    }
    if (option == "--aspect") {
        if (!in.real(option, o.aspect)) return false;
        if (o.aspect <= 0.0f) {
            report_error("--aspect must be above 0");
            return false;
        }
        o.has_aspect = true;
        return true;
    }
    if (option == "--jobs") {
        if (!in.integer(option, o.jobs)) return false;
        if (o.jobs < 1) {
            report_error("--jobs must be 1 or more");
            return false;
        }
        return true;
    }
    if (option == "--max-memory") return parse_memory_size(in, o);
    if (option == "--threads") return in.integer_in(option, 1, kMaxThreads, o.threads);
    if (option == "--fur-frame") return o.has_fur_frame = in.integer(option, o.fur_frame);
    if (option == "--aa") {
        if (!in.integer(option, o.antialias)) return false;
        if (o.antialias < 0 || o.antialias > kMaxAntialiasLevel) {
            report_error("--aa must lie in 0.." + std::to_string(kMaxAntialiasLevel));
            return false;
        }
        o.has_antialias = true;
        return true;
    }
    report_error("render: unknown option \"" + option + "\" (vellimor-host render --help lists them)");
    return false;
}

}  // namespace

bool parse_render_options(const std::vector<std::string> &args, RenderOptions &options) {
    OptionReader in(args);
    while (!in.done()) {
        if (!parse_option(in.next(), in, options)) return false;
    }
    if (!options.output.empty() && options.output.back() == '/') {
        report_error("--output names the frames DIR/NAME, not only a folder: " + options.output);
        return false;
    }
    return true;
}

const char *render_usage() { return kUsage; }

std::string frame_file(const std::string &base, int frame, const char *extension) {
    const std::string name = without_known_extension(base);
    const Placeholder p = find_placeholder(name);
    if (!p.found()) return name + "." + frame_number(frame, kDefaultDigits) + "." + extension;
    return name.substr(0, p.at) + frame_number(frame, p.digits) + name.substr(p.at + p.length) + "." + extension;
}

std::string frames_stem(const std::string &base) {
    std::string name = without_known_extension(base);
    const Placeholder p = find_placeholder(name);
    if (!p.found()) return name;
    // One separator goes with the placeholder: "shot.####.beauty" -> "shot.beauty".
    size_t at = p.at, length = p.length;
    if (at > name_start(name) && kNameSeparators.find(name[at - 1]) != std::string_view::npos) {
        --at;
        ++length;
    } else if (at + length < name.size() && kNameSeparators.find(name[at + length]) != std::string_view::npos) {
        ++length;
    }
    name.erase(at, length);
    return name.size() == name_start(name) ? name + "frames" : name;
}

void use_threads(int threads) {
    if (threads < 1) return;
    const std::string count = std::to_string(threads);
    setenv("FUR_MAX_PROC", count.c_str(), 1);
    // llvmpipe takes its rasteriser thread count from here when the first context is made.
    setenv("LP_NUM_THREADS", count.c_str(), 1);
}

}  // namespace vellimor::host_driver
