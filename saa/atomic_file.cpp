// Atomic file replacement: temporary file in the target's directory, fsync, rename.
#include "saa/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "saa/saa.h"

namespace vellimor::saa {

namespace {

long long &write_failure_after() {
    static long long bytes = -1;
    return bytes;
}

std::string error_text(const std::string &what, const std::string &path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// Writes all bytes, honouring the injected failure point.
bool write_all(int fd, const std::string &bytes, int &error) {
    std::size_t limit = bytes.size();
    bool injected = false;
    if (write_failure_after() >= 0 && static_cast<unsigned long long>(write_failure_after()) < limit) {
        limit = static_cast<std::size_t>(write_failure_after());
        injected = true;
    }
    std::size_t done = 0;
    while (done < limit) {
        ssize_t n = ::write(fd, bytes.data() + done, limit - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (injected) {
        error = ENOSPC;
        return false;
    }
    return true;
}

}  // namespace

void set_write_failure_after(long long bytes) { write_failure_after() = bytes; }

void write_file_atomically(const std::string &path, const std::string &bytes) {
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw WriteError(error_text("cannot create a temporary file for", path, errno));
    int error = 0;
    bool ok = write_all(fd, bytes, error);
    if (ok && ::fsync(fd) != 0) {
        error = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    // mkstemp creates 0600; give the file the ordinary permissions a new file would get.
    if (ok) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.data(), 0666 & ~mask);
    }
    if (ok && ::rename(temp.data(), path.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.data());
        throw WriteError(error_text("cannot write", path, error));
    }
}

}  // namespace vellimor::saa

// Host side, for tests: see saa.h.
extern "C" int SAA_hostFailWritesAfter(long long bytes) {
    vellimor::saa::set_write_failure_after(bytes);
    return SAA_OK;
}
