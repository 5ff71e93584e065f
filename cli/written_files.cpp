#include "cli/written_files.h"

namespace kvocli {

namespace {

std::string Folded(const std::string& path) {
    std::string folded = path;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

}  // namespace

EarlierWrite WrittenFiles::Record(const std::string& path, const std::string& writer) {
    EarlierWrite& entry = byFoldedPath_[Folded(path)];
    EarlierWrite earlier = entry;
    entry = {writer, path};
    return earlier;
}

}  // namespace kvocli
