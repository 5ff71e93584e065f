#include "cli/outputs/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvooutputs {

FolderLocks::~FolderLocks() {
    ReleaseAll();
}

bool FolderLocks::Lock(const std::string& dir, std::string& error) {
    struct stat folder {};
    if (stat(dir.c_str(), &folder) != 0) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    for (const Held& held : held_) {
        if (held.device == folder.st_dev && held.inode == folder.st_ino) return true;
    }
    const std::string path = dir + "/" + kLockFileName;
    // A holder removes the file as it lets go: a lock won on a file that is no
    // longer at the path is taken again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            error = path + ": cannot make the folder's lock file: " + std::strerror(errno);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int cause = errno;
            close(fd);
            if (cause == EINTR) continue;
            error = cause == EWOULDBLOCK
                        ? dir + ": another kvoexp is exporting into this folder (it holds " + path +
                              "); run again when it has finished"
                        : path + ": cannot lock: " + std::strerror(cause);
            return false;
        }
        struct stat locked {
        }, now{};
        if (fstat(fd, &locked) == 0 && stat(path.c_str(), &now) == 0 &&
            locked.st_dev == now.st_dev && locked.st_ino == now.st_ino) {
            held_.push_back({path, fd, static_cast<unsigned long long>(folder.st_dev),
                             static_cast<unsigned long long>(folder.st_ino)});
            return true;
        }
        close(fd);
    }
    error = path + ": the lock file keeps being replaced";
    return false;
}

void FolderLocks::Release(const std::string& dir) {
    const std::string path = dir + "/" + kLockFileName;
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->path != path) continue;
        unlink(it->path.c_str());
        close(it->fd);
        held_.erase(it);
        return;
    }
}

void FolderLocks::ReleaseAll() {
    for (const Held& held : held_) {
        unlink(held.path.c_str());
        close(held.fd);
    }
    held_.clear();
}

}  // namespace kvooutputs
