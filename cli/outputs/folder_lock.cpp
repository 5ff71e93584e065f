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

namespace {

// The lock file in the folder open as `dir` is still the file open as `fd`.
bool SameFile(int dir, int fd) {
    struct stat locked {
    }, now{};
    return fstat(fd, &locked) == 0 && fstatat(dir, kLockFileName, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           locked.st_dev == now.st_dev && locked.st_ino == now.st_ino;
}

}  // namespace

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
    // The lock file is made and removed relative to the folder as opened here,
    // so a folder renamed or replaced by a link meanwhile loses no lock file
    // and another tree's is never touched.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || fstat(dirFd, &folder) != 0) {
        error = path + ": cannot make the folder's lock file: " + std::strerror(errno);
        if (dirFd >= 0) close(dirFd);
        return false;
    }
    // A holder removes the file as it lets go: a lock won on a file that is no
    // longer at the path is taken again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd =
            openat(dirFd, kLockFileName, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            error = path + ": cannot make the folder's lock file: " + std::strerror(errno);
            close(dirFd);
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
            close(dirFd);
            return false;
        }
        if (SameFile(dirFd, fd)) {
            held_.push_back({path, fd, dirFd, static_cast<unsigned long long>(folder.st_dev),
                             static_cast<unsigned long long>(folder.st_ino)});
            return true;
        }
        close(fd);
    }
    close(dirFd);
    error = path + ": the lock file keeps being replaced";
    return false;
}

void FolderLocks::Release(const std::string& dir) {
    const std::string path = dir + "/" + kLockFileName;
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->path != path) continue;
        Let(*it);
        held_.erase(it);
        return;
    }
}

void FolderLocks::ReleaseAll() {
    for (const Held& held : held_) Let(held);
    held_.clear();
}

void FolderLocks::Let(const Held& held) {
    if (SameFile(held.dirFd, held.fd)) unlinkat(held.dirFd, kLockFileName, 0);
    close(held.fd);
    close(held.dirFd);
}

}  // namespace kvooutputs
