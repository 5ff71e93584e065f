#include "cli/checks/written_files.h"

namespace kvochecks {

namespace {

std::string Folded(const std::string& path) {
    std::string folded = path;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

}  // namespace

EarlierWrite WrittenFiles::Record(const std::string& path, const std::string& writer,
                                  const std::string& scene) {
    Entry& entry = byFoldedPath_[Folded(path)];
    EarlierWrite earlier = entry.last;
    entry.last = {writer, path};
    const auto [it, inserted] = indexOfPath_.emplace(path, files_.size());
    if (inserted) {
        files_.push_back({path, scene});
    } else {
        files_[it->second].scene = scene;
    }
    return earlier;
}

std::vector<std::string> WrittenFiles::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(files_.size());
    for (const WrittenFile& file : files_) paths.push_back(file.path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace kvochecks
