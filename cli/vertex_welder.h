// Merges vertices whose attributes are identical bit for bit, in linear
// time: an open-addressing hash table over the vertices' first occurrences.
// No value changes, so positions stay exactly the file's.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace kvoscene {

// Mixes the bits of a float into a running 64-bit hash.
inline uint64_t HashFloat(uint64_t h, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    h ^= bits;
    h *= 0x9e3779b97f4a7c15ull;
    return h ^ (h >> 29);
}

inline bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// `hash(i)` and `same(i, j)` describe vertex i of `count`. Returns, for each
// vertex, the number of its class (classes numbered in order of first
// appearance); `firsts` receives each class's first vertex.
template <class Hash, class Same>
std::vector<uint32_t> WeldVertices(uint32_t count, Hash hash, Same same,
                                   std::vector<uint32_t>& firsts) {
    std::vector<uint32_t> remap(count);
    firsts.clear();
    size_t capacity = 16;
    while (capacity < size_t{count} * 2) capacity *= 2;
    const size_t mask = capacity - 1;
    std::vector<uint32_t> slots(capacity, UINT32_MAX);  // class numbers
    for (uint32_t v = 0; v < count; ++v) {
        size_t at = static_cast<size_t>(hash(v)) & mask;
        for (;;) {
            const uint32_t cls = slots[at];
            if (cls == UINT32_MAX) {
                slots[at] = static_cast<uint32_t>(firsts.size());
                remap[v] = slots[at];
                firsts.push_back(v);
                break;
            }
            if (same(firsts[cls], v)) {
                remap[v] = cls;
                break;
            }
            at = (at + 1) & mask;
        }
    }
    return remap;
}

}  // namespace kvoscene
