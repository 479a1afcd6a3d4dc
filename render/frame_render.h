// Frame rendering: frame ranges drawn with antialiasing and alpha passes and saved as PIC files,
// interactively into a "Rendering" window or in batch into the offscreen target.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "render/exr_image.h"
#include "render/polygon_sort.h"

namespace vellimor {

struct PicImage;

constexpr int kMaxAntialiasLevel = 7;

// Writes the picture of one rendered frame; false, after saying why, when it could not.
using FrameWriter = std::function<bool(int frame, const PicImage &picture)>;

// What the designer's render settings give an interactive render.
struct RenderSettings {
    int width = 640;
    int height = 480;
    int start = 1, end = 1, step = 1;
    std::string output_name = "offscreen";
    bool single_buffer = false;
    bool call_save_plugin = false;
    bool preview_render = false;
    bool render_alpha = false;
};
RenderSettings &render_settings();

// Passes of an antialiasing level (0 for level 0 and for levels outside 0..7).
int antialias_passes(int level);
// The pixel offset of pass p at a level: the 2- and 4-pass sets are used with their components
// swapped. Level and pass must be valid.
void antialias_jitter(int level, int pass, float &dx, float &dy);

// Renders frames start..end by step in draw mode 5, 6 or 8 into the offscreen target, one
// "<base_name>.<frame>.pic" per frame (none in mode 8), or each picture handed to `writer`.
// Returns the number of frames that could not be saved.
int render_frames_batch(int start, int end, int step, int mode, const char *base_name,
                        const FrameWriter &writer = {});

// The designer's render command: frames of render_settings() into a "Rendering" window.
void render_frames_interactive();

// The polygon drawing of the drawing driver with the alpha pass and antialiasing around it.
// Returns 1 when done, 0 when aborted.
int draw_polygons_with_alpha(const PolygonList &list, int mode, bool alpha, int frame);
// True when draw_polygons_with_alpha antialiases a drawing of this mode: it then draws the
// list once per pass.
bool antialiases(int mode);

// The polygons drawn `passes` times with jittered projections, summed in the accumulation
// buffer. Returns 1 when done, 0 when aborted or the level is wrong.
int draw_antialiased(const PolygonList &list, bool alpha, int level, int mode, int frame);

// Before white hairs are drawn with their alpha: the colour buffer holds the background's alpha
// in every component, or (0, 0, 0, 1) where the buffer keeps no alpha.
void prepare_alpha_background();
// The red component of the current colour buffer, row 0 at the top, kept for the next save.
void store_alpha_image();
void free_alpha_image();
// The stored alpha image (width x height bytes, row 0 at the top), or null.
const uint8_t *stored_alpha_image(int width, int height);

// Batch frames keep, while asked to, the float sums of their antialiasing passes (colour, and the
// alpha pass's), from which frame_float_picture makes the frame's float picture.
void keep_float_pictures(bool keep);
// The float picture of the batch frame just drawn, whose bytes are `picture`: the colour from
// the antialiasing sum where the frame had one, else the bytes; the alpha from the alpha pass
// (its sum where it had one), else the picture's alpha plane, else opaque.
FloatPicture frame_float_picture(const PicImage &picture);

// Reads the window's colour buffer (x1 - x0 by y1 - y0) and writes "<output>.<frame>.pic".
void save_frame_image(int x0, int x1, int y0, int y1, int frame);

}  // namespace vellimor
