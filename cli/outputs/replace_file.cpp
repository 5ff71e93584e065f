#include "cli/outputs/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kvooutputs {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Fail(const std::string& path, std::string& error) {
    error = path + ": " + std::strerror(errno ? errno : EIO);
    return false;
}

// A device or FIFO: written through as a shell redirection would.
bool WriteThrough(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return Fail(path, error);
    const bool wrote = WriteAll(fd, bytes);
    const int cause = errno;
    if (close(fd) != 0 || !wrote) {
        errno = wrote ? errno : cause;
        return Fail(path, error);
    }
    return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return Fail(path, error);
        }
        if (!S_ISREG(st.st_mode)) return WriteThrough(path, bytes, error);
    }
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Fail(path, error);
    // A new file gets the permissions the umask leaves; a replaced one keeps its own.
    mode_t mode = 0;
    if (stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const bool wrote = WriteAll(fd, bytes) && fchmod(fd, mode) == 0;
    const int cause = errno;
    const bool closed = close(fd) == 0;
    if (!wrote || !closed || rename(temp.c_str(), path.c_str()) != 0) {
        const int failure = !wrote ? cause : errno;
        unlink(temp.c_str());
        errno = failure;
        return Fail(path, error);
    }
    return true;
}

}  // namespace kvooutputs
