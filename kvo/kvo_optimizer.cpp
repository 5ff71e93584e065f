// The geob optimiser's entry points: each checks its geob and hands off to the
// step's own file. Geometry that breaks the optimiser's invariants is left
// exactly as it is and counts nothing.
#include <algorithm>
#include <cstring>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_optimizer_internal.h"
#include "kvo/kvo_optimizer_scratch.h"

using kvo_optimizer::GeobIsSound;

namespace {

// The four steps on one geob, with welding, compaction and reordering fused.
void OptimizeWith(const KvoGeode& geode, KvoGeob* geob, kvo_optimizer::Workspace& workspace,
                  int32_t* indicesEqualized, int32_t* verticesRemoved, int32_t* burstsRemoved) {
    if (geob == nullptr || !GeobIsSound(*geob)) return;
    // Each step keeps the geob sound, so one check covers all four.
    kvo_optimizer::AddToCounter(
        burstsRemoved, static_cast<uint64_t>(kvo_optimizer::MergeSoundBursts(geode, *geob)));
    kvo_optimizer::WeldCompactReorder(*geob, workspace, indicesEqualized, verticesRemoved);
}

}  // namespace

KvoMaterial* KvoGeode::ResolveBurstMaterial(const KvoGeob* geob, int32_t burstMaterial) const {
    if (geob == nullptr) return nullptr;
    const int32_t tableSize = std::min(materialCount, kMaxMaterials);
    if (geob->materialIndex < 0 || geob->materialIndex >= tableSize) return nullptr;
    KvoMaterial* material = materials[geob->materialIndex];
    if (material == nullptr) return nullptr;
    const int32_t subCount = std::min(material->subMaterialCount, KvoMaterial::kMaxSubMaterials);
    if (subCount <= 0) return material;
    return material->subMaterials[std::clamp(burstMaterial, 0, subCount - 1)];
}

int32_t KvoGeode::MergeBursts(KvoGeob* geob) {
    if (geob == nullptr || !GeobIsSound(*geob)) return 0;
    return kvo_optimizer::MergeSoundBursts(*this, *geob);
}

int32_t KvoGeode::WeldVertices(KvoGeob* geob) {
    if (geob == nullptr || !GeobIsSound(*geob)) return 0;
    kvo_optimizer::Workspace workspace;
    return kvo_optimizer::WeldSoundVertices(*geob, workspace);
}

int32_t KvoGeode::CompactVertices(KvoGeob* geob) {
    if (geob == nullptr || !GeobIsSound(*geob)) return 0;
    return kvo_optimizer::CompactSoundVertices(*geob);
}

void KvoGeode::ReorderVertices(KvoGeob* geob) {
    if (geob == nullptr || !GeobIsSound(*geob)) return;
    kvo_optimizer::ReorderSoundVertices(*geob);
}

void KvoGeode::SwapVertices(KvoGeob* geob, int32_t a, int32_t b) {
    if (geob == nullptr || !GeobIsSound(*geob)) return;
    if (a < 0 || b < 0 || a >= geob->vertexCount || b >= geob->vertexCount) return;
    for (int32_t p = 0; p < geob->indexCount; ++p) {
        if (geob->indices[p] == a) {
            geob->indices[p] = static_cast<uint16_t>(b);
        } else if (geob->indices[p] == b) {
            geob->indices[p] = static_cast<uint16_t>(a);
        }
    }
    // Exchanged as bytes so every bit pattern survives.
    auto exchange = [a, b](float* data, size_t components) {
        float held[3];
        const size_t size = components * sizeof(float);
        std::memcpy(held, data + a * components, size);
        std::memcpy(data + a * components, data + b * components, size);
        std::memcpy(data + b * components, held, size);
    };
    exchange(geob->vertices, 3);
    if (geob->normals != nullptr) exchange(geob->normals, 3);
    if (geob->colors != nullptr) exchange(geob->colors, 3);
    if (geob->texCoords != nullptr) exchange(geob->texCoords, 2);
}

void KvoGeode::OptimizeGeob(KvoGeob* geob, int32_t* indicesEqualized, int32_t* verticesRemoved,
                            int32_t* burstsRemoved) {
    kvo_optimizer::Workspace workspace;
    OptimizeWith(*this, geob, workspace, indicesEqualized, verticesRemoved, burstsRemoved);
}

KvoOptimizerScratch::KvoOptimizerScratch() : workspace_(new kvo_optimizer::Workspace()) {}
KvoOptimizerScratch::~KvoOptimizerScratch() = default;

void KvoGeode::Optimize(int32_t* indicesEqualized, int32_t* verticesRemoved,
                        int32_t* burstsRemoved) {
    KvoOptimizerScratch scratch;
    Optimize(indicesEqualized, verticesRemoved, burstsRemoved, scratch);
}

void KvoGeode::Optimize(int32_t* indicesEqualized, int32_t* verticesRemoved, int32_t* burstsRemoved,
                        KvoOptimizerScratch& scratch) {
    // One scratch block for all geobs, grown to the largest one met.
    kvo_optimizer::Workspace& workspace = scratch.workspace();
    const int32_t count = std::clamp(geobCount, 0, kMaxGeobs);
    for (int32_t g = 0; g < count; ++g) {
        OptimizeWith(*this, geobs[g], workspace, indicesEqualized, verticesRemoved, burstsRemoved);
    }
}
