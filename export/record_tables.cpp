#include "export/record_tables.h"

#include <algorithm>
#include <new>

#include "kvo/kvo_geode.h"

namespace exporter {

RecordTables::RecordTables()
    : geobs_(new KvoGeob[KvoGeode::kMaxGeobs]),
      materials_(new KvoMaterial[KvoGeode::kMaxMaterials]) {}

RecordTables::~RecordTables() {
    Reset(KvoGeode::kMaxGeobs, 0);  // materials release their strings when destroyed
}

void RecordTables::Reset(int geobCount, int materialCount) {
    const int geobEnd = std::clamp(geobCount, 0, KvoGeode::kMaxGeobs);
    for (int i = 0; i < geobEnd; ++i) {
        KvoGeob& geob = geobs_[i];
        geob.FreeArrays();
        new (&geob) KvoGeob();  // nothing left to destroy: the record holds no more
    }
    const int materialEnd = std::clamp(materialCount, 0, KvoGeode::kMaxMaterials);
    for (int i = 0; i < materialEnd; ++i) {
        KvoMaterial& material = materials_[i];
        material.~KvoMaterial();
        new (&material) KvoMaterial();
    }
}

}  // namespace exporter
