#include "tests/kvo/optimizer_corner_mesh.h"

#include <cstdlib>
#include <random>
#include <vector>

void FillCornerMesh(KvoGeob& geob, int32_t triangles, int32_t distinctValues, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<float> values(size_t(distinctValues) * 8);
    for (float& value : values) value = coordinate(rng);
    for (int32_t d = 0; d < distinctValues; ++d) {
        for (int c = 5; c < 8; ++c) values[d * 8 + c] = unit(rng);
    }

    const int32_t corners = 3 * triangles;
    geob.FreeArrays();
    geob.indexCount = corners;
    geob.vertexCount = corners;
    geob.normalCount = corners;
    geob.texCoordCount = corners;
    geob.colorCount = 0;
    geob.indices = static_cast<uint16_t*>(std::malloc(size_t(corners) * sizeof(uint16_t)));
    geob.vertices = static_cast<float*>(std::malloc(size_t(corners) * 3 * sizeof(float)));
    geob.texCoords = static_cast<float*>(std::malloc(size_t(corners) * 2 * sizeof(float)));
    geob.normals = static_cast<float*>(std::malloc(size_t(corners) * 3 * sizeof(float)));
    std::uniform_int_distribution<int32_t> pick(0, distinctValues - 1);
    for (int32_t v = 0; v < corners; ++v) {
        const float* value = &values[size_t(pick(rng)) * 8];
        geob.indices[v] = uint16_t(v);
        for (int c = 0; c < 3; ++c) geob.vertices[v * 3 + c] = value[c];
        for (int c = 0; c < 2; ++c) geob.texCoords[v * 2 + c] = value[3 + c];
        for (int c = 0; c < 3; ++c) geob.normals[v * 3 + c] = value[5 + c];
    }
    geob.burstCount = 1;
    geob.burstStart[0] = 0;
    geob.burstLength[0] = 3 * corners;
    geob.burstMaterial[0] = 0;
    geob.burstVertsPerPrim[0] = 3;
}
