// The optimiser's guard against geometry that breaks its invariants, and the
// saturating arithmetic of its counts.
#include <climits>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

bool StreamCovers(const float* data, int32_t count, int32_t vertexCount) {
    return data == nullptr || count >= vertexCount;
}

// Element counts must also be byte sizes that fit in memory.
bool FitsInMemory(int32_t count, size_t elementSize) {
    return static_cast<uint64_t>(count) <= SIZE_MAX / elementSize;
}

}  // namespace

bool GeobIsSound(const KvoGeob& geob) {
    if (geob.indexCount < 0 || geob.vertexCount < 0) return false;
    if (geob.indexCount > 0 && geob.indices == nullptr) return false;
    if (geob.vertexCount > 0 && geob.vertices == nullptr) return false;
    if (!FitsInMemory(geob.indexCount, sizeof(uint16_t)) ||
        !FitsInMemory(geob.vertexCount, 3 * sizeof(float))) {
        return false;
    }
    if (!StreamCovers(geob.normals, geob.normalCount, geob.vertexCount) ||
        !StreamCovers(geob.colors, geob.colorCount, geob.vertexCount) ||
        !StreamCovers(geob.texCoords, geob.texCoordCount, geob.vertexCount)) {
        return false;
    }
    if (geob.burstCount < 1 || geob.burstCount > KvoGeob::kMaxBursts) return false;
    for (int32_t b = 0; b < geob.burstCount; ++b) {
        if (geob.burstMaterial[b] < 0) return false;
    }
    for (int32_t p = 0; p < geob.indexCount; ++p) {
        if (geob.indices[p] >= geob.vertexCount) return false;
    }
    return true;
}

int32_t ClampCount(uint64_t count) {
    return count > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(count);
}

void AddToCounter(int32_t* counter, uint64_t amount) {
    if (counter == nullptr) return;
    const int64_t sum = static_cast<int64_t>(*counter) + ClampCount(amount);
    *counter = sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

}  // namespace kvo_optimizer
