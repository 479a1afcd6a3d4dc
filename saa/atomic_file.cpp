// Atomic file replacement: temporary file in the target's directory, fsync, rename.
#include "saa/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "saa/saa.h"

namespace vellimor::saa {

namespace {

constexpr std::size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX
constexpr time_t kStaleAfterSeconds = 60;

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

int remove_stale_temporaries(const std::string &path) {
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    std::string prefix = "." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    DIR *listing = ::opendir(dir.c_str());
    if (!listing) return 0;
    int removed = 0;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTemporarySuffixLength || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string temporary = dir + "/" + name;
        int fd = ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat info {};
        // A writer holds its lock from creation to rename; the age covers the instant between
        // its mkstemp and its lock.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= kStaleAfterSeconds &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(temporary.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(listing);
    return removed;
}

void write_file_atomically(const std::string &path, const std::string &bytes) {
    remove_stale_temporaries(path);
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw WriteError(error_text("cannot create a temporary file for", path, errno));
    // Held until the file is renamed or removed: tells other processes it is being written.
    ::flock(fd, LOCK_EX);
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
