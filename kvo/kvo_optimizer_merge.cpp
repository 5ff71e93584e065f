// Merging bursts: one burst per distinct resolved material, in the order of each
// material's first burst. Burst start and length values are three times an
// index-list position and count.
#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

constexpr int32_t kAbsorbed = -1;

// The merge rebuilds the list only when the bursts cut it into whole pieces:
// start and length values multiples of 3, and every entry in exactly one burst
// (empty bursts anywhere inside). Other layouts have no faithful merge, so the
// geob is left as it is; this also keeps the merged values representable.
bool BurstsTileTheList(const KvoGeob& geob) {
    if (int64_t{geob.indexCount} * 3 > INT32_MAX) return false;
    std::pair<int32_t, int32_t> ranges[KvoGeob::kMaxBursts];  // first entry, entry count
    int32_t rangeCount = 0;
    for (int32_t b = 0; b < geob.burstCount; ++b) {
        const int32_t start = geob.burstStart[b];
        const int32_t length = geob.burstLength[b];
        if (start < 0 || length < 0 || start % 3 != 0 || length % 3 != 0) return false;
        if (int64_t{start / 3} + length / 3 > geob.indexCount) return false;
        if (length > 0) ranges[rangeCount++] = {start / 3, length / 3};
    }
    std::sort(ranges, ranges + rangeCount);
    int32_t covered = 0;
    for (int32_t r = 0; r < rangeCount; ++r) {
        if (ranges[r].first != covered) return false;  // a gap or an overlap
        covered += ranges[r].second;
    }
    return covered == geob.indexCount;
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
    if (!BurstsTileTheList(geob)) return 0;
    UnifyMaterialNumbers(geode, geob);

    // Every entry is copied once: the bursts tile the list.
    uint16_t* merged = static_cast<uint16_t*>(
        std::malloc(static_cast<size_t>(geob.indexCount) * sizeof(uint16_t)));
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
