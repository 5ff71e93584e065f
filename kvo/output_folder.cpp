#include "kvo/output_folder.h"

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

}  // namespace

OutputFolder::~OutputFolder() {
    Close();
}

bool OutputFolder::NameIn(const std::string& target, std::string& name) const {
    if (!IsOpen() || path_.empty() || target.compare(0, path_.size(), path_) != 0) return false;
    const std::string separators = kSeparators;
    // One separator joins them, or the folder's path ends in one already.
    size_t start = path_.size();
    if (start < target.size() && separators.find(target[start]) != std::string::npos) {
        ++start;
    } else if (separators.find(path_.back()) == std::string::npos) {
        return false;
    }
    name = target.substr(start);
    return !name.empty() && name.find_first_of(separators) == std::string::npos && name != "." &&
           name != "..";
}
