#include "tests/kvo/literal_optimizer.h"

#include <cstdlib>
#include <vector>

namespace literal {
namespace {

void CopyFloats(float* to, int32_t toEntry, const float* from, int32_t fromEntry, int components) {
    for (int c = 0; c < components; ++c) {
        to[toEntry * components + c] = from[fromEntry * components + c];
    }
}

void ExchangeFloats(float* data, int32_t a, int32_t b, int components) {
    for (int c = 0; c < components; ++c) {
        const float held = data[a * components + c];
        data[a * components + c] = data[b * components + c];
        data[b * components + c] = held;
    }
}

bool SameValues(const float* data, int32_t i, int32_t j, int components) {
    for (int c = 0; c < components; ++c) {
        if (!(data[i * components + c] == data[j * components + c])) return false;
    }
    return true;
}

bool ShortStream(const float* data, int32_t count, int32_t vertexCount) {
    return data != nullptr && count < vertexCount;
}

int32_t Saturate(int64_t count) {
    return count > INT32_MAX ? INT32_MAX : int32_t(count);
}

void Add(int32_t* counter, int32_t amount) {
    const int64_t sum = int64_t{*counter} + amount;
    *counter = sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

void SwapUnchecked(KvoGeob* geob, int32_t a, int32_t b) {
    for (int32_t p = 0; p < geob->indexCount; ++p) {
        if (geob->indices[p] == a) {
            geob->indices[p] = uint16_t(b);
        } else if (geob->indices[p] == b) {
            geob->indices[p] = uint16_t(a);
        }
    }
    ExchangeFloats(geob->vertices, a, b, 3);
    if (geob->normals) ExchangeFloats(geob->normals, a, b, 3);
    if (geob->colors) ExchangeFloats(geob->colors, a, b, 3);
    if (geob->texCoords) ExchangeFloats(geob->texCoords, a, b, 2);
}

}  // namespace

bool KeepsInvariants(const KvoGeob& geob) {
    if (geob.indexCount < 0 || geob.vertexCount < 0) return false;
    if (geob.indexCount > 0 && geob.indices == nullptr) return false;
    if (geob.vertexCount > 0 && geob.vertices == nullptr) return false;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        if (geob.indices[p] >= geob.vertexCount) return false;
    }
    if (ShortStream(geob.normals, geob.normalCount, geob.vertexCount)) return false;
    if (ShortStream(geob.colors, geob.colorCount, geob.vertexCount)) return false;
    if (ShortStream(geob.texCoords, geob.texCoordCount, geob.vertexCount)) return false;
    if (geob.burstCount < 1 || geob.burstCount > 100) return false;
    for (int32_t b = 0; b < geob.burstCount; ++b) {
        if (geob.burstMaterial[b] < 0) return false;
    }
    return true;
}

KvoMaterial* ResolveBurstMaterial(const KvoGeode& geode, const KvoGeob* geob,
                                  int32_t burstMaterial) {
    if (geob == nullptr || geode.materialCount == 0) return nullptr;
    if (geob->materialIndex < 0 || geob->materialIndex >= geode.materialCount ||
        geob->materialIndex >= 250 || geode.materials[geob->materialIndex] == nullptr) {
        return nullptr;
    }
    KvoMaterial* m = geode.materials[geob->materialIndex];
    if (m->subMaterialCount <= 0) {
        int32_t index = geob->materialIndex;
        if (index > geode.materialCount - 1) index = geode.materialCount - 1;
        if (index < 0) index = 0;
        return geode.materials[index];
    }
    int32_t number = burstMaterial;
    if (number > m->subMaterialCount - 1) number = m->subMaterialCount - 1;
    if (number < 0) number = 0;
    return m->subMaterials[number];
}

int32_t MergeBursts(const KvoGeode& geode, KvoGeob* geob) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return 0;
    if (geob->indexCount == 0 || geob->burstCount == 1) return 0;
    // Only bursts of whole triangles that cover every entry exactly once are merged.
    std::vector<int> cover(geob->indexCount, 0);
    for (int32_t b = 0; b < geob->burstCount; ++b) {
        if (geob->burstStart[b] < 0 || geob->burstLength[b] < 0) return 0;
        if (geob->burstStart[b] % 3 != 0 || geob->burstLength[b] % 3 != 0) return 0;
        const int32_t first = geob->burstStart[b] / 3;
        const int32_t count = geob->burstLength[b] / 3;
        if (first + count > geob->indexCount) return 0;
        for (int32_t k = 0; k < count; ++k) ++cover[first + k];
    }
    for (int covered : cover) {
        if (covered != 1) return 0;
    }

    for (int32_t i = 0; i < geob->burstCount; ++i) {
        for (int32_t j = i + 1; j < geob->burstCount; ++j) {
            if (ResolveBurstMaterial(geode, geob, geob->burstMaterial[i]) ==
                ResolveBurstMaterial(geode, geob, geob->burstMaterial[j])) {
                geob->burstMaterial[j] = geob->burstMaterial[i];
            }
        }
    }

    uint16_t* list = static_cast<uint16_t*>(std::malloc(geob->indexCount * sizeof(uint16_t)));
    if (list == nullptr) return 0;
    for (int32_t p = 0; p < geob->indexCount; ++p) list[p] = 0;
    int32_t start[100];
    int32_t length[100];
    int32_t material[100];
    int32_t newCount = 0;
    int32_t position = 0;
    for (int32_t i = 0; i < geob->burstCount; ++i) {
        bool opened = false;
        for (int32_t j = i; j < geob->burstCount; ++j) {
            if (geob->burstMaterial[j] == -1 || geob->burstMaterial[j] != geob->burstMaterial[i]) {
                continue;
            }
            if (!opened) {
                opened = true;
                start[newCount] = 3 * position;
                length[newCount] = 0;
                material[newCount] = geob->burstMaterial[i];
                ++newCount;
            }
            for (int32_t k = 0; k < geob->burstLength[j] / 3; ++k) {
                list[position++] = geob->indices[geob->burstStart[j] / 3 + k];
            }
            length[newCount - 1] += geob->burstLength[j];
            if (j != i) geob->burstMaterial[j] = -1;
        }
    }
    std::free(geob->indices);
    geob->indices = list;
    for (int32_t b = 0; b < newCount; ++b) {
        geob->burstStart[b] = start[b];
        geob->burstLength[b] = length[b];
        geob->burstMaterial[b] = material[b];
    }
    const int32_t removed = geob->burstCount - newCount;
    geob->burstCount = newCount;
    return removed;
}

int32_t WeldVertices(KvoGeob* geob) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return 0;
    int64_t result = 0;
    for (int32_t i = 0; i < geob->vertexCount; ++i) {
        for (int32_t j = i + 1; j < geob->vertexCount; ++j) {
            if (!SameValues(geob->vertices, i, j, 3)) continue;
            if (geob->texCoords != nullptr && !SameValues(geob->texCoords, i, j, 2)) continue;
            if (geob->normals != nullptr && !SameValues(geob->normals, i, j, 3)) continue;
            if (geob->colors != nullptr && !SameValues(geob->colors, i, j, 3)) continue;
            ++result;
            for (int32_t p = 0; p < geob->indexCount; ++p) {
                if (geob->indices[p] == j) geob->indices[p] = uint16_t(i);
            }
        }
    }
    return Saturate(result);
}

int32_t CompactVertices(KvoGeob* geob) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return 0;
    int32_t max = -1;
    for (int32_t p = 0; p < geob->indexCount; ++p) {
        if (geob->indices[p] > max) max = geob->indices[p];
    }
    int32_t holes = 0;
    for (int32_t v = 0; v < max; ++v) {
        bool used = false;
        for (int32_t p = 0; p < geob->indexCount; ++p) {
            if (geob->indices[p] == v) used = true;
        }
        if (!used) ++holes;
    }
    const int32_t n = max + 1 - holes;
    if (n == 0) return 0;
    float* positions = static_cast<float*>(std::malloc(n * 3 * sizeof(float)));
    float* normals = static_cast<float*>(std::malloc(n * 3 * sizeof(float)));
    float* texCoords = static_cast<float*>(std::malloc(n * 2 * sizeof(float)));
    float* colors = static_cast<float*>(std::malloc(n * 3 * sizeof(float)));
    if (!positions || !normals || !texCoords || !colors) {
        std::free(positions);
        std::free(normals);
        std::free(texCoords);
        std::free(colors);
        return 0;
    }
    for (int32_t i = 0; i < n; ++i) {
        bool used = false;
        for (int32_t p = 0; p < geob->indexCount; ++p) {
            if (geob->indices[p] == i) used = true;
        }
        int32_t source = i;
        if (!used) {
            for (int32_t p = 0; p < geob->indexCount; ++p) {
                if (geob->indices[p] >= i && geob->indices[p] > source) source = geob->indices[p];
            }
            for (int32_t p = 0; p < geob->indexCount; ++p) {
                if (geob->indices[p] == source) geob->indices[p] = uint16_t(i);
            }
        }
        CopyFloats(positions, i, geob->vertices, source, 3);
        if (geob->normals) CopyFloats(normals, i, geob->normals, source, 3);
        if (geob->colors) CopyFloats(colors, i, geob->colors, source, 3);
        if (geob->texCoords) CopyFloats(texCoords, i, geob->texCoords, source, 2);
    }
    std::free(geob->vertices);
    geob->vertices = positions;
    geob->vertexCount = n;
    if (geob->normals) {
        std::free(geob->normals);
        geob->normals = normals;
        geob->normalCount = n;
    } else {
        std::free(normals);
    }
    if (geob->texCoords) {
        std::free(geob->texCoords);
        geob->texCoords = texCoords;
        geob->texCoordCount = n;
    } else {
        std::free(texCoords);
    }
    if (geob->colors) {
        std::free(geob->colors);
        geob->colors = colors;
        geob->colorCount = n;
    } else {
        std::free(colors);
    }
    return holes;
}

void ReorderVertices(KvoGeob* geob) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return;
    int32_t next = 0;
    for (int32_t p = 0; p < geob->indexCount; ++p) {
        const int32_t entry = geob->indices[p];
        if (entry > next) {
            SwapUnchecked(geob, entry, next);
            ++next;
        } else if (entry == next) {
            ++next;
        }
    }
}

void SwapVertices(KvoGeob* geob, int32_t a, int32_t b) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return;
    if (a < 0 || b < 0 || a >= geob->vertexCount || b >= geob->vertexCount) return;
    SwapUnchecked(geob, a, b);
}

void OptimizeGeob(const KvoGeode& geode, KvoGeob* geob, int32_t* indicesEqualized,
                  int32_t* verticesRemoved, int32_t* burstsRemoved) {
    if (geob == nullptr || !KeepsInvariants(*geob)) return;
    Add(burstsRemoved, MergeBursts(geode, geob));
    Add(indicesEqualized, WeldVertices(geob));
    Add(verticesRemoved, CompactVertices(geob));
    ReorderVertices(geob);
}

void Optimize(const KvoGeode& geode, int32_t* indicesEqualized, int32_t* verticesRemoved,
              int32_t* burstsRemoved) {
    for (int32_t g = 0; g < geode.geobCount; ++g) {
        OptimizeGeob(geode, geode.geobs[g], indicesEqualized, verticesRemoved, burstsRemoved);
    }
}

}  // namespace literal
