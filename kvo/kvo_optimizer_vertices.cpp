// Welding, compaction and reordering of one geob in a single pass over the index
// list and a single move of the vertex data.
#include <algorithm>
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {

void WeldCompactReorder(KvoGeob& geob, Workspace& workspace, int32_t* indicesEqualized,
                        int32_t* verticesRemoved) {
    WeldClasses classes;
    if (!classes.Compute(geob, workspace)) {
        // Out of memory: welding changes nothing and the other steps run alone.
        AddToCounter(verticesRemoved, static_cast<uint64_t>(CompactSoundVertices(geob)));
        ReorderSoundVertices(geob);
        return;
    }
    AddToCounter(indicesEqualized, classes.equalPairs());
    if (geob.indexCount == 0) return;  // compaction and reordering change nothing

    // Indices name only indexable vertices, whose classes are indexable too.
    constexpr uint32_t kUnlabelled = UINT32_MAX;
    uint32_t* labelOf = workspace.labelOf();
    uint32_t* source = workspace.source();
    const size_t labelled = std::min<size_t>(classes.classCount(), kIndexableVertices);
    std::memset(labelOf, 0xff, labelled * sizeof(uint32_t));

    // Once compaction has closed the holes every number is used, so reordering
    // numbers the welded vertices exactly in the order of their first use.
    const uint16_t* classOf = classes.classOf();
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
    // The weld's keys are spent: their room (kKeyBytes per vertex) stages the vertex data.
    GatherVerticesInPlace(geob, source, static_cast<int32_t>(usedCount),
                          reinterpret_cast<float*>(workspace.keys()));
    // Classes are numbered in the order of their lowest vertex.
    AddToCounter(verticesRemoved, lowest[highestClass] + 1 - usedCount);
}

}  // namespace kvo_optimizer
