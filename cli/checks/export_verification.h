// The check after each Export: every written .kvo is loaded again and
// compared with what the scene handed over (triangles per material group,
// the materials and their texture names). What is missing or different
// becomes a warning that says what was lost.
#pragma once

#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/node_report.h"

namespace kvochecks {

// Fills the report's written figures (bytes, triangles, geobs, vertices, and
// the SHA-256 when `digest` asks for it: only a report shows it) from the file
// at `node.file` and adds a warning for every difference from its expected groups.
void VerifyWrittenNode(NodeReport& node, std::vector<ExportWarning>& warnings, bool digest);

}  // namespace kvochecks
