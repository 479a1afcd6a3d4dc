// Status output for the fuzz targets: every message is formatted (so its arguments are read as
// the real output reads them) and dropped.
#include <cstdarg>
#include <cstdio>

#include "host/status.h"

namespace vellimor {

void status_message(int, const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
}
void status_line(const char *) {}
void status_always(const char *) {}
void status_debug(const char *) {}
void status_warning(const char *) {}
void status_error(const char *) {}
void status_beep() {}
void status_reset() {}
void progress_weights(float, float, float) {}
void progress_stage(int, int) {}
void progress_reset() {}
void progress_step(int) {}
void progress_done() {}

}  // namespace vellimor
