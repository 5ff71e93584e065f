// Reordering: renumbers the vertices in the order the index list first uses
// them, by the same sequence of swaps as swapping through the whole index list
// each time, but tracked in a permutation so each entry is read once.
#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {

void ReorderSoundVertices(KvoGeob& geob) {
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    // labelOf: the current number of each original vertex; vertexAt: its inverse.
    Scratch<uint32_t> labelOf(vertexCount);
    Scratch<uint32_t> vertexAt(vertexCount);
    Scratch<float> staging(vertexCount * 3);
    if (!labelOf.ok() || !vertexAt.ok() || !staging.ok()) return;
    for (size_t v = 0; v < vertexCount; ++v) {
        labelOf[v] = static_cast<uint32_t>(v);
        vertexAt[v] = static_cast<uint32_t>(v);
    }

    // A swap only touches numbers at or above `next`, and every entry already
    // walked holds a number below it, so each entry's final value is known when
    // it is reached.
    bool swapped = false;
    uint32_t next = 0;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        const uint32_t original = geob.indices[p];
        const uint32_t label = labelOf[original];
        if (label > next) {
            const uint32_t displaced = vertexAt[next];
            labelOf[original] = next;
            vertexAt[next] = original;
            labelOf[displaced] = label;
            vertexAt[label] = displaced;
            swapped = true;
            geob.indices[p] = static_cast<uint16_t>(next++);
        } else {
            if (label == next) ++next;
            geob.indices[p] = static_cast<uint16_t>(label);
        }
    }
    if (swapped) PermuteVertices(geob, vertexAt.get(), staging.get());
}

}  // namespace kvo_optimizer
