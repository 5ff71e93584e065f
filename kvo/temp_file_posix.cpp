// POSIX variant: open(O_CREAT | O_EXCL | O_NOFOLLOW), fchmod, rename; their
// *at forms relative to an open output folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvo/output_folder.h"
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

// Where a path is reached (PlaceOf in output_folder.h).
struct Place {
    int dir = AT_FDCWD;
    std::string name;
};

Place Where(const std::string& path, const OutputFolder* folder) {
    Place place;
    place.dir = PlaceOf(path, folder, place.name);
    return place;
}

FILE* OpenExclusiveAt(const Place& place, int permissions, bool& exists, std::string& failure) {
    exists = false;
    const int fd = openat(place.dir, place.name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        exists = errno == EEXIST;
        failure = std::strerror(errno);
        return nullptr;
    }
    if (permissions >= 0 && fchmod(fd, static_cast<mode_t>(permissions)) != 0) {
        failure = std::strerror(errno);
        close(fd);
        unlinkat(place.dir, place.name.c_str(), 0);
        return nullptr;
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        failure = std::strerror(errno);
        close(fd);
        unlinkat(place.dir, place.name.c_str(), 0);
    }
    return stream;
}

}  // namespace

FILE* OpenExclusive(const std::string& path, int permissions, bool& exists, std::string& failure) {
    return OpenExclusiveAt(Where(path, nullptr), permissions, exists, failure);
}

bool CreateTemporaryBeside(const std::string& target, TemporaryFile& file, std::string& error,
                           const OutputFolder* folder) {
    // A replaced regular file keeps its permission bits; a new file gets the default.
    const Place where = Where(target, folder);
    struct stat existing {};
    const int permissions =
        fstatat(where.dir, where.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(existing.st_mode)
            ? static_cast<int>(existing.st_mode & 0777)
            : -1;
    std::string failure;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string path = TemporaryPathBeside(target, Seed(attempt), "/");
        bool exists = false;
        file.stream = OpenExclusiveAt(Where(path, folder), permissions, exists, failure);
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
                          std::string& error, const OutputFolder* folder) {
    const Place from = Where(temporary, folder);
    const Place to = Where(target, folder);
    if (renameat(from.dir, from.name.c_str(), to.dir, to.name.c_str()) == 0) return true;
    error = "cannot replace '" + target + "': " + std::strerror(errno);
    return false;
}

void RemoveTemporary(const std::string& temporary, const OutputFolder* folder) {
    if (temporary.empty()) return;
    const Place place = Where(temporary, folder);
    unlinkat(place.dir, place.name.c_str(), 0);
}
