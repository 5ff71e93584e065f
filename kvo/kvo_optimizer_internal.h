// Helpers shared by the geob optimiser's steps; not part of the library's interface.
// Every helper here expects a geob that passed GeobIsSound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kvo/kvo_geob.h"

class KvoGeode;

namespace kvo_optimizer {

// Scratch memory from malloc: running out is reported through ok(), never thrown.
template <typename T>
class Scratch {
public:
    Scratch() = default;
    explicit Scratch(size_t count) { Allocate(count); }
    // Drops the old block; false when the new one cannot be had.
    bool Allocate(size_t count) {
        std::free(data_);
        data_ = nullptr;
        if (count <= SIZE_MAX / sizeof(T)) {
            data_ = static_cast<T*>(std::malloc(count > 0 ? count * sizeof(T) : 1));
        }
        return data_ != nullptr;
    }
    ~Scratch() { std::free(data_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool ok() const { return data_ != nullptr; }
    T* get() const { return data_; }
    T& operator[](size_t i) const { return data_[i]; }

private:
    T* data_ = nullptr;
};

// True when the geob passes CheckGeob at KvoStrictness::kOptimize: counts not
// negative, arrays present for their counts, every index below vertexCount,
// present optional streams at least vertexCount long, 1..100 bursts with
// material numbers not negative. Anything else is left alone.
bool GeobIsSound(const KvoGeob& geob);

// Adds a non-negative count to a counter, saturating instead of overflowing.
void AddToCounter(int32_t* counter, uint64_t amount);

// Narrows a count to int32, saturating.
int32_t ClampCount(uint64_t count);

// Only vertices below this number can be named by an index.
constexpr size_t kIndexableVertices = 65536;

// Scratch memory for the weld and the fused pass over geobs of up to a given
// vertex count: one malloc block, carved into the arrays below and kept for
// every geob of one Optimize call. Only the parts a geob touches get physical
// pages, so its size is mostly address space.
class Workspace {
public:
    static constexpr size_t kKeyBytes = 48;      // room for the largest weld key
    static constexpr size_t kKeyAlignment = 16;  // a key's boundary
    static constexpr size_t kMinimumTableSize = 1024;

    // Makes room for geobs of `vertexCount` vertices; false when out of memory.
    bool Reserve(size_t vertexCount);

    // Per class (at most one per vertex): its key, its member count, its lowest vertex.
    unsigned char* keys() const { return keys_; }
    uint32_t* members() const { return members_; }
    uint32_t* lowest() const { return lowest_; }
    // The weld's hash table, tableCapacity() slots.
    uint32_t* table() const { return table_; }
    size_t tableCapacity() const { return tableCapacity_; }
    // Per indexable vertex, its class; per indexable class, its new number and,
    // per new number, its source vertex.
    uint16_t* classOf() const { return classOf_; }
    uint32_t* labelOf() const { return labelOf_; }
    uint32_t* source() const { return source_; }

private:
    Scratch<unsigned char> block_;
    size_t vertexCapacity_ = 0;
    size_t tableCapacity_ = 0;
    unsigned char* keys_ = nullptr;
    uint32_t* members_ = nullptr;
    uint32_t* lowest_ = nullptr;
    uint32_t* table_ = nullptr;
    uint16_t* classOf_ = nullptr;
    uint32_t* labelOf_ = nullptr;
    uint32_t* source_ = nullptr;
};

// Sorts the vertices into classes of equal compared values: position and the
// texture coordinates, normal and colour the geob has (a vertex with a
// NaN in a compared value equals nothing and is a class of its own). Classes
// are numbered in the order of their lowest vertex, so an indexable vertex has
// an indexable class number. The arrays live in the workspace.
class WeldClasses {
public:
    // False when the workspace cannot be had.
    bool Compute(const KvoGeob& geob, Workspace& workspace);

    const uint16_t* classOf() const { return classOf_; }      // per indexable vertex
    const uint32_t* lowestVertex() const { return lowest_; }  // per class
    uint32_t classCount() const { return classCount_; }
    uint64_t equalPairs() const { return equalPairs_; }  // sum of k(k-1)/2 over classes

private:
    template <bool kTexCoords, bool kNormals>
    void ComputeWithColours(const KvoGeob& geob, Workspace& workspace);
    template <bool kTexCoords, bool kNormals, bool kColours>
    void ComputeFor(const KvoGeob& geob, Workspace& workspace);

    const uint16_t* classOf_ = nullptr;
    const uint32_t* lowest_ = nullptr;
    uint32_t classCount_ = 0;
    uint64_t equalPairs_ = 0;
};

// Replaces positions and every present optional stream by new arrays of
// newCount entries, entry i copied from vertex source[i]; the counts become
// newCount. False, with the geob untouched, when an allocation fails.
bool GatherVertices(KvoGeob& geob, const uint32_t* source, int32_t newCount);

// Like GatherVertices, but writes into the geob's own arrays through `staging`
// (3 * newCount floats, not overlapping them) and then shrinks them; cannot fail.
void GatherVerticesInPlace(KvoGeob& geob, const uint32_t* source, int32_t newCount, float* staging);

// Rearranges the first vertexCount entries of positions and of every present
// optional stream: entry i becomes what vertex source[i] was. `staging` holds
// 3 * vertexCount floats.
void PermuteVertices(KvoGeob& geob, const uint32_t* source, float* staging);

// The steps without the soundness check (the public operations check first).
int32_t MergeSoundBursts(const KvoGeode& geode, KvoGeob& geob);
int32_t WeldSoundVertices(KvoGeob& geob, Workspace& workspace);
int32_t CompactSoundVertices(KvoGeob& geob);
void ReorderSoundVertices(KvoGeob& geob);

// Welding, compaction and reordering in one go, with the same results as the
// three steps run one after the other; adds to the two counters.
void WeldCompactReorder(KvoGeob& geob, Workspace& workspace, int32_t* indicesEqualized,
                        int32_t* verticesRemoved);

}  // namespace kvo_optimizer
