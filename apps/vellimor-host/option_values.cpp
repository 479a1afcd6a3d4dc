// Numbers given as option values: the whole text must be the number, so that a typo is a usage
// error instead of a silent 0.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "apps/vellimor-host/commands.h"

namespace vellimor::host_driver {

namespace {
constexpr long kIntegerLimit = 1000000000L;
}  // namespace

bool parse_integer(const std::string &text, int &value) {
    char *stop = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &stop, 10);
    if (text.empty() || *stop != '\0' || errno != 0 || n < -kIntegerLimit || n > kIntegerLimit)
        return false;
    value = static_cast<int>(n);
    return true;
}

bool parse_real(const std::string &text, float &value) {
    char *stop = nullptr;
    const float x = std::strtof(text.c_str(), &stop);
    if (text.empty() || *stop != '\0' || !std::isfinite(x)) return false;
    value = x;
    return true;
}

}  // namespace vellimor::host_driver
