#include "export/record_tables.h"

#include <algorithm>
#include <new>

#include "kvo/kvo_geode.h"

namespace exporter {

struct RecordTables::Storage {
    Storage()
        : geobs(new KvoGeob[KvoGeode::kMaxGeobs]),
          materials(new KvoMaterial[KvoGeode::kMaxMaterials]) {}
    std::unique_ptr<KvoGeob[]> geobs;
    std::unique_ptr<KvoMaterial[]> materials;
    GeobScratch scratch;
    KvoOptimizerScratch optimizer;
};

RecordTables::RecordTables() : storage_(std::make_unique<Storage>()) {}

RecordTables::~RecordTables() = default;

KvoGeob* RecordTables::geobs() {
    return storage_->geobs.get();
}

KvoMaterial* RecordTables::materials() {
    return storage_->materials.get();
}

GeobScratch& RecordTables::scratch() {
    return storage_->scratch;
}

KvoOptimizerScratch& RecordTables::optimizerScratch() {
    return storage_->optimizer;
}

void RecordTables::Reset(int geobCount, int materialCount) {
    const int geobEnd = std::clamp(geobCount, 0, KvoGeode::kMaxGeobs);
    for (int i = 0; i < geobEnd; ++i) {
        KvoGeob& geob = storage_->geobs[i];
        geob.FreeArrays();
        new (&geob) KvoGeob();  // nothing left to destroy: the record holds no more
    }
    const int materialEnd = std::clamp(materialCount, 0, KvoGeode::kMaxMaterials);
    for (int i = 0; i < materialEnd; ++i) {
        KvoMaterial& material = storage_->materials[i];
        material.~KvoMaterial();
        new (&material) KvoMaterial();
    }
}

}  // namespace exporter
