// The scene file's name without folders and last extension, which names the
// scene's nodes where the file gives none (both readers use it).
#pragma once

#include <string>

namespace kvoimport {

inline std::string FileStem(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace kvoimport
