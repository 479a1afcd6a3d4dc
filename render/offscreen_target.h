// The offscreen render target of batch renders: one process-wide OpenGL context without a
// window, at the render size, whose pixels are read back into PIC pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/offscreen_context.h"

namespace vellimor {

struct PicImage;

// The two targets the batch command line can ask for: "PBuffer" (the default) and "PixMap" (-X).
enum class OffscreenKind { PBuffer, PixMap };

// Whether a target of this size can be drawn into whole: beyond the renderer's largest viewport a
// picture comes out wrong, and far beyond it Mesa's rasteriser crashes instead of failing.
bool offscreen_target_size_supported(int width, int height);
// The line that says why a size is not supported.
std::string offscreen_target_size_text(int width, int height);

// Creates the target of the given size and makes it current; false when it can't be made.
// The chosen pixel format is described on stderr; a failure writes what failed there.
bool offscreen_target_create(int width, int height, OffscreenKind kind);
// Makes the target current again (after another context was used); false when there is none.
bool offscreen_target_make_current();
// Destroys the target when there is one; destroying twice is harmless.
void offscreen_target_destroy();

bool offscreen_target_exists();
int offscreen_target_width();
int offscreen_target_height();
// The context of the target, or null.
platform::OffscreenContext *offscreen_target_context();
// Finishes the drawing (the target is single-buffered, so there is nothing to swap).
void offscreen_target_swap();

// Reads the whole target into a picture with red, green, blue and alpha planes, row 0 at the
// top; the alpha plane comes from `stored_alpha` (width x height bytes, row 0 at the top) when
// given, else from what the target returns for alpha. Null when there is no target or no memory.
std::unique_ptr<PicImage> offscreen_target_read_picture(const uint8_t *stored_alpha);
// Reads the target back and saves it under `file_name` (the PIC naming rule applies):
// 1 saved, -1 no memory for the picture (or no target), 0 the file could not be written.
int offscreen_target_save(const std::string &file_name, const uint8_t *stored_alpha);

// The listing of a pixel format as it is written to stderr.
std::string describe_pixel_format(const platform::PixelFormatInfo &format);

}  // namespace vellimor
