#include "cli/written_files.h"

namespace kvocli {

std::string WrittenFiles::Record(const std::string& path, const std::string& writer) {
    auto [it, inserted] = writers_.emplace(path, writer);
    if (inserted) return {};
    std::string earlier = it->second;
    it->second = writer;
    return earlier;
}

}  // namespace kvocli
