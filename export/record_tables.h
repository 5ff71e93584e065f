// The record tables of one node (200 geobs, 250 materials), the geob builder's
// and the optimiser's working storage, made once and handed from node to node:
// each node starts on default records and leaves them released (geob arrays,
// material strings). The exporter keeps one set for the plug-in's lifetime, so
// every run after the first finds its tables and scratch tables allocated.
#pragma once

#include <memory>

#include "export/geob_builder.h"
#include "kvo/kvo_geob.h"
#include "kvo/kvo_material.h"
#include "kvo/kvo_optimizer_scratch.h"

namespace exporter {

class RecordTables {
public:
    RecordTables();
    ~RecordTables();
    RecordTables(const RecordTables&) = delete;
    RecordTables& operator=(const RecordTables&) = delete;

    KvoGeob* geobs() { return geobs_.get(); }
    KvoMaterial* materials() { return materials_.get(); }
    GeobScratch& scratch() { return scratch_; }
    KvoOptimizerScratch& optimizerScratch() { return optimizer_; }

    // Returns the first `geobCount` geobs and `materialCount` materials to their
    // default state, releasing what they hold; counts beyond the tables are clamped.
    void Reset(int geobCount, int materialCount);

private:
    std::unique_ptr<KvoGeob[]> geobs_;
    std::unique_ptr<KvoMaterial[]> materials_;
    GeobScratch scratch_;
    KvoOptimizerScratch optimizer_;
};

}  // namespace exporter
