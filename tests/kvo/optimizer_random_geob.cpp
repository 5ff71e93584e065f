#include "tests/kvo/optimizer_random_geob.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// NaNs with different payloads and signs, a signalling one among them.
constexpr uint32_t kNaNBits[] = {0x7fc00000u, 0xffc00000u, 0x7f800001u, 0x7fc12345u};

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

int Uniform(std::mt19937& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

bool Chance(std::mt19937& rng, int percent) {
    return Uniform(rng, 0, 99) < percent;
}

// A component from a handful of values, so whole vertices repeat often.
float RandomComponent(std::mt19937& rng) {
    static const float kValues[] = {0.0f, 1.0f, -1.0f, 0.5f, 2.0f};
    if (Chance(rng, 4)) return FromBits(kNaNBits[Uniform(rng, 0, 3)]);
    return kValues[Uniform(rng, 0, 4)];
}

// Flips the sign of zero components now and then: -0 must weld with +0.
float FlipZero(std::mt19937& rng, float value) {
    return value == 0.0f && Chance(rng, 30) ? -value : value;
}

float* MallocFloats(size_t count) {
    return static_cast<float*>(std::malloc(count > 0 ? count * sizeof(float) : 1));
}

float* OptionalStream(std::mt19937& rng, const std::vector<float>& prototypes, int components,
                      const std::vector<int>& choice, int32_t vertexCount, int32_t* count) {
    if (Chance(rng, 50)) {
        *count = Chance(rng, 20) ? Uniform(rng, 0, 3) : 0;  // a stale count without array
        return nullptr;
    }
    *count = vertexCount + (Chance(rng, 20) ? Uniform(rng, 1, 3) : 0);
    float* data = MallocFloats(size_t(*count) * components);
    for (int32_t v = 0; v < *count; ++v) {
        const int source = v < vertexCount ? choice[v] : -1;
        for (int c = 0; c < components; ++c) {
            data[v * components + c] = source >= 0
                                           ? FlipZero(rng, prototypes[source * components + c])
                                           : RandomComponent(rng);
        }
    }
    return data;
}

void FillBursts(std::mt19937& rng, KvoGeob& geob) {
    for (int b = 0; b < KvoGeob::kMaxBursts; ++b) {
        geob.burstStart[b] = Uniform(rng, -5, 200);
        geob.burstLength[b] = Uniform(rng, -5, 200);
        geob.burstMaterial[b] = Uniform(rng, -1, 6);
        geob.burstVertsPerPrim[b] = Uniform(rng, 1, 4);
    }
    geob.burstCount = Chance(rng, 25) ? 1 : Uniform(rng, 2, 6);
    for (int b = 0; b < geob.burstCount; ++b) geob.burstMaterial[b] = Uniform(rng, 0, 5);

    const int mode = Uniform(rng, 0, 9);
    if (mode >= 7) return;  // leftover random ranges, mostly outside the list
    // Consecutive pieces of the list, in shuffled order; sometimes not covering all of it.
    std::vector<int> cuts = {0, geob.indexCount};
    for (int b = 1; b < geob.burstCount; ++b) cuts.push_back(Uniform(rng, 0, geob.indexCount));
    std::sort(cuts.begin(), cuts.end());
    std::vector<int> order(geob.burstCount);
    for (int b = 0; b < geob.burstCount; ++b) order[b] = b;
    std::shuffle(order.begin(), order.end(), rng);
    for (int b = 0; b < geob.burstCount; ++b) {
        const int piece = order[b];
        int first = cuts[piece];
        int count = cuts[piece + 1] - cuts[piece];
        if (mode == 6 && count > 0) count -= Uniform(rng, 0, count);  // gaps in between
        geob.burstStart[b] = 3 * first + (Chance(rng, 15) ? Uniform(rng, 1, 2) : 0);
        geob.burstLength[b] = 3 * count + (Chance(rng, 15) ? Uniform(rng, 1, 2) : 0);
    }
    if (mode == 5 && geob.burstCount > 1) {
        // One burst repeated: the ranges then add up to more than the list.
        geob.burstStart[1] = geob.burstStart[0];
        geob.burstLength[1] = 3 * geob.indexCount;
    }
}

}  // namespace

void FillRandomGeob(std::mt19937& rng, KvoGeob& geob) {
    geob.FreeArrays();
    geob.headerWord0 = Uniform(rng, -3, 3);
    geob.headerWord1 = Uniform(rng, 0, 1000);
    geob.materialIndex = Uniform(rng, -1, 6);

    const int32_t vertexCount = Chance(rng, 5) ? 0 : Uniform(rng, 1, 24);
    const int prototypeCount = Uniform(rng, 1, 6);
    std::vector<float> positions(prototypeCount * 3);
    std::vector<float> normals(prototypeCount * 3);
    std::vector<float> texCoords(prototypeCount * 2);
    for (float& value : positions) value = RandomComponent(rng);
    for (float& value : normals) value = RandomComponent(rng);
    for (float& value : texCoords) value = RandomComponent(rng);
    // Most vertices copy a prototype; the others (-1) are drawn freshly.
    std::vector<int> choice(vertexCount);
    for (int& c : choice) c = Chance(rng, 80) ? Uniform(rng, 0, prototypeCount - 1) : -1;

    geob.vertexCount = vertexCount;
    geob.vertices = MallocFloats(size_t(vertexCount) * 3);
    for (int32_t v = 0; v < vertexCount; ++v) {
        for (int c = 0; c < 3; ++c) {
            geob.vertices[v * 3 + c] =
                choice[v] >= 0 ? FlipZero(rng, positions[choice[v] * 3 + c]) : RandomComponent(rng);
        }
    }
    geob.normals = OptionalStream(rng, normals, 3, choice, vertexCount, &geob.normalCount);
    geob.texCoords = OptionalStream(rng, texCoords, 2, choice, vertexCount, &geob.texCoordCount);
    // Colours mostly follow the vertex's prototype; a third of the copies take another
    // prototype's colour, a seam between vertices equal in every other stream.
    std::vector<float> colours(prototypeCount * 3);
    for (float& value : colours) value = RandomComponent(rng);
    std::vector<int> colourChoice = choice;
    for (int& c : colourChoice) {
        if (c >= 0 && Chance(rng, 33)) c = Uniform(rng, 0, prototypeCount - 1);
    }
    geob.colors = OptionalStream(rng, colours, 3, colourChoice, vertexCount, &geob.colorCount);
    // Indices over a random subset of the vertices: holes below the highest, unused tails.
    std::vector<uint16_t> usable;
    for (int32_t v = 0; v < vertexCount; ++v) {
        if (Chance(rng, 60)) usable.push_back(uint16_t(v));
    }
    const bool empty = usable.empty() || Chance(rng, 8);
    geob.indexCount = empty ? 0 : 3 * Uniform(rng, 1, 10) - (Chance(rng, 10) ? 1 : 0);
    geob.indices = empty && Chance(rng, 50)
                       ? nullptr
                       : static_cast<uint16_t*>(std::malloc(geob.indexCount * 2 + 2));
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        geob.indices[p] = usable[Uniform(rng, 0, int(usable.size()) - 1)];
    }
    FillBursts(rng, geob);
}

void BreakGeob(std::mt19937& rng, GeobFlaw flaw, KvoGeob& geob) {
    switch (flaw) {
        case GeobFlaw::kNone:
            break;
        case GeobFlaw::kIndexTooLarge:
            if (geob.indexCount == 0) {
                std::free(geob.indices);
                geob.indices = static_cast<uint16_t*>(std::malloc(3 * sizeof(uint16_t)));
                geob.indices[0] = geob.indices[1] = geob.indices[2] = 0;
                geob.indexCount = 3;
            }
            geob.indices[Uniform(rng, 0, geob.indexCount - 1)] =
                uint16_t(geob.vertexCount + Uniform(rng, 0, 2));
            break;
        case GeobFlaw::kShortStream:
            if (geob.vertexCount == 0) {
                geob.vertexCount = 1;
                std::free(geob.vertices);
                geob.vertices = MallocFloats(3);
                geob.vertices[0] = geob.vertices[1] = geob.vertices[2] = 1.0f;
            }
            if (geob.normals != nullptr && Chance(rng, 50)) {
                geob.normalCount = geob.vertexCount - 1;
            } else if (geob.colors != nullptr && Chance(rng, 50)) {
                geob.colorCount = geob.vertexCount - 1;
            } else {
                std::free(geob.texCoords);
                geob.texCoordCount = geob.vertexCount - 1;
                geob.texCoords = MallocFloats(size_t(geob.texCoordCount) * 2);
                for (int32_t i = 0; i < geob.texCoordCount * 2; ++i) geob.texCoords[i] = 0.25f;
            }
            break;
        case GeobFlaw::kBurstCountOutOfRange:
            geob.burstCount = Chance(rng, 50) ? Uniform(rng, -2, 0) : Uniform(rng, 101, 103);
            break;
        case GeobFlaw::kNegativeBurstMaterial:
            geob.burstMaterial[Uniform(rng, 0, geob.burstCount - 1)] = Uniform(rng, -9, -1);
            break;
        case GeobFlaw::kNegativeCount:
            if (Chance(rng, 50)) {
                geob.indexCount = -3;
            } else {
                geob.vertexCount = -1;
            }
            break;
    }
}
