#include "cli/import/import_files.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cli/import/image_file.h"

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

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file a texture name refers to, or "" when none exists. Names written
// on Windows (".\\wood.jpg") are tried with '/' as well.
std::string TextureFile(const std::string& name, const fs::path& sceneDir) {
    std::string spellings[2] = {name, name};
    std::replace(spellings[1].begin(), spellings[1].end(), '\\', '/');
    for (const std::string& spelling : spellings) {
        const fs::path path(spelling);
        const std::string candidate = (path.is_absolute() ? path : sceneDir / path).string();
        if (IsRegularFile(candidate) && IsImageFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace

void FilesRead::Add(const std::string& path) {
    if (path.empty()) return;
    std::string normal = fs::path(path).lexically_normal().string();
    if (seen_.insert(normal).second) paths_.push_back(std::move(normal));
}

Assimp::IOSystem* NewRecordingIOSystem(FilesRead& files) {
    return new RecordingIOSystem(files);
}

void AddNamedTextures(const aiScene* scene, const std::string& scenePath, FilesRead& files) {
    if (scene == nullptr) return;
    const fs::path sceneDir = fs::path(scenePath).parent_path();
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
                const std::string file =
                    TextureFile(std::string(name.C_Str(), name.length), sceneDir);
                if (!file.empty()) files.Add(file);
            }
        }
    }
}

}  // namespace kvoimport
