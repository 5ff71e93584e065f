#include "tests/kvo/optimizer_support.h"

#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
T* CopyArray(const T* from, int32_t entries, int components) {
    if (from == nullptr) return nullptr;
    const size_t size = entries > 0 ? size_t(entries) * components * sizeof(T) : 0;
    T* to = static_cast<T*>(std::malloc(size > 0 ? size : 1));
    if (size > 0) std::memcpy(to, from, size);
    return to;
}

template <typename T>
std::string CompareArray(const char* name, const T* actual, const T* expected, int32_t entries,
                         int components) {
    if ((actual == nullptr) != (expected == nullptr)) {
        return std::string(name) + (actual == nullptr ? " missing" : " present unexpectedly");
    }
    if (actual == nullptr || entries <= 0) return "";
    for (int32_t i = 0; i < entries * components; ++i) {
        if (std::memcmp(actual + i, expected + i, sizeof(T)) != 0) {
            return std::string(name) + " differ at element " + std::to_string(i);
        }
    }
    return "";
}

std::string CompareInt(const char* name, int32_t actual, int32_t expected) {
    if (actual == expected) return "";
    return std::string(name) + " is " + std::to_string(actual) + ", expected " +
           std::to_string(expected);
}

}  // namespace

void CopyGeob(const KvoGeob& from, KvoGeob& to) {
    to.FreeArrays();
    to.headerWord0 = from.headerWord0;
    to.headerWord1 = from.headerWord1;
    to.materialIndex = from.materialIndex;
    to.indices = CopyArray(from.indices, from.indexCount, 1);
    to.indexCount = from.indexCount;
    to.vertices = CopyArray(from.vertices, from.vertexCount, 3);
    to.vertexCount = from.vertexCount;
    to.normals = CopyArray(from.normals, from.normalCount, 3);
    to.normalCount = from.normalCount;
    to.colors = CopyArray(from.colors, from.colorCount, 3);
    to.colorCount = from.colorCount;
    to.texCoords = CopyArray(from.texCoords, from.texCoordCount, 2);
    to.texCoordCount = from.texCoordCount;
    std::memcpy(to.burstStart, from.burstStart, sizeof(to.burstStart));
    std::memcpy(to.burstLength, from.burstLength, sizeof(to.burstLength));
    std::memcpy(to.burstMaterial, from.burstMaterial, sizeof(to.burstMaterial));
    std::memcpy(to.burstVertsPerPrim, from.burstVertsPerPrim, sizeof(to.burstVertsPerPrim));
    to.burstCount = from.burstCount;
}

std::string DescribeDifference(const KvoGeob& actual, const KvoGeob& expected) {
    // Counts first: the arrays are only compared once their lengths agree.
    const std::string counts[] = {
        CompareInt("headerWord0", actual.headerWord0, expected.headerWord0),
        CompareInt("headerWord1", actual.headerWord1, expected.headerWord1),
        CompareInt("materialIndex", actual.materialIndex, expected.materialIndex),
        CompareInt("indexCount", actual.indexCount, expected.indexCount),
        CompareInt("vertexCount", actual.vertexCount, expected.vertexCount),
        CompareInt("normalCount", actual.normalCount, expected.normalCount),
        CompareInt("colorCount", actual.colorCount, expected.colorCount),
        CompareInt("texCoordCount", actual.texCoordCount, expected.texCoordCount),
        CompareInt("burstCount", actual.burstCount, expected.burstCount),
    };
    for (const std::string& difference : counts) {
        if (!difference.empty()) return difference;
    }
    const std::string arrays[] = {
        CompareArray("indices", actual.indices, expected.indices, expected.indexCount, 1),
        CompareArray("vertices", actual.vertices, expected.vertices, expected.vertexCount, 3),
        CompareArray("normals", actual.normals, expected.normals, expected.normalCount, 3),
        CompareArray("colors", actual.colors, expected.colors, expected.colorCount, 3),
        CompareArray("texCoords", actual.texCoords, expected.texCoords, expected.texCoordCount, 2),
        CompareArray("burstStart", actual.burstStart, expected.burstStart, KvoGeob::kMaxBursts, 1),
        CompareArray("burstLength", actual.burstLength, expected.burstLength, KvoGeob::kMaxBursts,
                     1),
        CompareArray("burstMaterial", actual.burstMaterial, expected.burstMaterial,
                     KvoGeob::kMaxBursts, 1),
        CompareArray("burstVertsPerPrim", actual.burstVertsPerPrim, expected.burstVertsPerPrim,
                     KvoGeob::kMaxBursts, 1),
    };
    for (const std::string& difference : arrays) {
        if (!difference.empty()) return difference;
    }
    return "";
}

TestGeode::TestGeode(bool withMaterials) {
    records[1].subMaterialCount = 3;
    for (int k = 0; k < 3; ++k) records[1].subMaterials[k] = new KvoMaterial;
    records[3].subMaterialCount = 2;
    records[3].subMaterials[0] = new KvoMaterial;
    if (!withMaterials) return;
    geode.materialCount = 5;
    for (int m = 0; m < 5; ++m) geode.materials[m] = m == 2 ? nullptr : &records[m];
}
