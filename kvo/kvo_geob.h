// One geometry object: an indexed triangle list over parallel vertex streams,
// drawn in bursts. Arrays come from the malloc family; FreeArrays releases them
// (the destructor does not: the owner decides, as the export and the reader do).
#pragma once

#include <cstdint>

struct KvoGeob {
    static constexpr int kMaxBursts = 100;

    KvoGeob();
    KvoGeob(const KvoGeob&) = delete;
    KvoGeob& operator=(const KvoGeob&) = delete;

    // Frees whichever of the five arrays are non-null and nulls them.
    void FreeArrays();

    int32_t headerWord0;
    int32_t headerWord1;
    int32_t materialIndex;
    uint16_t* indices;
    int32_t indexCount;
    float* vertices;  // 3 per vertex
    int32_t vertexCount;
    float* normals;  // 3 per entry, optional
    int32_t normalCount;
    float* colors;  // 3 per entry, optional
    int32_t colorCount;
    float* texCoords;  // 2 per entry, optional
    int32_t texCoordCount;
    int32_t burstStart[kMaxBursts];
    int32_t burstLength[kMaxBursts];
    int32_t burstMaterial[kMaxBursts];
    int32_t burstVertsPerPrim[kMaxBursts];
    int32_t burstCount;
};
