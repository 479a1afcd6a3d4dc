// Monotonic time since the process started, for stopwatches, rate limits and backup timers.
#pragma once

namespace vellimor::platform {

// Milliseconds since the first call in this process (monotonic clock).
long long milliseconds_since_start();
// Seconds since the first call in this process, with sub-millisecond resolution.
double seconds_since_start();

}  // namespace vellimor::platform
