// Why a scene has nothing to export, told before the plug-in is asked (it
// would only say "Please select objects to export!").
#pragma once

#include <string>
#include <vector>

#include "scene/compact_scene.h"

namespace kvochecks {

// Empty when a selected root child is geometry; else the reason, e.g.
// "the scene holds 2 lights and 1 camera, no geometry".
std::string NothingToExport(const kvoscene::Scene& scene,
                            const std::vector<std::string>& selectGlobs);

}  // namespace kvochecks
