// Which of a scene's nodes the console host selects before pressing Export.
#pragma once

#include <string>
#include <vector>

#include "scene/compact_scene.h"

namespace kvochecks {

// A root child is selected when no glob is given or one of them matches its
// name (fnmatch); nodes below the root's children are never selected.
bool IsSelected(const kvoscene::Node& node, const std::vector<std::string>& globs);

}  // namespace kvochecks
