#include "render/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <random>
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

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ < 0) return;
    ::close(fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFileWriter::open(const std::string &path, std::string *error) {
    path_ = path;
    temporary_.clear();
    write_error_ = 0;
    // An unnamed file in the target's folder: a process killed while writing leaves nothing
    // behind. Where the file system has no unnamed files, a named temporary it is.
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    // Naming it later goes through /proc/self/fd.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) return true;
    }
    temporary_ = path + ".XXXXXX";
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) {
        set_error(error, "cannot create", path, errno);
        return false;
    }
    // mkstemp makes the file private; a picture is an ordinary file that others may read.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
}

bool AtomicFileWriter::write(const uint8_t *data, size_t size) {
    if (fd_ < 0 || write_error_) return false;
    if (!write_all(fd_, data, size)) write_error_ = errno ? errno : EIO;
    return write_error_ == 0;
}

// Gives the unnamed file a temporary name beside the target, for the rename that replaces the
// target whole; 0 or the error.
int AtomicFileWriter::name_unnamed_file() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    std::random_device random;
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = path_ + ".";
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

bool AtomicFileWriter::commit(std::string *error) {
    if (fd_ < 0) {
        set_error(error, "cannot write", path_, EBADF);
        return false;
    }
    int code = write_error_;
    if (!code && ::fsync(fd_) != 0) code = errno;
    if (!code && temporary_.empty()) code = name_unnamed_file();
    const int closed = ::close(fd_);
    fd_ = -1;
    if (!code && closed != 0) code = errno;
    if (!code && ::rename(temporary_.c_str(), path_.c_str()) != 0) code = errno;
    if (code) {
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
        set_error(error, "cannot write", path_, code);
        return false;
    }
    return true;
}

bool write_file_atomically(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
    AtomicFileWriter file;
    if (!file.open(path, error)) return false;
    file.write(bytes.data(), bytes.size());
    return file.commit(error);
}

bool read_file_start(const std::string &path, size_t max_bytes, std::vector<uint8_t> *bytes,
                     size_t *file_size, std::string *error) {
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
    if (file_size) *file_size = size_t(info.st_size);
    bytes->assign(max_bytes, 0);
    size_t done = 0;
    while (done < max_bytes) {
        ssize_t got = ::read(file.fd, bytes->data() + done, max_bytes - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            set_error(error, "cannot read", path, errno);
            return false;
        }
        if (got == 0) break;
        done += size_t(got);
    }
    bytes->resize(done);
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
