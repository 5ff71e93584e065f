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

// The compared values of one vertex as float bits: position, texture
// coordinates, normal, two floats to a 64-bit lane; floats of streams the geob
// lacks stay 0. One fixed size keeps every loop short and branch-free.
struct Key {
    static constexpr size_t kLanes = 4;
    uint64_t lanes[kLanes];

    bool operator==(const Key& other) const {
        uint64_t difference = 0;
        for (size_t i = 0; i < kLanes; ++i) difference |= lanes[i] ^ other.lanes[i];
        return difference == 0;
    }

    // Lanes are multiplied independently and summed, then one avalanche step:
    // short dependency chains, every input bit reaches the slot bits.
    uint32_t Hash() const {
        uint64_t h = (lanes[0] ^ 0x9e3779b97f4a7c15ull) * 0xff51afd7ed558ccdull +
                     (lanes[1] ^ 0xc2b2ae3d27d4eb4full) * 0xd6e8feb86659fd93ull +
                     (lanes[2] ^ 0xd6e8feb86659fd93ull) * 0xc2b2ae3d27d4eb4full +
                     (lanes[3] ^ 0xff51afd7ed558ccdull) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 31;
        h *= 0x7fb5d329728ea185ull;
        return static_cast<uint32_t>(h >> 32);
    }

    // Folds -0 into +0 in both floats of a lane, so that equal floats get equal
    // bits, and collects the sign bit of any NaN into `nan`. No carry crosses
    // from the low half into the high one: a magnitude plus either constant
    // stays below 2^32.
    static uint64_t Canonical(uint64_t lane, uint64_t& nan) {
        constexpr uint64_t kMagnitude = 0x7fffffff7fffffffull;
        constexpr uint64_t kSign = 0x8000000080000000ull;
        constexpr uint64_t kAboveInfinity = 0x007fffff007fffffull;  // magnitude > 0x7f800000
        const uint64_t magnitude = lane & kMagnitude;
        nan |= (magnitude + kAboveInfinity) & kSign;
        const uint64_t zero = ~(magnitude + kMagnitude) & kSign;  // sign bit of each ±0
        return lane & ~zero;
    }
};

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

// Lanes are built in registers; any packing serves, as long as every vertex gets the same.
template <bool kTexCoords, bool kNormals>
inline bool ReadKey(const KvoGeob& geob, size_t v, Key& key) {
    const float* position = geob.vertices + v * 3;
    const float* texCoord = kTexCoords ? geob.texCoords + v * 2 : nullptr;
    const float* normal = kNormals ? geob.normals + v * 3 : nullptr;
    uint64_t nan = 0;
    key.lanes[0] = Key::Canonical(LoadPair(position), nan);
    key.lanes[1] =
        Key::Canonical(LoadOne(position + 2) | (kTexCoords ? LoadOne(texCoord) << 32 : 0), nan);
    key.lanes[2] = Key::Canonical(
        (kTexCoords ? LoadOne(texCoord + 1) : 0) | (kNormals ? LoadOne(normal) << 32 : 0), nan);
    key.lanes[3] = Key::Canonical(kNormals ? LoadPair(normal + 1) : 0, nan);
    return nan == 0;
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

    // Starts loading the first slot a later lookup of this hash reads.
    void Prefetch(uint32_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }
    uint32_t FirstEntry(uint32_t hash) const { return slots_[hash & mask_]; }

    // The slot holding the class with this key, or the empty slot where it belongs.
    uint32_t& Find(const Key& key, uint32_t hash, const Key* keys) const {
        size_t slot = hash & mask_;
        for (size_t probe = 1;; ++probe) {
            uint32_t& entry = slots_[slot];
            if (entry == kEmptySlot || keys[entry] == key) return entry;
            slot = (slot + probe) & mask_;
        }
    }

private:
    Scratch<uint32_t> slots_;
    size_t mask_ = 0;
};

constexpr size_t kInitialTableSize = 1024;

// Vertices are read this far ahead of their lookup, so that the table slot and
// the key it names are already on their way from memory when needed.
constexpr size_t kLookAhead = 16;
constexpr size_t kPendingSlots = 2 * kLookAhead;  // a power of two above kLookAhead

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

struct PendingVertex {
    Key key;
    uint32_t hash;
    bool comparable;
};

}  // namespace

template <bool kTexCoords, bool kNormals>
bool WeldClasses::ComputeFor(const KvoGeob& geob) {
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    // Per class, its key and how many members were seen so far (0 marks a NaN
    // vertex, kept out of the table).
    KeyArray keys;
    Scratch<uint32_t> members;
    size_t capacity = InitialClassCapacity(vertexCount);
    ClassTable table;
    if (!keys.Grow(0, capacity) || !members.Allocate(capacity) || !table.Reset(kInitialTableSize) ||
        !classOf_.Allocate(vertexCount) || !lowest_.Allocate(capacity)) {
        return false;
    }

    PendingVertex pending[kPendingSlots];
    uint32_t classCount = 0;
    uint64_t pairs = 0;
    // Step s reads vertex s and looks up vertex s - kLookAhead.
    for (size_t step = 0; step < vertexCount + kLookAhead; ++step) {
        if (step < vertexCount) {
            PendingVertex& next = pending[step % kPendingSlots];
            next.comparable = ReadKey<kTexCoords, kNormals>(geob, step, next.key);
            next.hash = next.key.Hash();
            table.Prefetch(next.hash);
        }
        if (step >= kLookAhead / 2 && step - kLookAhead / 2 < vertexCount) {
            const uint32_t candidate =
                table.FirstEntry(pending[(step - kLookAhead / 2) % kPendingSlots].hash);
            if (candidate != kEmptySlot) __builtin_prefetch(&keys[candidate]);
        }
        if (step < kLookAhead) continue;

        const size_t v = step - kLookAhead;
        const PendingVertex& current = pending[v % kPendingSlots];
        if (current.comparable) {
            uint32_t& slot = table.Find(current.key, current.hash, keys.get());
            if (slot != kEmptySlot) {
                pairs += members[slot]++;  // v pairs with every earlier member
                classOf_[v] = slot;
                continue;
            }
            slot = classCount;
        }
        if (classCount == capacity) {
            capacity = std::min(vertexCount, 2 * capacity);
            if (!keys.Grow(classCount, capacity) || !members.Grow(classCount, capacity) ||
                !lowest_.Grow(classCount, capacity)) {
                return false;
            }
        }
        keys[classCount] = current.key;
        members[classCount] = current.comparable ? 1 : 0;
        lowest_[classCount] = static_cast<uint32_t>(v);
        classOf_[v] = classCount++;
        if (10 * size_t{classCount} > 7 * table.size()) {
            // Keep the load below 0.7: rebuild twice as large.
            if (!table.Reset(table.size() * 2)) return false;
            for (uint32_t c = 0; c < classCount; ++c) {
                if (members[c] != 0) {
                    table.Find(keys[c], keys[c].Hash(), keys.get()) = c;
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
