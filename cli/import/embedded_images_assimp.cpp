// The embedded images an Assimp scene's diffuse maps name (the import process's side).
#include <assimp/material.h>
#include <assimp/scene.h>
#include <assimp/texture.h>

#include <set>

#include "cli/import/embedded_images.h"

namespace kvoimport {

std::vector<EmbeddedImage> DiffuseEmbeddedImages(const aiScene* scene) {
    std::vector<EmbeddedImage> images;
    if (scene == nullptr) return images;
    std::set<std::string> taken;
    for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
        const aiMaterial* mat = scene->mMaterials[m];
        if (mat == nullptr) continue;
        for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}) {
            aiString path;
            if (mat->GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
            const std::string reference(path.C_Str(), path.length);
            const aiTexture* texture = scene->GetEmbeddedTexture(path.C_Str());
            // mHeight 0: mWidth bytes of an image file; else raw texels.
            if (texture != nullptr && texture->mHeight == 0 && texture->pcData != nullptr &&
                texture->mWidth > 0 && taken.insert(reference).second) {
                const uint8_t* bytes = reinterpret_cast<const uint8_t*>(texture->pcData);
                images.push_back(
                    {reference, std::string(texture->mFilename.C_Str(), texture->mFilename.length),
                     std::vector<uint8_t>(bytes, bytes + texture->mWidth)});
            }
            break;  // the first map found is the one the material takes
        }
    }
    return images;
}

}  // namespace kvoimport
