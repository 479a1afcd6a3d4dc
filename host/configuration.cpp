#include "host/configuration.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "host/number_text.h"
#include "platform/processors.h"

namespace vellimor {
namespace {

// Window sizes from FUR_SIZE are taken only strictly inside these bounds.
constexpr int kMinWindowSize = 400;
constexpr int kMaxWindowSize = 4096;
constexpr int kSlowTextureSearchRange = 5000;

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::unique_ptr<std::FILE, FileCloser> &message_file() {
    static std::unique_ptr<std::FILE, FileCloser> file;
    return file;
}

bool window_size_ok(int n) { return n > kMinWindowSize && n < kMaxWindowSize; }

// FUR_SIZE is read with the pattern "%d, %d": the blank matches any run of white space. The
// size may also be written the way "New size" prints it, "1280x1024".
void read_window_size(const char *text) {
    Config &c = config();
    int x = 0;
    const char *rest = nullptr;
    if (!scan_int(text, &x, &rest)) return;
    if (window_size_ok(x)) c.window_x = x;
    if (*rest != ',' && *rest != 'x' && *rest != 'X') return;
    int y = 0;
    if (!scan_int(rest + 1, &y, nullptr)) return;
    if (window_size_ok(y)) c.window_y = y;
}

// Every core the process may use, unless FUR_MAX_PROC asks for another count.
void read_processor_count(const char *text) {
    Config &c = config();
    const int actual = platform::available_processors();
    c.processors = actual;
    c.processors_given = text != nullptr;
    if (text) {
        int n = leading_int(text);
        if (n < 1) n = 1;
        if (n > actual) {
            std::fprintf(stderr,
                         "Warning: number of processors: %d set to more than the actual number of "
                         "processors:%d\n",
                         n, actual);
        }
        c.processors = n;
    }
    if (c.processors == 1) {
        std::fprintf(stderr, "Running on 1 processor\n");
        c.multiprocessor = 0;
    } else {
        c.multiprocessor = 1;
        std::fprintf(stderr, "Running on %d processors\n", c.processors);
    }
}

void read_texture_search_range(const char *text) {
    if (!text) return;
    Config &c = config();
    const int range = leading_int(text);
    c.texture_search_range = range;
    if (range < 1) {
        std::fprintf(stderr,
                     "Warning: texture_search_range set to %d, this MUST be a positive integer. "
                     "It's been changed to 1\n",
                     range);
        c.texture_search_range = 1;
    }
    if (c.texture_search_range > kSlowTextureSearchRange) {
        std::fprintf(stderr,
                     "Warning: texture_search_range set to %d, this can slow down texture-searches "
                     "(but will work)\n",
                     c.texture_search_range);
    }
}

}  // namespace

bool read_locations() {
    Config &c = config();
    RunState &run = run_state();
    const char *host = std::getenv("SI_LOCATION");
    if (!host) {
        std::fprintf(stderr, "SI_LOCATION env variable not defined\n");
        c.host_location.clear();
    } else {
        c.host_location = host;
    }
    // Without SI_LOCATION the paths are built from an empty location (only the stand-alone
    // mode stops on it).
    run.resource_path = c.host_location + "/3D/rsrc";
    const char *fur = std::getenv("FUR_LOCATION");
    if (!fur) {
        std::fprintf(stderr, "FUR_LOCATION env variable not defined, using SI_LOCATION\n");
        c.fur_location = c.host_location;
    } else {
        c.fur_location = fur;
    }
    return host != nullptr;
}

void open_message_file() {
    Config &c = config();
    message_file().reset();
    const char *temp = std::getenv("TEMP");
    if (!temp) {
        c.message_file_path.clear();
        return;
    }
    c.message_file_path = std::string(temp) + "/fur_message";
    message_file().reset(std::fopen(c.message_file_path.c_str(), "w"));
}

void close_message_file() { message_file().reset(); }

bool message_file_open() { return message_file() != nullptr; }

void message_file_write(const char *line) {
    std::FILE *f = message_file().get();
    if (!f) return;
    std::fputs(line, f);
    std::fputc('\n', f);
    std::fflush(f);
}

void read_fur_switches() {
    DisplaySettings *settings = display_settings();
    if (!settings) settings = &display_settings_create();
    Config &c = config();

    settings->use_opengl = 1;
    if (std::getenv("FUR_USE_IRIS_GL")) {
        std::fprintf(stderr, "Using IrisGL drawing mode\n");
        settings->use_opengl = 0;
    }
    // Today's tube drawing, byte for byte, for anyone comparing with pictures made before the
    // ribbons; in the designer and `vellimor -b` as in `vellimor-host render --exact-tubes`.
    settings->exact_tubes = false;
    if (std::getenv("FUR_EXACT_TUBES")) {
        std::fprintf(stderr, "Drawing hairs as exact tubes\n");
        settings->exact_tubes = true;
    }
    settings->move_mouse = 1;
    if (std::getenv("FUR_DONT_MOVE_MOUSE")) {
        std::fprintf(stderr, "Moving mouse disabled\n");
        settings->move_mouse = 0;
    }
    c.backup = 1;
    if (std::getenv("FUR_NO_BACKUP")) {
        std::fprintf(stderr, "No backup files will be saved\n");
        c.backup = 0;
    }
    if (const char *text = std::getenv("FUR_BACKUP_INTERVAL")) {
        const float interval = static_cast<float>(leading_double(text));
        if (interval > 0.0f) c.backup_interval = interval;
    }
    if (const char *text = std::getenv("FUR_SINGLE_BUFFER")) {
        c.single_buffer = leading_int(text) == 1 ? 1 : 0;
    }
    if (const char *text = std::getenv("FUR_SAVE_PLUGIN")) {
        c.save_plugin = leading_int(text) == 1 ? 1 : 0;
    }
    if (const char *text = std::getenv("FUR_SIZE")) {
        read_window_size(text);
        std::fprintf(stderr, "New size %dx%d\n", c.window_x, c.window_y);
    }
    read_processor_count(std::getenv("FUR_MAX_PROC"));
    read_texture_search_range(std::getenv("FUR_TEXTURE_SEARCH_RANGE"));
}

}  // namespace vellimor
