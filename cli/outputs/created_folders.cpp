#include "cli/outputs/created_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace kvooutputs {

std::vector<std::string> MissingFolders(const std::string& dir) {
    std::vector<std::string> missing;
    std::filesystem::path path = std::filesystem::path(dir).lexically_normal();
    if (path.has_filename() == false && path.has_parent_path()) path = path.parent_path();
    struct stat st {};
    while (!path.empty() && path != path.root_path() && path != "." && path != ".." &&
           lstat(path.c_str(), &st) != 0) {
        missing.push_back(path.string());
        path = path.parent_path();
    }
    return missing;
}

void RemoveEmptyFolders(const std::vector<std::string>& created) {
    for (const std::string& folder : created) {
        if (rmdir(folder.c_str()) != 0) return;  // not empty, or not ours to remove
    }
}

}  // namespace kvooutputs
