#include "platform/clock.h"

#include <chrono>

namespace vellimor::platform {
namespace {

std::chrono::steady_clock::time_point process_start() {
    static const auto start = std::chrono::steady_clock::now();
    return start;
}

}  // namespace

long long milliseconds_since_start() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 process_start())
        .count();
}

double seconds_since_start() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - process_start()).count();
}

}  // namespace vellimor::platform
