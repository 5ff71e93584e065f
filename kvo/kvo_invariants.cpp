#include "kvo/kvo_invariants.h"

#include <cstddef>
#include <cstdint>

namespace {

std::string Text(int32_t value) {
    return std::to_string(value);
}

// Element counts must also be byte sizes that fit in memory (a 32-bit build).
bool FitsInMemory(int32_t count, size_t elementSize) {
    return static_cast<uint64_t>(count) <= SIZE_MAX / elementSize;
}

// An array's count against its pointer; false when the array cannot be read.
bool CheckArray(const char* what, const void* data, int32_t count, const std::string& where,
                std::vector<std::string>& causes) {
    if (count < 0) {
        causes.push_back(where + what + " count " + Text(count) + " is negative");
        return false;
    }
    if (count > 0 && !data) {
        causes.push_back(where + what + " count " + Text(count) + " without an array");
        return false;
    }
    return true;
}

// An optional stream is checked only when present.
void CheckStream(const char* what, const void* data, int32_t count, int32_t vertexCount,
                 KvoStrictness strictness, const std::string& where,
                 std::vector<std::string>& causes) {
    if (!data) return;
    if (count < 0) {
        causes.push_back(where + what + " count " + Text(count) + " is negative");
    } else if (strictness != KvoStrictness::kWrite && count < vertexCount) {
        causes.push_back(where + what + " count " + Text(count) + " is below the vertex count " +
                         Text(vertexCount));
    }
}

}  // namespace

void CheckGeob(const KvoGeob& geob, KvoStrictness strictness, const std::string& where,
               std::vector<std::string>& causes) {
    const std::string at = where + ": ";
    const bool strict = strictness != KvoStrictness::kWrite;
    bool readable = CheckArray("index", geob.indices, geob.indexCount, at, causes);
    readable = CheckArray("vertex", geob.vertices, geob.vertexCount, at, causes) && readable;
    if (readable && strict &&
        (!FitsInMemory(geob.indexCount, sizeof(uint16_t)) ||
         !FitsInMemory(geob.vertexCount, 3 * sizeof(float)))) {
        causes.push_back(at + "index or vertex count too large for memory");
        readable = false;
    }
    if (readable && strict) {
        for (int32_t i = 0; i < geob.indexCount; ++i) {
            if (geob.indices[i] >= geob.vertexCount) {
                causes.push_back(at + "index " + Text(geob.indices[i]) + " at position " + Text(i) +
                                 " is not below the vertex count " + Text(geob.vertexCount));
                break;
            }
        }
    }
    CheckStream("normal", geob.normals, geob.normalCount, geob.vertexCount, strictness, at, causes);
    CheckStream("colour", geob.colors, geob.colorCount, geob.vertexCount, strictness, at, causes);
    CheckStream("texture coordinate", geob.texCoords, geob.texCoordCount, geob.vertexCount,
                strictness, at, causes);
    const int32_t fewestBursts = strict ? 1 : 0;
    if (geob.burstCount < fewestBursts || geob.burstCount > KvoGeob::kMaxBursts) {
        causes.push_back(at + "burst count " + Text(geob.burstCount) + " outside " +
                         Text(fewestBursts) + "..100");
    } else if (strict) {
        for (int32_t b = 0; b < geob.burstCount; ++b) {
            if (geob.burstMaterial[b] < 0) {
                causes.push_back(at + "burst " + Text(b) + " has the negative material number " +
                                 Text(geob.burstMaterial[b]));
                break;
            }
        }
    }
}

void CheckMaterial(const KvoMaterial& material, int depth, const std::string& where,
                   std::vector<std::string>& causes) {
    if (depth > KvoMaterial::kMaxNesting) {
        causes.push_back(where + ": sub-materials nested deeper than " +
                         Text(KvoMaterial::kMaxNesting));
        return;
    }
    if (material.textureCount < 0 || material.textureCount > KvoMaterial::kMaxTextures) {
        causes.push_back(where + ": texture count " + Text(material.textureCount) +
                         " outside 0..10");
    }
    if (material.subMaterialCount < 0 ||
        material.subMaterialCount > KvoMaterial::kMaxSubMaterials) {
        causes.push_back(where + ": sub-material count " + Text(material.subMaterialCount) +
                         " outside 0..100");
        return;
    }
    for (int32_t k = 0; k < material.subMaterialCount; ++k) {
        if (material.subMaterials[k]) {
            // Nested numbers form a dotted path: "material 1 sub-material 0.2".
            const std::string path = where + (depth == 0 ? " sub-material " : ".") + Text(k);
            CheckMaterial(*material.subMaterials[k], depth + 1, path, causes);
        }
    }
}

std::vector<std::string> CheckGeode(const KvoGeode& geode, KvoStrictness strictness) {
    std::vector<std::string> causes;
    if (geode.materialCount < 0 || geode.materialCount > KvoGeode::kMaxMaterials) {
        causes.push_back("material count " + Text(geode.materialCount) + " outside 0..250");
    }
    if (geode.geobCount < 0 || geode.geobCount > KvoGeode::kMaxGeobs) {
        causes.push_back("geob count " + Text(geode.geobCount) + " outside 0..200");
    }
    if (!causes.empty()) return causes;
    for (int32_t i = 0; i < geode.materialCount; ++i) {
        if (geode.materials[i]) {
            CheckMaterial(*geode.materials[i], 0, "material " + Text(i), causes);
        }
    }
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        const KvoGeob* geob = geode.geobs[i];
        if (!geob) continue;
        const std::string where = "geob " + Text(i);
        CheckGeob(*geob, strictness, where, causes);
        if (strictness == KvoStrictness::kFile &&
            (geob->materialIndex < 0 || geob->materialIndex >= geode.materialCount)) {
            causes.push_back(where + ": material index " + Text(geob->materialIndex) +
                             " outside the material table of " + Text(geode.materialCount));
        }
    }
    return causes;
}
