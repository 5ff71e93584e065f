// Welding: every index of a vertex moves to the lowest-numbered vertex with
// exactly the same position, texture coordinates and normal. Equality is an
// equivalence once NaNs are set apart, so one hash lookup per vertex finds its
// class, and the pairwise definition's count is the sum of k(k-1)/2 over classes.
#include <algorithm>
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

constexpr uint32_t kEmptySlot = UINT32_MAX;

// Four float bit patterns side by side; the compiler maps it to one SIMD register.
typedef int32_t Words __attribute__((vector_size(16)));
typedef uint64_t Pairs __attribute__((vector_size(16)));

// The compared values of one vertex as float bits: (x, y, u, v) and
// (z, nx, ny, nz). Floats of streams the geob lacks are 0.
struct alignas(32) Key {
    Words low;
    Words high;

    bool operator==(const Key& other) const {
        const Pairs same = reinterpret_cast<Pairs>((low == other.low) & (high == other.high));
        return (same[0] & same[1]) == ~uint64_t{0};
    }

    // Each 64-bit half times its own odd constant, summed, then one avalanche step.
    uint32_t Hash() const {
        const Pairs a = reinterpret_cast<Pairs>(low);
        const Pairs b = reinterpret_cast<Pairs>(high);
        uint64_t h = a[0] * 0x9e3779b97f4a7c15ull + a[1] * 0xc2b2ae3d27d4eb4full +
                     b[0] * 0xd6e8feb86659fd93ull + b[1] * 0xff51afd7ed558ccdull;
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
template <bool kTexCoords, bool kNormals>
inline bool ReadKey(const KvoGeob& geob, size_t v, Key& key) {
    const float* position = geob.vertices + v * 3;
    const float* normal = kNormals ? geob.normals + v * 3 : nullptr;
    const Pairs low = {LoadPair(position), kTexCoords ? LoadPair(geob.texCoords + v * 2) : 0};
    const Pairs high = {LoadOne(position + 2) | (kNormals ? LoadOne(normal) << 32 : 0),
                        kNormals ? LoadPair(normal + 1) : 0};
    Words nan = {0, 0, 0, 0};
    key.low = Canonical(reinterpret_cast<Words>(low), nan);
    key.high = Canonical(reinterpret_cast<Words>(high), nan);
    const Pairs anyNan = reinterpret_cast<Pairs>(nan);
    return (anyNan[0] | anyNan[1]) == 0;
}

// Open addressing over class numbers; starts small and grows, so that it stays
// in cache when a geob has far fewer distinct vertices than vertices.
class ClassTable {
public:
    bool Reset(size_t size) {
        if (!slots_.Allocate(size)) return false;
        std::memset(slots_.get(), 0xff, size * sizeof(uint32_t));
        mask_ = size - 1;
        return true;
    }
    size_t size() const { return mask_ + 1; }

    void Prefetch(uint32_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }

    // The slot holding the class with this key, or the empty slot where it belongs.
    uint32_t& Find(const Key& key, uint32_t hash, const Key* keys) const {
        size_t slot = hash & mask_;
        for (size_t probe = 1;; ++probe) {
            uint32_t& entry = slots_[slot];
            if (entry == kEmptySlot || keys[entry] == key) return entry;
            slot = (slot + probe) & mask_;
        }
    }

    // The empty slot for a class known not to be in the table yet.
    uint32_t& FindEmpty(uint32_t hash) const {
        size_t slot = hash & mask_;
        for (size_t probe = 1; slots_[slot] != kEmptySlot; ++probe) slot = (slot + probe) & mask_;
        return slots_[slot];
    }

private:
    Scratch<uint32_t> slots_;
    size_t mask_ = 0;
};

constexpr size_t kInitialTableSize = 1024;

// Vertices are hashed a block at a time before any is looked up, so that the
// table slots they need are already on their way from memory.
constexpr size_t kBlock = 32;

// Keys of the classes, 32 bytes each on 32-byte boundaries, so that checking a
// candidate touches one cache line.
class KeyArray {
public:
    // A block for `count` keys that starts with the first `keep` of the old one.
    bool Grow(size_t keep, size_t count) {
        Scratch<unsigned char> storage;
        if (count > (SIZE_MAX - 32) / sizeof(Key) || !storage.Allocate(count * sizeof(Key) + 32)) {
            return false;
        }
        const uintptr_t address = reinterpret_cast<uintptr_t>(storage.get());
        Key* keys = reinterpret_cast<Key*>(storage.get() + ((32 - address % 32) % 32));
        if (keep > 0) std::memcpy(keys, keys_, keep * sizeof(Key));
        storage_.Swap(storage);
        keys_ = keys;
        return true;
    }
    Key* get() const { return keys_; }
    Key& operator[](size_t i) const { return keys_[i]; }

private:
    Scratch<unsigned char> storage_;
    Key* keys_ = nullptr;
};

// Room for the classes of a quarter of the vertices at first: geobs as the
// exporter builds them repeat each distinct vertex several times, and untouched
// room still costs address space.
size_t InitialClassCapacity(size_t vertexCount) {
    return std::min(vertexCount, std::max<size_t>(1024, vertexCount / 4));
}

}  // namespace

template <bool kTexCoords, bool kNormals>
bool WeldClasses::ComputeFor(const KvoGeob& geob) {
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    // Per class: its key, its hash, and how many members were seen so far (0
    // marks a NaN vertex, kept out of the table).
    KeyArray keys;
    Scratch<uint32_t> hashes;
    Scratch<uint32_t> members;
    size_t capacity = InitialClassCapacity(vertexCount);
    ClassTable table;
    if (!keys.Grow(0, capacity) || !hashes.Allocate(capacity) || !members.Allocate(capacity) ||
        !table.Reset(kInitialTableSize) || !classOf_.Allocate(vertexCount) ||
        !lowest_.Allocate(capacity)) {
        return false;
    }

    Key blockKeys[kBlock];
    uint32_t blockHashes[kBlock];
    bool blockComparable[kBlock];
    uint32_t classCount = 0;
    uint64_t pairs = 0;
    for (size_t begin = 0; begin < vertexCount; begin += kBlock) {
        const size_t count = std::min(kBlock, vertexCount - begin);
        for (size_t i = 0; i < count; ++i) {
            blockComparable[i] = ReadKey<kTexCoords, kNormals>(geob, begin + i, blockKeys[i]);
            blockHashes[i] = blockKeys[i].Hash();
            table.Prefetch(blockHashes[i]);
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t v = begin + i;
            uint32_t* slot = nullptr;
            if (blockComparable[i]) {
                slot = &table.Find(blockKeys[i], blockHashes[i], keys.get());
                if (*slot != kEmptySlot) {
                    pairs += members[*slot]++;  // v pairs with every earlier member
                    classOf_[v] = *slot;
                    continue;
                }
            }
            if (classCount == capacity) {
                capacity = std::min(vertexCount, 2 * capacity);
                if (!keys.Grow(classCount, capacity) || !hashes.Grow(classCount, capacity) ||
                    !members.Grow(classCount, capacity) || !lowest_.Grow(classCount, capacity)) {
                    return false;
                }
            }
            keys[classCount] = blockKeys[i];
            hashes[classCount] = blockHashes[i];
            members[classCount] = blockComparable[i] ? 1 : 0;
            lowest_[classCount] = static_cast<uint32_t>(v);
            if (slot != nullptr) *slot = classCount;
            classOf_[v] = classCount++;
            if (2 * size_t{classCount} > table.size()) {
                // Keep the load below 0.7: rebuild twice as large.
                if (!table.Reset(table.size() * 2)) return false;
                for (uint32_t c = 0; c < classCount; ++c) {
                    if (members[c] != 0) table.FindEmpty(hashes[c]) = c;
                }
            }
        }
    }
    classCount_ = classCount;
    equalPairs_ = pairs;
    return true;
}

bool WeldClasses::Compute(const KvoGeob& geob) {
    const bool texCoords = geob.texCoords != nullptr;
    const bool normals = geob.normals != nullptr;
    if (texCoords && normals) return ComputeFor<true, true>(geob);
    if (texCoords) return ComputeFor<true, false>(geob);
    if (normals) return ComputeFor<false, true>(geob);
    return ComputeFor<false, false>(geob);
}

int32_t WeldSoundVertices(KvoGeob& geob) {
    WeldClasses classes;
    if (!classes.Compute(geob)) return 0;
    const uint32_t* classOf = classes.classOf();
    const uint32_t* lowest = classes.lowestVertex();
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        geob.indices[p] = static_cast<uint16_t>(lowest[classOf[geob.indices[p]]]);
    }
    return ClampCount(classes.equalPairs());
}

}  // namespace kvo_optimizer
