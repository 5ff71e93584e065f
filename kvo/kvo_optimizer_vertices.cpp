// Welding, compaction and reordering of one geob in a single pass over the index
// list and a single move of the vertex data.
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {

void WeldCompactReorder(KvoGeob& geob, int32_t* indicesEqualized, int32_t* verticesRemoved) {
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    Scratch<uint32_t> weldMap(vertexCount);
    uint64_t pairs = 0;
    if (!weldMap.ok() || !ComputeWeldMap(geob, weldMap.get(), &pairs)) {
        // Out of memory: welding changes nothing and the other steps run alone.
        AddToCounter(verticesRemoved, static_cast<uint64_t>(CompactSoundVertices(geob)));
        ReorderSoundVertices(geob);
        return;
    }
    AddToCounter(indicesEqualized, pairs);
    if (geob.indexCount == 0) return;  // compaction and reordering change nothing

    constexpr uint32_t kUnlabelled = UINT32_MAX;
    Scratch<uint32_t> labelOf(vertexCount);
    Scratch<uint32_t> source(vertexCount);
    if (!labelOf.ok() || !source.ok()) {
        for (int32_t p = 0; p < geob.indexCount; ++p) {
            geob.indices[p] = static_cast<uint16_t>(weldMap[geob.indices[p]]);
        }
        AddToCounter(verticesRemoved, static_cast<uint64_t>(CompactSoundVertices(geob)));
        ReorderSoundVertices(geob);
        return;
    }
    std::memset(labelOf.get(), 0xff, vertexCount * sizeof(uint32_t));

    // Once compaction has closed the holes every number is used, so reordering
    // numbers the welded vertices exactly in the order of their first use.
    uint32_t highest = 0;
    uint32_t usedCount = 0;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        const uint32_t welded = weldMap[geob.indices[p]];
        if (highest < welded) highest = welded;
        uint32_t label = labelOf[welded];
        if (label == kUnlabelled) {
            label = usedCount++;
            labelOf[welded] = label;
            source[label] = welded;
        }
        geob.indices[p] = static_cast<uint16_t>(label);
    }
    if (!GatherVertices(geob, source.get(), static_cast<int32_t>(usedCount))) {
        // Compaction found no memory: go back to the welded list and reorder it alone.
        for (int32_t p = 0; p < geob.indexCount; ++p) {
            geob.indices[p] = static_cast<uint16_t>(source[geob.indices[p]]);
        }
        ReorderSoundVertices(geob);
        return;
    }
    AddToCounter(verticesRemoved, highest + 1 - usedCount);
}

}  // namespace kvo_optimizer
