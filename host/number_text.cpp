#include "host/number_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vellimor {

bool scan_int(const char *text, int *value, const char **end) {
    if (!text) return false;
    char *stop = nullptr;
    errno = 0;
    const long n = std::strtol(text, &stop, 10);
    if (stop == text) return false;
    if (n > INT_MAX) {
        *value = INT_MAX;
    } else if (n < INT_MIN) {
        *value = INT_MIN;
    } else {
        *value = static_cast<int>(n);
    }
    if (end) *end = stop;
    return true;
}

int leading_int(const char *text) {
    int value = 0;
    return scan_int(text, &value, nullptr) ? value : 0;
}

double leading_double(const char *text) {
    if (!text) return 0.0;
    return std::strtod(text, nullptr);
}

}  // namespace vellimor
