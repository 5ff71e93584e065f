// The Export operation: pre-processing, the checks, the side files, one .kvo
// file per prepared node, and the end of the run.
#pragma once

#include "export/export_context.h"
#include "export/prepared_node.h"

namespace exporter {

void DoExport(ExportContext& context, HWND panel);

// False when the run was cancelled through the progress dialog, true otherwise.
bool ExportNodes(ExportContext& context);

class RecordTables;

// True when the node's .kvo file was written. `tables` as for BuildGeode.
bool ExportNode(ExportContext& context, PreparedNode& prepared, RecordTables* tables = nullptr);

}  // namespace exporter
