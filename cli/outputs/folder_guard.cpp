#include "cli/outputs/folder_guard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kvo/kvo_temp_name.h"

namespace kvooutputs {

namespace {

// The path is looked at every so often.
constexpr std::chrono::milliseconds kLookInterval{1};

}  // namespace

FolderGuard::~FolderGuard() {
    if (fd_ >= 0) close(fd_);
}

bool FolderGuard::Open(const std::string& dir) {
    if (fd_ >= 0) close(fd_);
    fd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    dir_ = dir;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    moved_ = false;
    lastLook_ = std::chrono::steady_clock::now();
    return true;
}

bool FolderGuard::Moved() const {
    if (fd_ < 0) return false;
    struct stat st {};
    return stat(dir_.c_str(), &st) != 0 || st.st_dev != device_ || st.st_ino != inode_;
}

bool FolderGuard::PollSlow() {
    calls_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastLook_ < kLookInterval) return false;
    lastLook_ = now;
    moved_ = Moved();
    return moved_;
}

std::vector<std::string> FolderGuard::RemoveTemporaries() const {
    std::vector<std::string> removed;
    if (fd_ < 0) return removed;
    const int listing = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return removed;
    DIR* entries = fdopendir(listing);
    if (entries == nullptr) {
        close(listing);
        return removed;
    }
    while (const dirent* entry = readdir(entries)) {
        if (kvo::IsTemporaryName(entry->d_name) && unlinkat(fd_, entry->d_name, 0) == 0) {
            removed.emplace_back(entry->d_name);
        }
    }
    closedir(entries);
    return removed;
}

}  // namespace kvooutputs
