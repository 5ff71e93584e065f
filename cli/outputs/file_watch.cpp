#include "cli/outputs/file_watch.h"

#include <sys/stat.h>

namespace kvooutputs {

bool FileStamp::operator==(const FileStamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modifiedNs == o.modifiedNs;
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

void FileWatch::Before(const std::vector<std::string>& paths) {
    before_.clear();
    for (const std::string& path : paths) before_[path] = StampOf(path);
}

bool FileWatch::Written(const std::string& path) const {
    const FileStamp now = StampOf(path);
    if (!now.exists) return false;
    const auto it = before_.find(path);
    return it == before_.end() || !(it->second == now);
}

}  // namespace kvooutputs
