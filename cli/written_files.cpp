#include "cli/written_files.h"

namespace kvocli {

std::string WrittenFiles::Record(const std::string& path, const std::string& writer) {
    auto [it, inserted] = writers_.emplace(path, writer);
    if (inserted) return {};
    std::string earlier = it->second;
    it->second = writer;
    return earlier;
}

std::vector<std::string> WrittenFiles::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(writers_.size());
    for (const auto& entry : writers_) paths.push_back(entry.first);
    return paths;
}

}  // namespace kvocli
