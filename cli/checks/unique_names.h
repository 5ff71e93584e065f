// Root children of one scene that would write the same file get names that
// tell them apart: "Inst", "Inst-2", "Inst-3" in scene order.
#pragma once

#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "scene/compact_scene.h"

namespace kvochecks {

// Renames the selected geometry root children of `scene` whose file names
// clash (also by letter case alone); one name_collision warning per clash.
std::vector<ExportWarning> MakeFileNamesUnique(kvoscene::Scene& scene,
                                               const std::vector<std::string>& selectGlobs);

}  // namespace kvochecks
