// Files the host writes are complete or absent: written to a temporary file beside the target,
// flushed, then renamed over it.
#pragma once

#include <stdexcept>
#include <string>

namespace vellimor::saa {

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws WriteError; on failure the target is untouched and the temporary file removed. Stale
// temporaries of earlier writes of the same target are removed first.
void write_file_atomically(const std::string &path, const std::string &bytes);

// Removes the temporaries ".NAME.XXXXXX" beside `path` that a killed writer left behind: only
// those no process holds locked (a writer locks its temporary until it is renamed) and that are
// a minute old. Returns how many were removed.
int remove_stale_temporaries(const std::string &path);

// Makes writes fail after the given number of bytes (negative: never); for tests of the
// failure path.
void set_write_failure_after(long long bytes);

}  // namespace vellimor::saa
