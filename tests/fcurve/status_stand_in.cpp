// Until the status output is linked in, messages go to stderr with their level's prefix.
#include <cstdarg>
#include <cstdio>

#include "host/status.h"

namespace vellimor {

__attribute__((weak)) void status_message(int level, const char *format, ...) {
    static const char *const prefixes[] = {"ERROR: ", "WARNING: ", "", "    ", "DEBUG: ", ""};
    std::fputs(level >= 0 && level <= 5 ? prefixes[level] : "", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

}  // namespace vellimor
