// Merges vertices whose attributes are identical bit for bit, in linear
// time: an open-addressing hash table over the vertices' first occurrences.
// No value changes, so positions stay exactly the file's.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
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
    // All hashes first, so that the table's slots can be fetched ahead.
    std::vector<uint64_t> hashes(count);
    for (uint32_t v = 0; v < count; ++v) hashes[v] = hash(v);
    size_t capacity = 16;
    while (capacity < size_t{count} * 2) capacity *= 2;
    const size_t mask = capacity - 1;
    // A slot holds the upper half of a hash and its class + 1 (0: free), so
    // most mismatches are told apart without reading the vertices. calloc
    // hands out fresh pages that are zero already, without a pass over them.
    std::unique_ptr<uint64_t, decltype(&std::free)> table(
        static_cast<uint64_t*>(std::calloc(capacity, sizeof(uint64_t))), &std::free);
    if (!table) {
        // Out of memory as a failed `new` is: the new handler, else bad_alloc.
        if (const std::new_handler handler = std::get_new_handler()) handler();
        throw std::bad_alloc();
    }
    uint64_t* const slots = table.get();
    constexpr uint32_t kAhead = 16;
    for (uint32_t v = 0; v < count; ++v) {
        if (v + kAhead < count) __builtin_prefetch(&slots[hashes[v + kAhead] & mask]);
        const uint64_t tag = hashes[v] >> 32;
        size_t at = static_cast<size_t>(hashes[v]) & mask;
        for (;;) {
            const uint64_t slot = slots[at];
            if (slot == 0) {
                const uint32_t cls = static_cast<uint32_t>(firsts.size());
                slots[at] = (tag << 32) | (uint64_t{cls} + 1);
                remap[v] = cls;
                firsts.push_back(v);
                break;
            }
            const uint32_t cls = static_cast<uint32_t>(slot & 0xffffffffu) - 1;
            if ((slot >> 32) == tag && same(firsts[cls], v)) {
                remap[v] = cls;
                break;
            }
            at = (at + 1) & mask;
        }
    }
    return remap;
}

}  // namespace kvoscene
