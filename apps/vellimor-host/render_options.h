// The options of "vellimor-host render": what to render and where the frames go. Parsed once
// here; the command turns them into the stand-alone batch render of the same pictures.
#pragma once

#include <string>
#include <vector>

#include "apps/vellimor-host/frame_list.h"

namespace vellimor::host_driver {

enum class PictureFormat { pic, png, both, exr };

struct RenderOptions {
    FrameList frames;  // empty: the scene's play range
    bool has_size = false;  // else the scene's render size
    int width = 0, height = 0;
    bool has_aspect = false;  // else width / height when a size is given, the camera's otherwise
    float aspect = 0.0f;
    bool has_antialias = false;  // else the level stored with the scene
    int antialias = 0;
    bool alpha = false;
    bool all_persistent = false;  // every surface regrows its hairs at each frame
    bool exact_tubes = false;     // hairs as tubes instead of ribbons
    std::string output;  // DIR/NAME; empty: DATABASE/RENDER_PICTURES/SCENE
    PictureFormat format = PictureFormat::png;
    bool help = false;
    int jobs = 1;  // processes rendering chunks of the range side by side
    int threads = 0;  // hair workers and rasteriser threads of each process; 0: the default
    bool has_fur_frame = false;  // else the scene's play start (the range's start when earlier)
    int fur_frame = 0;
    long long max_memory = 0;  // bytes a render may need; 0: the machine's default
};

// Reads the render options from the command's arguments. False after one line saying what is
// wrong.
bool parse_render_options(const std::vector<std::string> &args, RenderOptions &options);

// The option summary that --help prints.
const char *render_usage();

// The file of one frame. A run of '#' in the name's last part becomes the frame number with as
// many digits, "%04d" (or "%d") likewise; without either the number goes before the extension:
// "<base>.<frame, at least four digits>.<extension>". Negative frames keep their digits after
// the sign ("-0005"). A picture or curves extension ending the base is replaced by `extension`.
std::string frame_file(const std::string &base, int frame, const char *extension);
// The base without its frame placeholder and extension: the stem of the files that belong to
// the whole run (a batch script, its logs).
std::string frames_stem(const std::string &base);

// Sets the hair workers and the rasteriser's threads of this process (and of the processes it
// starts) to `threads`.
void use_threads(int threads);

}  // namespace vellimor::host_driver
