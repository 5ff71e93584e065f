#include "cli/import/scene_file_stamp.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace kvoimport {

bool StampSceneFile(const std::string& path, SceneFileStamp& stamp, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "is a directory";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

std::string ChangeWhileRead(const SceneFileStamp& before, const SceneFileStamp& after) {
    const std::string prefix = "the file changed while it was read";
    if (before.device != after.device || before.inode != after.inode) {
        return prefix + " (replaced by another file)";
    }
    if (before.size != after.size) {
        return prefix + " (" + std::to_string(before.size) + " bytes, then " +
               std::to_string(after.size) + ")";
    }
    if (before.modifiedNs != after.modifiedNs) return prefix + " (its modification time moved)";
    return {};
}

}  // namespace kvoimport
