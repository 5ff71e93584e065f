#include "cli/import/import_files.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "textures/texture_lookup.h"

namespace kvoimport {

namespace {

namespace fs = std::filesystem;

class RecordingIOSystem : public Assimp::DefaultIOSystem {
public:
    explicit RecordingIOSystem(FilesRead& files) : files_(files) {}
    using Assimp::DefaultIOSystem::Open;
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        Assimp::IOStream* stream = Assimp::DefaultIOSystem::Open(file, mode);
        const bool reading = mode == nullptr || std::strpbrk(mode, "wa+") == nullptr;
        if (stream != nullptr && reading && file != nullptr) files_.Add(file);
        return stream;
    }

private:
    FilesRead& files_;
};

}  // namespace

Assimp::IOSystem* NewRecordingIOSystem(FilesRead& files) {
    return new RecordingIOSystem(files);
}

void AddNamedTextures(const aiScene* scene, const std::string& scenePath, FilesRead& files) {
    if (scene == nullptr) return;
    const kvotextures::TextureSearch search = {fs::path(scenePath).parent_path().string(), {}};
    for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
        const aiMaterial* mat = scene->mMaterials[m];
        if (mat == nullptr) continue;
        for (int type = aiTextureType_NONE + 1; type <= AI_TEXTURE_TYPE_MAX; ++type) {
            const aiTextureType t = static_cast<aiTextureType>(type);
            for (unsigned i = 0; i < mat->GetTextureCount(t); ++i) {
                aiString name;
                if (mat->GetTexture(t, i, &name) != AI_SUCCESS || name.length == 0) continue;
                if (name.data[0] == '*' || scene->GetEmbeddedTexture(name.C_Str()) != nullptr) {
                    continue;
                }
                // The host's lookup adds what the --texture-path folders hold.
                const std::string file =
                    kvotextures::LookupTexture(std::string(name.C_Str(), name.length), search).path;
                if (!file.empty()) files.Add(file);
            }
        }
    }
}

}  // namespace kvoimport
