// One material record of a KVO file: colours, texture names, sub-materials.
#pragma once

#include <cstdint>
#include <string>

struct KvoMaterial {
    static constexpr int kMaxTextures = 10;
    static constexpr int kMaxSubMaterials = 100;
    // Deepest sub-material level the reader accepts and the writer produces.
    static constexpr int kMaxNesting = 32;

    KvoMaterial();
    // Destroys the texture-name strings and the sub-materials it owns.
    ~KvoMaterial();
    KvoMaterial(const KvoMaterial&) = delete;
    KvoMaterial& operator=(const KvoMaterial&) = delete;

    std::string name;
    std::string secondaryName;
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float emission[4];
    float shininess;
    float transparency;
    int32_t transparencyMode;
    int32_t flags;
    std::string* textures[kMaxTextures];
    uint8_t textureSlotBytes[kMaxTextures];
    int32_t textureCount;
    float uvTransform[7];
    int32_t subMaterialCount;
    KvoMaterial* subMaterials[kMaxSubMaterials];
};
