// Turns one prepared node into a saved .kvo file: its material groups in
// ascending ID order within the 200-geob table, the optional optimisation,
// the material list in the log and the save.
#pragma once

#include "export/export_context.h"
#include "export/prepared_node.h"
#include "kvo/kvo_geode.h"

namespace exporter {

class RecordTables;

// True when the geode's file was saved; false on a cancellation, a failed build or
// a failed save (logged here). The geode's tables are emptied again before returning.
// `tables` (default records, left so again) may come from the run; null makes them here.
bool BuildGeode(ExportContext& context, KvoGeode& geode, PreparedNode& prepared,
                RecordTables* tables = nullptr);

}  // namespace exporter
