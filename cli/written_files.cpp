#include "cli/written_files.h"

namespace kvocli {

std::string WrittenFiles::Record(const std::string& path, const std::string& writer,
                                 const std::string& scene) {
    auto [it, inserted] = writers_.emplace(path, Entry{writer, files_.size()});
    if (inserted) {
        files_.push_back({path, scene});
        return {};
    }
    std::string earlier = it->second.writer;
    it->second.writer = writer;
    files_[it->second.index].scene = scene;
    return earlier;
}

}  // namespace kvocli
