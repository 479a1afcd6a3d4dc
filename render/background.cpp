#include "render/background.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "furdata/display_settings.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

constexpr int kCurrentFrame = -1;

// The scaled picture as RGBA bytes, bottom row first, and what it was made for. The file name is
// part of the key so that choosing another picture shows it at once.
struct BackgroundCache {
    std::vector<uint8_t> rgba;
    int frame = kNoBackgroundFrame;
    long pixel_count = 0;
    std::string file_name;

    void drop() {
        rgba.clear();
        rgba.shrink_to_fit();
        frame = kNoBackgroundFrame;
        file_name.clear();
    }
};

BackgroundCache &cache() {
    static BackgroundCache c;
    return c;
}

bool file_is_readable(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// Nearest source index for target index i of n, over a source of m, rounding to nearest.
int nearest_index(int i, int n, int m) {
    if (n <= 1) return 0;
    return int(float(i) * float(m - 1) / float(n - 1) + 0.5f);
}

// Scales the picture into the cache, bottom row first, by nearest neighbour with rounding.
void scale_into_cache(const PicImage &picture, int width, int height, std::vector<uint8_t> &rgba) {
    rgba.assign(size_t(width) * size_t(height) * 4, 0);
    const size_t picture_width = size_t(picture.width);
    uint8_t *out = rgba.data();
    for (int y = height - 1; y >= 0; --y) {
        const size_t row = size_t(nearest_index(y, height, picture.height)) * picture_width;
        for (int x = 0; x < width; ++x) {
            const size_t i = row + size_t(nearest_index(x, width, picture.width));
            for (int c = 0; c < kPicChannelCount; ++c) *out++ = picture.has_plane(c) ? picture.planes[c][i] : 0;
        }
    }
}

// Makes the cache hold the picture for this frame and size; false when it can't be read.
bool refresh_cache(const std::string &file_name, int frame, int width, int height) {
    BackgroundCache &c = cache();
    const long pixel_count = long(width) * long(height);
    if (!c.rgba.empty() && c.frame == frame && c.pixel_count == pixel_count && c.file_name == file_name) return true;
    c.pixel_count = pixel_count;
    std::unique_ptr<PicImage> picture = pic_load(file_name);
    if (!picture) {
        status_message(kStatusWarning, "Read background error: %s\n", file_name.c_str());
        c.drop();
        return false;
    }
    scale_into_cache(*picture, width, height, c.rgba);
    status_message(kStatusPlain, "Background image set to %s\n", file_name.c_str());
    c.frame = frame;
    c.file_name = file_name;
    return true;
}

void draw_cache(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // A view one pixel wide or high still needs a projection of some extent.
    gluOrtho2D(0, width > 1 ? width - 1 : 1, 0, height > 1 ? height - 1 : 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glColor3f(0.0f, 0.0f, 0.0f);
    glRasterPos2i(0, 0);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, cache().rgba.data());
    glPopClientAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_BLEND);
}

}  // namespace

std::optional<std::string> resolve_background_file_name(const std::string &name, int frame) {
    if (name.empty()) return std::nullopt;
    std::string file_name = name;
    size_t separator = name.find_last_of("/\\");
    if (separator != std::string::npos) {
        size_t last_dot = name.rfind('.');
        size_t number_dot = last_dot != std::string::npos && last_dot > separator + 1 ? name.rfind('.', last_dot - 1)
                                                                                       : std::string::npos;
        if (number_dot != std::string::npos && number_dot > separator) {
            // stem.number.extension: the number is replaced by the frame.
            file_name = name.substr(0, number_dot) + "." + std::to_string(frame) + name.substr(last_dot);
        }
    }
    if (!file_is_readable(file_name)) {
        status_message(kStatusWarning, "Background image: %s does not exist\n", file_name.c_str());
        return std::nullopt;
    }
    return file_name;
}

void clear_to_background_color(const DisplaySettings &settings) {
    const uint32_t packed = uint32_t(settings.background_color);
    auto channel = [packed](int byte) { return float((packed >> (8 * byte)) & 0xFF) / 255.0f; };
    // The IrisGL style clears with the packed colour as it is, alpha included.
    glClearColor(channel(0), channel(1), channel(2), settings.use_opengl ? 0.0f : channel(3));
    glClear(GL_COLOR_BUFFER_BIT);
}

void draw_background(const DisplaySettings &settings, int frame, int width, int height) {
    if (frame == kCurrentFrame) frame = scene_state().current_frame;
    glDisable(GL_DEPTH_TEST);
    bool have_picture = false;
    if (settings.use_background_image && width > 0 && height > 0) {
        std::optional<std::string> file_name = resolve_background_file_name(settings.background_image_name, frame);
        if (!file_name)
            cache().drop();
        else
            have_picture = refresh_cache(*file_name, frame, width, height);
    }
    clear_to_background_color(settings);
    if (have_picture && settings.use_opengl) draw_cache(width, height);
    glEnable(GL_DEPTH_TEST);
}

BackgroundCacheState background_cache_state() {
    const BackgroundCache &c = cache();
    return {c.frame, c.pixel_count, c.file_name, !c.rgba.empty()};
}

void background_cache_reset() { cache() = BackgroundCache{}; }

}  // namespace vellimor
