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

namespace {

// The storage between runs; destroyed when the module is unloaded. Runs are
// synchronous, so at most one set of tables is usually alive; a second one
// made meanwhile gets storage of its own.
std::unique_ptr<RecordTables::Storage>& Kept() {
    static std::unique_ptr<RecordTables::Storage> kept;
    return kept;
}

}  // namespace

RecordTables::RecordTables() : storage_(std::move(Kept())) {
    if (!storage_) storage_ = std::make_unique<Storage>();
}

RecordTables::~RecordTables() {
    // Every record back to its default, so the next tables start as new ones do.
    Reset(KvoGeode::kMaxGeobs, KvoGeode::kMaxMaterials);
    if (!Kept()) Kept() = std::move(storage_);
}

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
