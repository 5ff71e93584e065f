// Merges vertices whose attributes are identical bit for bit, in linear
// time: an open-addressing hash table over the vertices' first occurrences.
// No value changes, so positions stay exactly the file's.
// The other de-duplications: the geob builder's corner keys
// (export/geob_builder.cpp) and the optimiser's weld (kvo/kvo_optimizer_weld.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kvoimport {

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
    firsts.reserve(count);  // pages are touched only as classes are found
    // One and a half slots per vertex (two thirds full at most), mapped from
    // the hash's lower half by multiplication, so no power of two rounds it up.
    const uint64_t capacity =
        std::min<uint64_t>(uint64_t{count} + count / 2 + 16, uint64_t{1} << 32);
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
    const auto slotOf = [capacity](uint64_t h) {
        return static_cast<size_t>(((h & 0xffffffffu) * capacity) >> 32);
    };
    // The hashes of the next vertices, so that their slots can be fetched ahead.
    constexpr uint32_t kAhead = 16;
    uint64_t ahead[kAhead];
    for (uint32_t v = 0; v < kAhead && v < count; ++v) ahead[v] = hash(v);
    for (uint32_t v = 0; v < count; ++v) {
        const uint64_t h = ahead[v % kAhead];
        if (v + kAhead < count) {
            const uint64_t next = hash(v + kAhead);
            ahead[v % kAhead] = next;
            __builtin_prefetch(&slots[slotOf(next)]);
        }
        const uint64_t tag = h >> 32;
        size_t at = slotOf(h);
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
            if (++at == capacity) at = 0;
        }
    }
    return remap;
}

}  // namespace kvoimport
