#include "kvo/kvo_geode.h"

#include <algorithm>
#include <cassert>
#include <utility>

KvoGeode::KvoGeode(std::string path) : DResource(std::move(path), false) {}

KvoGeode::~KvoGeode() {
    ClearTables();
}

void KvoGeode::ClearTables() {
    for (KvoGeob*& geob : geobs) {
        if (loaded && geob) {
            geob->FreeArrays();
            delete geob;
        }
        geob = nullptr;
    }
    for (KvoMaterial*& material : materials) {
        if (loaded) delete material;
        material = nullptr;
    }
    geobCount = 0;
    materialCount = 0;
    loaded = false;
}

void KvoGeode::SetMaterials(int32_t count, KvoMaterial* first) {
    assert(!loaded && count >= 0 && count <= kMaxMaterials);
    count = std::clamp(count, 0, static_cast<int32_t>(kMaxMaterials));
    materialCount = count;
    for (int32_t i = 0; i < count; ++i) materials[i] = first + i;
}

void KvoGeode::SetGeobs(int32_t count, KvoGeob* first) {
    assert(!loaded && count >= 0 && count <= kMaxGeobs);
    count = std::clamp(count, 0, static_cast<int32_t>(kMaxGeobs));
    geobCount = count;
    for (int32_t i = 0; i < count; ++i) geobs[i] = first + i;
}
