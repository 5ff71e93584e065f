// The folder part of a '/'-separated path, as the console host's checks read
// paths of scenes and written files.
#pragma once

#include <string>

namespace kvooutputs {

// "." for a bare name, "/" for a file in the root.
inline std::string FolderOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
}

}  // namespace kvooutputs
