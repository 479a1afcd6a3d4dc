#include "platform/processors.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace vellimor::platform {

int available_processors() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        const int count = CPU_COUNT(&allowed);
        if (count > 0) return count;
    }
    return std::max(1, int(std::thread::hardware_concurrency()));
}

}  // namespace vellimor::platform
