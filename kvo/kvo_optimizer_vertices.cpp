// Welding, compaction and reordering of one geob in a single pass over the index
// list and a single move of the vertex data.
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

void ApplyWeld(KvoGeob& geob, const WeldClasses& classes) {
    const uint32_t* classOf = classes.classOf();
    const uint32_t* lowest = classes.lowestVertex();
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        geob.indices[p] = static_cast<uint16_t>(lowest[classOf[geob.indices[p]]]);
    }
}

}  // namespace

void WeldCompactReorder(KvoGeob& geob, int32_t* indicesEqualized, int32_t* verticesRemoved) {
    WeldClasses classes;
    if (!classes.Compute(geob)) {
        // Out of memory: welding changes nothing and the other steps run alone.
        AddToCounter(verticesRemoved, static_cast<uint64_t>(CompactSoundVertices(geob)));
        ReorderSoundVertices(geob);
        return;
    }
    AddToCounter(indicesEqualized, classes.equalPairs());
    if (geob.indexCount == 0) return;  // compaction and reordering change nothing

    constexpr uint32_t kUnlabelled = UINT32_MAX;
    const size_t classCount = classes.classCount();
    Scratch<uint32_t> labelOf(classCount);
    Scratch<uint32_t> source(classCount);
    if (!labelOf.ok() || !source.ok()) {
        ApplyWeld(geob, classes);
        AddToCounter(verticesRemoved, static_cast<uint64_t>(CompactSoundVertices(geob)));
        ReorderSoundVertices(geob);
        return;
    }
    std::memset(labelOf.get(), 0xff, classCount * sizeof(uint32_t));

    // Once compaction has closed the holes every number is used, so reordering
    // numbers the welded vertices exactly in the order of their first use.
    const uint32_t* classOf = classes.classOf();
    const uint32_t* lowest = classes.lowestVertex();
    uint32_t highestClass = 0;
    uint32_t usedCount = 0;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        const uint32_t welded = classOf[geob.indices[p]];
        if (highestClass < welded) highestClass = welded;
        uint32_t label = labelOf[welded];
        if (label == kUnlabelled) {
            label = usedCount++;
            labelOf[welded] = label;
            source[label] = lowest[welded];
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
    // Classes are numbered in the order of their lowest vertex.
    AddToCounter(verticesRemoved, lowest[highestClass] + 1 - usedCount);
}

}  // namespace kvo_optimizer
