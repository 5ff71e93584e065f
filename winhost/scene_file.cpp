#include "winhost/scene_file.h"

#include <cstdio>
#include <vector>

#include "scene/scene_decoder.h"

namespace winhost {

bool ReadSceneFile(const std::string& path, kvoscene::Scene& scene, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open the scene file " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        error = "cannot read the scene file " + path;
        return false;
    }
    if (!kvoscene::DecodeScene(bytes.data(), bytes.size(), scene, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace winhost
