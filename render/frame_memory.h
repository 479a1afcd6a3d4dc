// The memory a batch render of the loaded scene will need, estimated before any hair is grown,
// so that a render that could not finish within the machine's memory is refused up front with
// the setting to lower, instead of running for minutes and failing (or swapping) on the way.
#pragma once

#include <cstdint>
#include <string>

namespace vellimor {

// What a render process takes before any hair: the program, its libraries, the OpenGL driver
// (a 640x480 render of a few thousand hairs peaks at 122 MB).
constexpr int64_t kRenderProcessBytes = int64_t(128) << 20;

struct FrameMemory {
    int64_t bytes = 0;  // the estimated peak of one frame, hairs and buffers
    int64_t hairs = 0;  // the hairs planned on all surfaces
    int max_segments = 0;  // the most segments a hair of any surface can have
    // The surface that needs the most memory (empty for a scene without hairs), and whether its
    // planned hairs exceed what one surface can hold.
    std::string largest_surface;
    int64_t largest_surface_hairs = 0;
    bool surface_over_root_limit = false;
};

// Estimates a frame of width x height of the fur records of the scene, from each surface's
// density times its area (measured on a coarse grid) and the most segments its keys paint;
// `exporting`: the hairs also go to a curve or mesh writer; `antialiased`: the passes keep the
// polygons' vertices.
FrameMemory estimate_frame_memory(int width, int height, bool exporting, bool antialiased);

// The default limit of a render's memory: three quarters of the machine's physical memory.
int64_t default_memory_limit();

// "1.5 GB", "640 MB": a byte count as a person reads it.
std::string memory_text(int64_t bytes);

// False after an ERROR line when the estimate exceeds the limit (or a surface would grow more
// roots than it can hold): the line gives the estimate, the limit and the setting to lower.
bool frame_memory_fits(const FrameMemory &estimate, int64_t limit);

}  // namespace vellimor
