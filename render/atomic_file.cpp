#include "render/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vellimor {
namespace {

void set_error(std::string *error, const std::string &what, const std::string &path, int code) {
    if (error) *error = what + " " + path + ": " + std::strerror(code);
}

// Closes a descriptor on every way out.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool write_all(int fd, const uint8_t *data, size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

}  // namespace

bool write_file_atomically(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
    std::string temporary = path + ".XXXXXX";
    FileDescriptor file;
    file.fd = ::mkstemp(temporary.data());
    if (file.fd < 0) {
        set_error(error, "cannot create", path, errno);
        return false;
    }
    // mkstemp makes the file private; a picture is an ordinary file that others may read.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.fd, 0666 & ~mask);
    if (!write_all(file.fd, bytes.data(), bytes.size()) || ::fsync(file.fd) != 0) {
        int code = errno;
        ::unlink(temporary.c_str());
        set_error(error, "cannot write", path, code);
        return false;
    }
    int closed = ::close(file.fd);
    file.fd = -1;
    if (closed != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int code = errno;
        ::unlink(temporary.c_str());
        set_error(error, "cannot write", path, code);
        return false;
    }
    return true;
}

bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error) {
    FileDescriptor file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) {
        set_error(error, "cannot open", path, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        set_error(error, "cannot read", path, S_ISDIR(info.st_mode) ? EISDIR : errno);
        return false;
    }
    bytes->clear();
    try {
        bytes->resize(size_t(info.st_size));
    } catch (const std::bad_alloc &) {
        set_error(error, "cannot read", path, ENOMEM);
        return false;
    }
    size_t done = 0;
    while (done < bytes->size()) {
        ssize_t got = ::read(file.fd, bytes->data() + done, bytes->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            set_error(error, "cannot read", path, errno);
            return false;
        }
        if (got == 0) break;  // the file shrank while being read: keep what exists
        done += size_t(got);
    }
    bytes->resize(done);
    return true;
}

}  // namespace vellimor
