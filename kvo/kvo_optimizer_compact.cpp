// Compaction: drops the vertices no index uses. Filling the holes lowest first,
// each with the currently highest used vertex, pairs the k-th lowest hole below
// the new count with the k-th highest used vertex at or above it, so one pass
// over the vertex numbers relabels everything.
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {

int32_t CompactSoundVertices(KvoGeob& geob) {
    if (geob.indexCount == 0) return 0;
    const size_t vertexCount = static_cast<size_t>(geob.vertexCount);
    Scratch<uint8_t> used(vertexCount);
    Scratch<uint32_t> relabel(vertexCount);
    Scratch<uint32_t> source(vertexCount);
    if (!used.ok() || !relabel.ok() || !source.ok()) return 0;

    std::memset(used.get(), 0, vertexCount);
    uint32_t highest = 0;
    uint32_t usedCount = 0;
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        const uint16_t v = geob.indices[p];
        if (highest < v) highest = v;
        if (used[v] == 0) {
            used[v] = 1;
            ++usedCount;
        }
    }
    const uint32_t holes = highest + 1 - usedCount;

    // The used vertices above the new count, highest first, fill the holes below it.
    uint32_t donor = highest + 1;
    for (uint32_t i = 0; i < usedCount; ++i) {
        if (used[i] != 0) {
            source[i] = i;
            relabel[i] = i;
            continue;
        }
        do {
            --donor;
        } while (used[donor] == 0);
        source[i] = donor;
        relabel[donor] = i;
    }
    if (!GatherVertices(geob, source.get(), static_cast<int32_t>(usedCount))) return 0;
    if (holes > 0) {
        for (int32_t p = 0; p < geob.indexCount; ++p) {
            geob.indices[p] = static_cast<uint16_t>(relabel[geob.indices[p]]);
        }
    }
    return static_cast<int32_t>(holes);
}

}  // namespace kvo_optimizer
