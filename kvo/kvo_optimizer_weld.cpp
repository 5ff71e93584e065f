// Welding: every index of a vertex moves to the lowest-numbered vertex with
// exactly the same position, texture coordinates and normal. Equality is an
// equivalence once NaNs are set apart, so one hash lookup per vertex finds the
// class; the pairwise definition's count is the sum of k(k-1)/2 over classes.
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

constexpr uint32_t kEmptySlot = UINT32_MAX;

// The bits of a float with -0 folded into +0, so equal floats have equal keys.
inline uint32_t KeyBits(const float* value) {
    uint32_t bits;
    std::memcpy(&bits, value, sizeof(bits));
    return (bits & 0x7fffffffu) == 0 ? 0 : bits;
}

inline bool IsNaNBits(uint32_t bits) {
    return (bits & 0x7fffffffu) > 0x7f800000u;
}

struct KeyLayout {
    const float* positions;
    const float* texCoords;  // null when the geob has none
    const float* normals;    // null when the geob has none
    size_t words;
};

// Writes the compared values of vertex v; false when one of them is a NaN.
inline bool BuildKey(const KeyLayout& layout, size_t v, uint32_t* key) {
    uint32_t nan = 0;
    size_t w = 0;
    for (size_t c = 0; c < 3; ++c) key[w++] = KeyBits(layout.positions + v * 3 + c);
    if (layout.texCoords != nullptr) {
        for (size_t c = 0; c < 2; ++c) key[w++] = KeyBits(layout.texCoords + v * 2 + c);
    }
    if (layout.normals != nullptr) {
        for (size_t c = 0; c < 3; ++c) key[w++] = KeyBits(layout.normals + v * 3 + c);
    }
    for (size_t i = 0; i < w; ++i) nan |= IsNaNBits(key[i]) ? 1u : 0u;
    return nan == 0;
}

inline uint32_t HashKey(const uint32_t* key, size_t words) {
    const uint32_t m = 0x5bd1e995u;
    uint32_t h = static_cast<uint32_t>(words);
    for (size_t i = 0; i < words; ++i) {
        uint32_t k = key[i] * m;
        k ^= k >> 24;
        h = (h * m) ^ (k * m);
    }
    h ^= h >> 13;
    h *= m;
    return h ^ (h >> 15);
}

// One slot per class: its lowest vertex and how many members were seen so far.
struct Slot {
    uint32_t vertex;
    uint32_t members;
};

size_t TableSizeFor(size_t vertexCount) {
    size_t size = 16;
    while (size < vertexCount + vertexCount / 4) size *= 2;
    return size;
}

}  // namespace

bool ComputeWeldMap(const KvoGeob& geob, uint32_t* weldMap, uint64_t* equalPairs) {
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    const KeyLayout layout = {geob.vertices, geob.texCoords, geob.normals,
                              3 + (geob.texCoords ? 2u : 0u) + (geob.normals ? 3u : 0u)};
    // Keys are packed so that checking a candidate touches one place.
    Scratch<uint32_t> keys(vertexCount * layout.words);
    const size_t tableSize = TableSizeFor(vertexCount);
    Scratch<Slot> table(tableSize);
    if (!keys.ok() || !table.ok()) return false;
    std::memset(table.get(), 0xff, tableSize * sizeof(Slot));

    uint64_t pairs = 0;
    for (size_t v = 0; v < vertexCount; ++v) {
        uint32_t* key = keys.get() + v * layout.words;
        weldMap[v] = static_cast<uint32_t>(v);
        if (!BuildKey(layout, v, key)) continue;  // a NaN equals nothing, not even itself
        size_t slot = HashKey(key, layout.words) & (tableSize - 1);
        for (size_t probe = 1;; ++probe) {
            Slot& entry = table[slot];
            if (entry.vertex == kEmptySlot) {
                entry = {static_cast<uint32_t>(v), 1};
                break;
            }
            const uint32_t* other = keys.get() + size_t{entry.vertex} * layout.words;
            if (std::memcmp(other, key, layout.words * sizeof(uint32_t)) == 0) {
                // v pairs with every earlier member; its indices end at the lowest one.
                pairs += entry.members++;
                weldMap[v] = entry.vertex;
                break;
            }
            slot = (slot + probe) & (tableSize - 1);
        }
    }
    *equalPairs = pairs;
    return true;
}

int32_t WeldSoundVertices(KvoGeob& geob) {
    Scratch<uint32_t> weldMap(static_cast<size_t>(geob.vertexCount));
    uint64_t pairs = 0;
    if (!weldMap.ok() || !ComputeWeldMap(geob, weldMap.get(), &pairs)) return 0;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        geob.indices[p] = static_cast<uint16_t>(weldMap[geob.indices[p]]);
    }
    return ClampCount(pairs);
}

}  // namespace kvo_optimizer
