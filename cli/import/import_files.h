// The files an import reads, for a depfile: those Assimp opens (the scene,
// an OBJ's .mtl, a glTF's .bin) and the texture files its materials name
// that exist.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/import/embedded_images.h"

struct aiScene;
namespace Assimp {
class IOSystem;
}

namespace kvoimport {

// Paths in the order first met, each once, lexically normalised.
class FilesRead {
public:
    void Add(const std::string& path);
    const std::vector<std::string>& Paths() const { return paths_; }
    // The images the scene file itself holds, read with it (when asked for).
    std::vector<EmbeddedImage> embeddedImages;

private:
    std::vector<std::string> paths_;
    std::set<std::string> seen_;
};

// A file system for Assimp::Importer::SetIOHandler (which takes ownership)
// that records every file opened for reading into `files`.
Assimp::IOSystem* NewRecordingIOSystem(FilesRead& files);

// Adds the texture files the scene's materials name, found by the one lookup
// rule (textures/texture_lookup.h) from the scene's folder: images only;
// textures inside the file have no file.
void AddNamedTextures(const aiScene* scene, const std::string& scenePath, FilesRead& files);

// Adds the file one texture name refers to, when it exists (the same lookup).
void AddTextureFile(const std::string& name, const std::string& scenePath, FilesRead& files);

}  // namespace kvoimport
