// The background behind the scene and the hairs: a flat colour, or a picture (possibly a numbered
// sequence following the frame) scaled to the view and cached between drawings.
#pragma once

#include <optional>
#include <string>

namespace vellimor {

struct DisplaySettings;

// Frame marker of a cache that holds no picture.
constexpr int kNoBackgroundFrame = -1000000;

// The file to read for a background name at a frame, or none (with the warning "Background
// image: %s does not exist" when the file can't be opened). A name of the form
// directory/stem.number.extension (the separator may be "/" or "\") names a sequence and gives
// directory/stem.<frame>.extension; any other name is used as it is.
std::optional<std::string> resolve_background_file_name(const std::string &name, int frame);

// Clears the colour buffer to the settings' background colour.
void clear_to_background_color(const DisplaySettings &settings);

// Draws the background of a view of width x height pixels for a frame (-1: the current frame),
// with the depth test off while drawing. Callers pass the render image size in draw modes 5 and
// 6 and the graphics view's size otherwise.
void draw_background(const DisplaySettings &settings, int frame, int width, int height);

// What the cache holds: the frame (kNoBackgroundFrame when none), its pixel count and file.
struct BackgroundCacheState {
    int frame = kNoBackgroundFrame;
    long pixel_count = 0;
    std::string file_name;
    bool has_pixels = false;
};
BackgroundCacheState background_cache_state();
// Forgets the cached picture (scene closed; tests).
void background_cache_reset();

}  // namespace vellimor
