// POSIX variant: open(O_CREAT | O_EXCL | O_NOFOLLOW), fchmod, rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvo/temp_file.h"

namespace {

constexpr int kAttempts = 64;

uint64_t Seed(int attempt) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) << 30) ^ static_cast<uint64_t>(now.tv_nsec) ^
           (static_cast<uint64_t>(getpid()) << 40) ^ static_cast<uint64_t>(attempt) << 20;
}

std::string DirectoryName(const std::string& target) {
    const size_t slash = target.rfind('/');
    return slash == std::string::npos ? "." : target.substr(0, slash + 1);
}

}  // namespace

FILE* OpenExclusive(const std::string& path, int permissions, bool& exists, std::string& failure) {
    exists = false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        exists = errno == EEXIST;
        failure = std::strerror(errno);
        return nullptr;
    }
    if (permissions >= 0 && fchmod(fd, static_cast<mode_t>(permissions)) != 0) {
        failure = std::strerror(errno);
        close(fd);
        unlink(path.c_str());
        return nullptr;
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        failure = std::strerror(errno);
        close(fd);
        unlink(path.c_str());
    }
    return stream;
}

bool CreateTemporaryBeside(const std::string& target, TemporaryFile& file, std::string& error) {
    // A replaced regular file keeps its permission bits; a new file gets the default.
    struct stat existing {};
    const int permissions = lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                                ? static_cast<int>(existing.st_mode & 0777)
                                : -1;
    std::string failure;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string path = TemporaryPathBeside(target, Seed(attempt), "/");
        bool exists = false;
        file.stream = OpenExclusive(path, permissions, exists, failure);
        if (file.stream) {
            file.path = path;
            return true;
        }
        if (!exists) break;
    }
    error = "cannot create a temporary file in '" + DirectoryName(target) + "': " + failure;
    return false;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target,
                          std::string& error) {
    if (std::rename(temporary.c_str(), target.c_str()) == 0) return true;
    error = "cannot replace '" + target + "': " + std::strerror(errno);
    return false;
}
