// The processors this process may run on.
#pragma once

namespace vellimor::platform {

// The cores the process is allowed to use (its CPU affinity, which taskset, cgroups and batch
// schedulers such as Slurm narrow), else every core of the machine; at least 1.
int available_processors();

}  // namespace vellimor::platform
