// Whole-file reads and writes for image files: a written file appears complete under its name or
// not at all (it is written beside its final name and renamed into place).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellimor {

// Writes `bytes` to `path` through a temporary file in the same directory and a rename. On
// failure nothing is left behind, and `error` (when given) says why.
bool write_file_atomically(const std::string &path, const std::vector<uint8_t> &bytes,
                           std::string *error = nullptr);

// Reads a whole regular file. False (with a reason) when it cannot be opened or read.
bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error = nullptr);

}  // namespace vellimor
