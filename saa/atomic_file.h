// Files the host writes are complete or absent: written to a temporary file beside the target,
// flushed, then renamed over it.
#pragma once

#include <stdexcept>
#include <string>

namespace vellimor::saa {

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws WriteError; on failure the target is untouched and the temporary file removed.
void write_file_atomically(const std::string &path, const std::string &bytes);

// Makes writes fail after the given number of bytes (negative: never); for tests of the
// failure path.
void set_write_failure_after(long long bytes);

}  // namespace vellimor::saa
