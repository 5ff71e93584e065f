// Welding: every index of a vertex moves to the lowest-numbered vertex with
// exactly the same position, texture coordinates, normal and colour (the
// streams the geob has). Equality is an
// equivalence once NaNs are set apart, so one hash lookup per vertex finds its
// class, and the pairwise definition's count is the sum of k(k-1)/2 over classes.
// The other de-duplications: the geob builder's corner keys (export/geob_builder.cpp)
// and the console host's import welder (cli/import/vertex_welder.h).
#include <algorithm>
#include <cassert>
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

constexpr uint32_t kEmptySlot = UINT32_MAX;

// Four float bit patterns side by side (a GCC/Clang vector type: one SSE2
// register on x86, plain integer code on targets without SIMD).
typedef int32_t Words __attribute__((vector_size(16)));
typedef uint64_t Pairs __attribute__((vector_size(16)));

// The compared values of one vertex as float bits: (x, y, u, v), (z, nx, ny, nz)
// and, for a geob with colours, (r, g, b, 0). Floats of streams the geob lacks are 0.
template <int kWords>
struct Key {
    Words words[kWords];

    bool operator==(const Key& other) const {
        Words same = words[0] == other.words[0];
        for (int w = 1; w < kWords; ++w) same &= words[w] == other.words[w];
        const Pairs both = reinterpret_cast<Pairs>(same);
        return (both[0] & both[1]) == ~uint64_t{0};
    }

    // Each 64-bit part times its own odd constant, summed, then one avalanche step.
    uint32_t Hash() const {
        static constexpr uint64_t kFactors[] = {0x9e3779b97f4a7c15ull, 0xc2b2ae3d27d4eb4full,
                                                0xd6e8feb86659fd93ull, 0xff51afd7ed558ccdull,
                                                0xc4ceb9fe1a85ec53ull, 0x94d049bb133111ebull};
        uint64_t h = 0;
        for (int w = 0; w < kWords; ++w) {
            const Pairs pair = reinterpret_cast<Pairs>(words[w]);
            h += pair[0] * kFactors[2 * w] + pair[1] * kFactors[2 * w + 1];
        }
        h ^= h >> 31;
        h *= 0x7fb5d329728ea185ull;
        return static_cast<uint32_t>(h >> 32);
    }
};

// Turns -0 into +0, so that equal floats get equal bits, and marks in `nan`
// (all bits of the word) the words that hold a NaN. Comparisons give -1 (all
// bits) where true.
inline Words Canonical(Words bits, Words& nan) {
    const Words magnitude = bits & 0x7fffffff;
    nan |= magnitude > 0x7f800000;
    return bits & ~(magnitude == 0);
}

inline uint64_t LoadPair(const float* from) {
    uint64_t pair;
    std::memcpy(&pair, from, sizeof(pair));
    return pair;
}

inline uint64_t LoadOne(const float* from) {
    uint32_t one;
    std::memcpy(&one, from, sizeof(one));
    return one;
}

// The key of vertex v in canonical bits; false when a compared value is NaN.
template <bool kTexCoords, bool kNormals, bool kColours>
inline bool ReadKey(const KvoGeob& geob, size_t v, Key<kColours ? 3 : 2>& key) {
    const float* position = geob.vertices + v * 3;
    const float* normal = kNormals ? geob.normals + v * 3 : nullptr;
    const Pairs low = {LoadPair(position), kTexCoords ? LoadPair(geob.texCoords + v * 2) : 0};
    const Pairs high = {LoadOne(position + 2) | (kNormals ? LoadOne(normal) << 32 : 0),
                        kNormals ? LoadPair(normal + 1) : 0};
    Words nan = {0, 0, 0, 0};
    key.words[0] = Canonical(reinterpret_cast<Words>(low), nan);
    key.words[1] = Canonical(reinterpret_cast<Words>(high), nan);
    if constexpr (kColours) {
        const float* colour = geob.colors + v * 3;
        const Pairs rgb = {LoadPair(colour), LoadOne(colour + 2)};
        key.words[2] = Canonical(reinterpret_cast<Words>(rgb), nan);
    }
    const Pairs anyNan = reinterpret_cast<Pairs>(nan);
    return (anyNan[0] | anyNan[1]) == 0;
}

static_assert(sizeof(Key<3>) <= Workspace::kKeyBytes, "keys fit their workspace slots");
static_assert(Workspace::kKeyAlignment % alignof(Key<3>) == 0, "workspace keys are aligned");

// Open addressing over class numbers in the workspace's table. It starts at
// twice the vertex count, so that lookups rarely meet another class (each
// such meeting costs a mispredicted branch), and doubles in place should more
// than a quarter of it fill up.
class ClassTable {
public:
    ClassTable(uint32_t* slots, size_t capacity, size_t vertexCount)
        : slots_(slots), capacity_(capacity) {
        size_t size = Workspace::kMinimumTableSize;
        while (size / 2 < vertexCount) size *= 2;
        assert(size <= capacity_);
        Clear(size);
    }

    size_t size() const { return mask_ + 1; }

    void Prefetch(uint32_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }

    // The slot holding the class with this key, or the empty slot where it belongs.
    template <class Key>
    uint32_t& Find(const Key& key, uint32_t hash, const Key* keys) const {
        size_t slot = hash & mask_;
        for (size_t probe = 1;; ++probe) {
            uint32_t& entry = slots_[slot];
            if (entry == kEmptySlot || keys[entry] == key) return entry;
            slot = (slot + probe) & mask_;
        }
    }

    // Doubles the table and enters every class that has members (NaN vertices
    // stay out); the workspace has room up to one class per vertex.
    template <class Key>
    void Grow(const Key* keys, const uint32_t* members, uint32_t classCount) {
        assert(2 * size() <= capacity_);
        Clear(2 * size());
        for (uint32_t c = 0; c < classCount; ++c) {
            if (members[c] != 0) FindEmpty(keys[c].Hash()) = c;
        }
    }

private:
    void Clear(size_t size) {
        std::memset(slots_, 0xff, size * sizeof(uint32_t));
        mask_ = size - 1;
    }

    uint32_t& FindEmpty(uint32_t hash) const {
        size_t slot = hash & mask_;
        for (size_t probe = 1; slots_[slot] != kEmptySlot; ++probe) slot = (slot + probe) & mask_;
        return slots_[slot];
    }

    uint32_t* slots_;
    [[maybe_unused]] size_t capacity_;  // checked by the asserts only
    size_t mask_ = 0;
};

// Vertices are hashed a block at a time before any is looked up, so that the
// table slots they need are already on their way from memory.
constexpr size_t kBlock = 32;

}  // namespace

template <bool kTexCoords, bool kNormals, bool kColours>
void WeldClasses::ComputeFor(const KvoGeob& geob, Workspace& workspace) {
    using VertexKey = Key<kColours ? 3 : 2>;
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    // Per class: its key, and how many members were seen so far (0 marks a NaN
    // vertex, kept out of the table).
    VertexKey* keys = reinterpret_cast<VertexKey*>(workspace.keys());
    uint32_t* members = workspace.members();
    uint32_t* lowest = workspace.lowest();
    uint16_t* classOf = workspace.classOf();
    ClassTable table(workspace.table(), workspace.tableCapacity(), vertexCount);

    VertexKey blockKeys[kBlock];
    uint32_t blockHashes[kBlock];
    bool blockComparable[kBlock];
    uint32_t classCount = 0;
    uint64_t pairs = 0;
    for (size_t begin = 0; begin < vertexCount; begin += kBlock) {
        const size_t count = std::min(kBlock, vertexCount - begin);
        for (size_t i = 0; i < count; ++i) {
            blockComparable[i] =
                ReadKey<kTexCoords, kNormals, kColours>(geob, begin + i, blockKeys[i]);
            blockHashes[i] = blockKeys[i].Hash();
            table.Prefetch(blockHashes[i]);
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t v = begin + i;
            uint32_t* slot = nullptr;
            uint32_t c = kEmptySlot;
            if (blockComparable[i]) {
                slot = &table.Find(blockKeys[i], blockHashes[i], keys);
                c = *slot;
            }
            if (c != kEmptySlot) {
                pairs += members[c]++;  // v pairs with every earlier member
            } else {
                c = classCount;
                keys[c] = blockKeys[i];
                members[c] = blockComparable[i] ? 1 : 0;
                lowest[c] = static_cast<uint32_t>(v);
                if (slot != nullptr) *slot = c;
                ++classCount;
                if (4 * size_t{classCount} > table.size()) table.Grow(keys, members, classCount);
            }
            // Class numbers never exceed vertex numbers, so indexable ones fit 16 bits.
            if (v < kIndexableVertices) classOf[v] = static_cast<uint16_t>(c);
        }
    }
    classOf_ = classOf;
    lowest_ = lowest;
    classCount_ = classCount;
    equalPairs_ = pairs;
}

template <bool kTexCoords, bool kNormals>
void WeldClasses::ComputeWithColours(const KvoGeob& geob, Workspace& workspace) {
    if (geob.colors != nullptr) {
        ComputeFor<kTexCoords, kNormals, true>(geob, workspace);
    } else {
        ComputeFor<kTexCoords, kNormals, false>(geob, workspace);
    }
}

bool WeldClasses::Compute(const KvoGeob& geob, Workspace& workspace) {
    if (!workspace.Reserve(static_cast<size_t>(geob.vertexCount))) return false;
    const bool texCoords = geob.texCoords != nullptr;
    const bool normals = geob.normals != nullptr;
    if (texCoords && normals) {
        ComputeWithColours<true, true>(geob, workspace);
    } else if (texCoords) {
        ComputeWithColours<true, false>(geob, workspace);
    } else if (normals) {
        ComputeWithColours<false, true>(geob, workspace);
    } else {
        ComputeWithColours<false, false>(geob, workspace);
    }
    return true;
}

int32_t WeldSoundVertices(KvoGeob& geob, Workspace& workspace) {
    WeldClasses classes;
    if (!classes.Compute(geob, workspace)) return 0;
    const uint16_t* classOf = classes.classOf();
    const uint32_t* lowest = classes.lowestVertex();
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        geob.indices[p] = static_cast<uint16_t>(lowest[classOf[geob.indices[p]]]);
    }
    return ClampCount(classes.equalPairs());
}

}  // namespace kvo_optimizer
