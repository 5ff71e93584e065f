#include "kvo/kvo_validate.h"

namespace {

void CheckMaterial(const KvoMaterial& material, const std::string& where, int depth,
                   std::vector<std::string>& problems) {
    if (depth > KvoMaterial::kMaxNesting) {
        problems.push_back(where + ": sub-materials nested deeper than " +
                           std::to_string(KvoMaterial::kMaxNesting));
        return;
    }
    if (material.textureCount < 0 || material.textureCount > KvoMaterial::kMaxTextures) {
        problems.push_back(where + ": texture count " + std::to_string(material.textureCount) +
                           " outside 0..10");
    }
    if (material.subMaterialCount < 0 ||
        material.subMaterialCount > KvoMaterial::kMaxSubMaterials) {
        problems.push_back(where + ": sub-material count " +
                           std::to_string(material.subMaterialCount) + " outside 0..100");
        return;
    }
    for (int32_t k = 0; k < material.subMaterialCount; ++k) {
        if (material.subMaterials[k]) {
            CheckMaterial(*material.subMaterials[k], where + " sub-material " + std::to_string(k),
                          depth + 1, problems);
        }
    }
}

// An optional stream, when present, must cover every vertex.
void CheckStream(const char* name, const void* data, int32_t count, int32_t vertexCount,
                 const std::string& where, std::vector<std::string>& problems) {
    if (data && count < vertexCount) {
        problems.push_back(where + ": " + name + " count " + std::to_string(count) +
                           " is below the vertex count " + std::to_string(vertexCount));
    }
}

void CheckGeob(const KvoGeob& geob, int32_t materialCount, const std::string& where,
               std::vector<std::string>& problems) {
    if (geob.indexCount < 0 || geob.vertexCount < 0 || (geob.indexCount > 0 && !geob.indices) ||
        (geob.vertexCount > 0 && !geob.vertices)) {
        problems.push_back(where + ": index or vertex count does not match its array");
        return;
    }
    for (int32_t i = 0; i < geob.indexCount; ++i) {
        if (geob.indices[i] >= geob.vertexCount) {
            problems.push_back(where + ": index " + std::to_string(geob.indices[i]) +
                               " at position " + std::to_string(i) +
                               " is not below the vertex count " +
                               std::to_string(geob.vertexCount));
            break;
        }
    }
    CheckStream("normal", geob.normals, geob.normalCount, geob.vertexCount, where, problems);
    CheckStream("colour", geob.colors, geob.colorCount, geob.vertexCount, where, problems);
    CheckStream("texture coordinate", geob.texCoords, geob.texCoordCount, geob.vertexCount, where,
                problems);
    if (geob.burstCount < 1 || geob.burstCount > KvoGeob::kMaxBursts) {
        problems.push_back(where + ": burst count " + std::to_string(geob.burstCount) +
                           " outside 1..100");
    } else {
        for (int32_t b = 0; b < geob.burstCount; ++b) {
            if (geob.burstMaterial[b] < 0) {
                problems.push_back(where + ": burst " + std::to_string(b) +
                                   " has the negative material number " +
                                   std::to_string(geob.burstMaterial[b]));
                break;
            }
        }
    }
    if (geob.materialIndex < 0 || geob.materialIndex >= materialCount) {
        problems.push_back(where + ": material index " + std::to_string(geob.materialIndex) +
                           " outside the material table of " + std::to_string(materialCount));
    }
}

}  // namespace

std::vector<std::string> ValidateGeode(const KvoGeode& geode) {
    std::vector<std::string> problems;
    if (geode.materialCount < 0 || geode.materialCount > KvoGeode::kMaxMaterials ||
        geode.geobCount < 0 || geode.geobCount > KvoGeode::kMaxGeobs) {
        problems.push_back("table counts outside 0..250 materials and 0..200 geobs");
        return problems;
    }
    for (int32_t i = 0; i < geode.materialCount; ++i) {
        if (geode.materials[i]) {
            CheckMaterial(*geode.materials[i], "material " + std::to_string(i), 0, problems);
        }
    }
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        if (geode.geobs[i]) {
            CheckGeob(*geode.geobs[i], geode.materialCount, "geob " + std::to_string(i), problems);
        }
    }
    return problems;
}
