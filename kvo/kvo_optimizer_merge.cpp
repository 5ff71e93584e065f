// Merging bursts: one burst per distinct resolved material, in the order of each
// material's first burst. Burst start and length values are three times an
// index-list position and count.
#include <climits>
#include <cstring>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

constexpr int32_t kAbsorbed = -1;

// Every burst must lie inside the index list, all of them must fit into it
// together, and the merged start and length values must stay representable.
bool BurstRangesFit(const KvoGeob& geob) {
    int64_t totalEntries = 0;
    int64_t totalLength = 0;
    for (int32_t b = 0; b < geob.burstCount; ++b) {
        const int32_t start = geob.burstStart[b];
        const int32_t length = geob.burstLength[b];
        if (start < 0 || length < 0) return false;
        if (int64_t{start / 3} + length / 3 > geob.indexCount) return false;
        totalEntries += length / 3;
        totalLength += length;
    }
    return totalEntries <= geob.indexCount && totalLength <= INT32_MAX &&
           3 * totalEntries <= INT32_MAX;
}

// Later bursts that resolve to the same material take the first one's number.
void UnifyMaterialNumbers(const KvoGeode& geode, KvoGeob& geob) {
    for (int32_t i = 0; i < geob.burstCount; ++i) {
        for (int32_t j = i + 1; j < geob.burstCount; ++j) {
            if (geode.ResolveBurstMaterial(&geob, geob.burstMaterial[i]) ==
                geode.ResolveBurstMaterial(&geob, geob.burstMaterial[j])) {
                geob.burstMaterial[j] = geob.burstMaterial[i];
            }
        }
    }
}

}  // namespace

int32_t MergeSoundBursts(const KvoGeode& geode, KvoGeob& geob) {
    if (geob.indexCount == 0 || geob.burstCount == 1) return 0;
    if (!BurstRangesFit(geob)) return 0;
    UnifyMaterialNumbers(geode, geob);

    // Zeroed, so entries past the merged total are 0.
    uint16_t* merged = static_cast<uint16_t*>(std::calloc(geob.indexCount, sizeof(uint16_t)));
    if (merged == nullptr) return 0;

    int32_t newStart[KvoGeob::kMaxBursts];
    int32_t newLength[KvoGeob::kMaxBursts];
    int32_t newMaterial[KvoGeob::kMaxBursts];
    int32_t newCount = 0;
    int32_t position = 0;
    for (int32_t i = 0; i < geob.burstCount; ++i) {
        const int32_t material = geob.burstMaterial[i];
        if (material == kAbsorbed) continue;
        newStart[newCount] = 3 * position;
        newLength[newCount] = 0;
        newMaterial[newCount] = material;
        for (int32_t j = i; j < geob.burstCount; ++j) {
            if (geob.burstMaterial[j] != material) continue;
            const int32_t entries = geob.burstLength[j] / 3;
            std::memcpy(merged + position, geob.indices + geob.burstStart[j] / 3,
                        static_cast<size_t>(entries) * sizeof(uint16_t));
            position += entries;
            newLength[newCount] += geob.burstLength[j];
            if (j != i) geob.burstMaterial[j] = kAbsorbed;
        }
        ++newCount;
    }

    std::free(geob.indices);
    geob.indices = merged;
    const int32_t removed = geob.burstCount - newCount;
    for (int32_t b = 0; b < newCount; ++b) {
        geob.burstStart[b] = newStart[b];
        geob.burstLength[b] = newLength[b];
        geob.burstMaterial[b] = newMaterial[b];
    }
    geob.burstCount = newCount;
    return removed;
}

}  // namespace kvo_optimizer
