// Per-asset budgets: limits on each written file and each texture it names.
// Each excess is a warning of its own code with the numbers.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/node_report.h"

namespace kvochecks {

// 0: no limit.
struct Budgets {
    uint64_t maxTriangles = 0;
    uint64_t maxVertices = 0;
    uint64_t maxFileBytes = 0;
    uint64_t maxTextureSize = 0;  // pixels along the longer side
};

// The excesses of one written node: triangles, vertices and bytes of its file.
std::vector<ExportWarning> CheckFileBudgets(const NodeReport& node, const Budgets& budgets);

// Textures of the node's materials that are found and larger than the budget;
// `seen` holds the paths already looked at, so each texture is named once.
std::vector<ExportWarning> CheckTextureBudget(const NodeReport& node, const Budgets& budgets,
                                              std::set<std::string>& seen);

}  // namespace kvochecks
