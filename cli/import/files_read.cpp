// The list of files an import read, and a texture's file: the part of
// import_files.h that the OBJ reader uses too, kept free of the importer.
#include <filesystem>

#include "cli/import/import_files.h"
#include "textures/texture_lookup.h"

namespace kvoimport {

namespace fs = std::filesystem;

void FilesRead::Add(const std::string& path) {
    if (path.empty()) return;
    std::string normal = fs::path(path).lexically_normal().string();
    if (seen_.insert(normal).second) paths_.push_back(std::move(normal));
}

void AddTextureFile(const std::string& name, const std::string& scenePath, FilesRead& files) {
    if (name.empty() || name[0] == '*') return;
    const kvotextures::TextureSearch search = {fs::path(scenePath).parent_path().string(), {}};
    const std::string file = kvotextures::LookupTexture(name, search).path;
    if (!file.empty()) files.Add(file);
}

}  // namespace kvoimport
