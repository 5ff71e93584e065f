// libFuzzer entry point: loads arbitrary bytes as a KVO file in memory. The
// sanitizers catch bad accesses; the checks below catch a reader that
// accepts or refuses inconsistently, and an optimiser that breaks the
// invariants it was given, and a counts-only load that differs from the full one.
#include <cstdint>
#include <cstdlib>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_invariants.h"
#include "kvo/kvo_warnings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvoGeode geode("fuzz.kvo");
    const bool loaded = geode.LoadFromMemory(data, size);
    // The counts-only load accepts and refuses alike, for the same cause, with the same tables.
    KvoGeode counts("fuzz.kvo");
    counts.countsOnly = true;
    if (counts.LoadFromMemory(data, size) != loaded || counts.error != geode.error ||
        counts.materialCount != geode.materialCount || counts.geobCount != geode.geobCount) {
        std::abort();
    }
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        const KvoGeob* a = geode.geobs[i];
        const KvoGeob* b = counts.geobs[i];
        if ((a == nullptr) != (b == nullptr)) std::abort();
        if (a && (a->indexCount != b->indexCount || a->vertexCount != b->vertexCount ||
                  a->materialIndex != b->materialIndex || b->indices || b->vertices)) {
            std::abort();
        }
    }
    if (loaded) {
        if (geode.materialCount < 0 || geode.materialCount > KvoGeode::kMaxMaterials ||
            geode.geobCount < 0 || geode.geobCount > KvoGeode::kMaxGeobs) {
            std::abort();
        }
        // Whatever the reader accepts, the writer can write.
        if (!CheckGeode(geode, KvoStrictness::kWrite).empty()) std::abort();
        GeodeWarnings(geode);
        if (CheckGeode(geode, KvoStrictness::kOptimize).empty()) {
            int32_t counts[3] = {};
            geode.Optimize(&counts[0], &counts[1], &counts[2]);
            if (!CheckGeode(geode, KvoStrictness::kOptimize).empty()) std::abort();
        }
    } else if (geode.error.empty() || geode.loaded || geode.materialCount != 0 ||
               geode.geobCount != 0) {
        std::abort();  // a refusal must leave an empty geode and a cause
    }
    return 0;
}
