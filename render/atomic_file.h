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

// A file written piece by piece as an unnamed file in the target's folder (a named temporary
// beside it where the file system has none), named and renamed into place by commit(); a writer
// destroyed without commit(), or a process killed while writing, leaves nothing behind.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;
    ~AtomicFileWriter();

    bool open(const std::string &path, std::string *error = nullptr);
    bool write(const uint8_t *data, size_t size);
    // Flushes to the disk and renames into place; false (with the reason, such as a full disk)
    // when any write or this failed, and then nothing is left behind.
    bool commit(std::string *error = nullptr);

private:
    int name_unnamed_file();

    std::string path_, temporary_;  // temporary_: empty while the file has no name
    int fd_ = -1;
    int write_error_ = 0;
};

// Reads the first `max_bytes` of a regular file (less when it is shorter); `file_size` (when
// given) receives the size of the whole file.
bool read_file_start(const std::string &path, size_t max_bytes, std::vector<uint8_t> *bytes,
                     size_t *file_size = nullptr, std::string *error = nullptr);
// Reads a whole regular file. False (with a reason) when it cannot be opened or read.
bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error = nullptr);

}  // namespace vellimor
